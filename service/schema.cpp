#include "service/schema.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "netsqlite/list_search.h"

namespace {

// CustomerID is the rowid, so new customers get ids from the database; every list query joins
// vehicles on CustomerID, hence the index.
constexpr char kTables[] = R"sql(
CREATE TABLE userInfo (userName TEXT PRIMARY KEY, pass TEXT);
CREATE TABLE tabcustomerinfo (
  CustomerID INTEGER PRIMARY KEY,
  Code TEXT UNIQUE,
  Name TEXT,
  Phone TEXT,
  ParkingSpaces INTEGER,
  RegisterTime TEXT
);
CREATE TABLE tabvehicleinfo (
  PlateID TEXT UNIQUE,
  CustomerID INTEGER,
  Color TEXT,
  ValidFrom TEXT,
  ValidUntil TEXT,
  Allowed INTEGER,
  AccessPeriod TEXT
);
CREATE INDEX tabvehicleinfo_CustomerID ON tabvehicleinfo (CustomerID);
CREATE TABLE tabdatatypeinfo (
  ShowIndex INTEGER,
  DataType TEXT PRIMARY KEY,
  DataTypeName TEXT,
  Enable INTEGER DEFAULT 1,
  DataTypeCategory INTEGER DEFAULT 0,
  ShowList INTEGER DEFAULT 0,
  Type INTEGER DEFAULT 0,
  DefaultNull INTEGER DEFAULT 1,
  ReadOnly INTEGER DEFAULT 0
);
CREATE TABLE tabcommondatainfo (
  ValueID INTEGER,
  DataType TEXT,
  Value TEXT,
  UNIQUE (DataType, ValueID)
);
)sql";

// One column of every kind (Type 0 to 7) across customers (category 0) and vehicles (1).
constexpr char kDefaults[] = R"sql(
INSERT INTO tabdatatypeinfo
  (ShowIndex, DataType, DataTypeName, Enable, DataTypeCategory, ShowList, Type, DefaultNull, ReadOnly)
VALUES
  (1,  'Code',          '客户编号', 1, 0, 1, 0, 0, 0),
  (2,  'Name',          '客户姓名', 1, 0, 1, 0, 1, 0),
  (3,  'Phone',         '联系电话', 1, 0, 1, 0, 1, 0),
  (4,  'ParkingSpaces', '车位数',   1, 0, 0, 2, 1, 0),
  (5,  'RegisterTime',  '登记时间', 1, 0, 0, 5, 1, 1),
  (11, 'PlateID',       '车牌号码', 1, 1, 1, 0, 0, 0),
  (12, 'Color',         '车辆颜色', 1, 1, 1, 1, 1, 0),
  (13, 'ValidFrom',     '生效日期', 1, 1, 1, 3, 1, 0),
  (14, 'ValidUntil',    '有效期至', 1, 1, 1, 4, 1, 0),
  (15, 'Allowed',       '允许通行', 1, 1, 1, 6, 1, 0),
  (16, 'AccessPeriod',  '通行时段', 1, 1, 0, 7, 1, 0);
INSERT INTO tabcommondatainfo (ValueID, DataType, Value) VALUES
  (1, 'Color', '白色'), (2, 'Color', '黑色'), (3, 'Color', '银色'),
  (4, 'Color', '红色'), (5, 'Color', '蓝色');
INSERT INTO userInfo (userName, pass) VALUES ('admin', 'admin123');
)sql";

constexpr const char* kDemoNames[] = {
    "张伟", "王芳", "李娜",   "刘洋", "陈静", "杨磊", "赵敏", "黄强", "周杰", "吴丽",
    "徐明", "孙悦", "马超",   "朱琳", "胡斌", "郭婷", "何军", "高峰", "林晓", "罗红",
    "郑凯", "梁雪", "宋佳",   "谢涛", "韩梅", "唐亮", "冯楠", "于洁", "董浩", "萧然",
    "程刚", "曹颖", "欧阳明", "袁博", "邓丽", "许诺", "傅雷", "沈琪", "曾静", "彭飞",
};
constexpr const char* kPlatePrefixes[] = {"京A", "沪B", "粤B", "浙A", "苏E", "川A"};
constexpr const char* kAccessPeriods[] = {
    "",
    "星期一, 二, 三, 四, 五 07:30:00 至 19:00:00",
    "2026-01-01 00:00:00 至 2026-06-30 23:59:59",
};

template <typename T, size_t N>
const T& Cycle(const T (&items)[N], size_t i) {
    return items[i % N];
}

// Some customers own two vehicles and a few none, so the list shows both cases.
size_t DemoVehicleCount(size_t customer) {
    if (customer % 10 == 9) return 0;
    return customer % 3 == 0 ? 2 : 1;
}

std::string DemoCustomer(size_t i) {
    char sql[512];
    std::snprintf(sql, sizeof sql,
                  "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone, ParkingSpaces, "
                  "RegisterTime) VALUES (%zu, 'C%04zu', '%s', '13%09zu', %zu, "
                  "'2025-%02zu-%02zu 09:%02zu:00');\n",
                  i + 1, i + 1, Cycle(kDemoNames, i), 800000000 + i * 7919, 1 + i % 3, 1 + i % 12,
                  1 + i % 28, i % 60);
    return sql;
}

std::string DemoVehicle(size_t customer, size_t plate) {
    char sql[512];
    const size_t n = customer * 2 + plate;
    std::snprintf(sql, sizeof sql,
                  "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil, "
                  "Allowed, AccessPeriod) VALUES ('%s%05zu', %zu, '%zu', '2026-01-%02zu', "
                  "'2026-12-31 23:59:59', %d, '%s');\n",
                  Cycle(kPlatePrefixes, n), 10000 + n * 37, customer + 1, 1 + n % 5, 1 + n % 28,
                  n % 7 == 6 ? 0 : 1, Cycle(kAccessPeriods, n));
    return sql;
}

// The columns a search may name, by table. A search looks in any of them, so all are indexed;
// values shorter than three characters add nothing to a trigram index.
struct IndexedTable {
    const char* table;
    const char* index;
    const char* key;
    std::vector<const char*> columns;
};

const IndexedTable kIndexedTables[] = {
    {"tabcustomerinfo", "customer_search", "CustomerID",
     {std::begin(kCustomerSearchColumns), std::end(kCustomerSearchColumns)}},
    {"tabvehicleinfo", "vehicle_search", "rowid",
     {std::begin(kVehicleSearchColumns), std::end(kVehicleSearchColumns)}},
};

std::string Joined(const std::vector<const char*>& columns, const char* prefix) {
    std::string out;
    for (const char* column : columns) out += std::string(out.empty() ? "" : ", ") + prefix + column;
    return out;
}

// The index holds no copy of the texts (it reads them from its table), so the triggers must
// hand it the old values of a row exactly as they were indexed. Nothing ranks the rows found, so
// the index keeps no column sizes, which costs inserts a fifth of their time.
SearchPart SearchIndex(const IndexedTable& t) {
    const std::string index = t.index;
    const std::string columns = Joined(t.columns, "");
    const std::string add = "INSERT INTO " + index + "(rowid, " + columns + ") VALUES (new." +
                            t.key + ", " + Joined(t.columns, "new.") + ");";
    const std::string remove = "INSERT INTO " + index + "(" + index + ", rowid, " + columns +
                               ") VALUES ('delete', old." + t.key + ", " +
                               Joined(t.columns, "old.") + ");";
    const std::string on = " ON " + std::string(t.table) + " BEGIN ";
    return {index,
            "CREATE VIRTUAL TABLE " + index + " USING fts5(" + columns + ", content='" + t.table +
                "', content_rowid='" + t.key + "', tokenize='trigram', columnsize=0)",
            "CREATE TRIGGER " + index + "_insert AFTER INSERT" + on + add + " END;\n" +
                "CREATE TRIGGER " + index + "_delete AFTER DELETE" + on + remove + " END;\n" +
                "CREATE TRIGGER " + index + "_update AFTER UPDATE" + on + remove + add +
                " END;\n" + "INSERT INTO " + index + "(" + index + ") VALUES ('rebuild');\n"};
}

// --- The list's search text -------------------------------------------------------------------

// The text of the list row of customer `c` and vehicle `v` (NULL columns for none), in one
// call: printf writes NULL as nothing and a value up to a NUL, where LIKE stops reading. A blob
// would be read as its bytes where LIKE finds nothing in it; the list stores none.
std::string ListText(const char* c, const char* v) {
    std::string format, values;
    auto add = [&](const char* table, const char* column) {
        format += format.empty() ? "2573" : "ff2573";  // "%s", after the separator
        values += std::string(", ") + table + "." + column;
    };
    for (const char* column : kCustomerSearchColumns) add(c, column);
    for (const char* column : kVehicleSearchColumns) add(v, column);
    return "lower(printf(CAST(x'" + format + "' AS TEXT)" + values + "))";
}

const std::string kListRows = std::string("SELECT c.CustomerID, ifnull(v.rowid, 0), ") +
                              ListText("c", "v") +
                              " FROM tabcustomerinfo AS c LEFT JOIN tabvehicleinfo AS v ON "
                              "v.CustomerID = c.CustomerID";

// The rows of one customer made anew from the tables.
std::string RefreshCustomer(const std::string& id) {
    return std::string("DELETE FROM list_text WHERE cid = ") + id + "; INSERT INTO list_text " +
           kListRows + " WHERE c.CustomerID = " + id + ";";
}

// A vehicle's row takes the place of its owner's row without vehicles (the rowid 0 of a
// vehicle of the owner's is its own row).
std::string AddVehicleRow(const char* v) {
    const std::string owner = std::string(v) + ".CustomerID";
    return "DELETE FROM list_text WHERE cid = " + owner +
           " AND vid = 0 AND NOT EXISTS (SELECT 1 FROM tabvehicleinfo WHERE rowid = 0 AND "
           "CustomerID = " +
           owner + "); INSERT OR REPLACE INTO list_text SELECT c.CustomerID, " + v + ".rowid, " +
           ListText("c", v) + " FROM tabcustomerinfo AS c WHERE c.CustomerID = " + owner + ";";
}

// The last vehicle gone, the owner's row without vehicles comes back.
std::string RemoveVehicleRow(const char* v) {
    const std::string owner = std::string(v) + ".CustomerID";
    return "DELETE FROM list_text WHERE cid = " + owner + " AND vid = " + v +
           ".rowid; INSERT INTO list_text " + kListRows +
           " WHERE c.CustomerID = " + owner + " AND v.rowid IS NULL;";
}

// A customer's text is in each of its rows, so a change to the customer makes them anew; a
// vehicle changes its own row only, whatever the number of its owner's vehicles.
SearchPart ListTextTable() {
    const std::string customer = " ON tabcustomerinfo BEGIN ";
    const std::string vehicle = " ON tabvehicleinfo BEGIN ";
    return {kListTextTable,
            "CREATE TABLE list_text (cid INTEGER NOT NULL, vid INTEGER NOT NULL, text TEXT, "
            "PRIMARY KEY (cid, vid)) WITHOUT ROWID",
            "INSERT INTO list_text " + kListRows + ";\n" +
                "CREATE TRIGGER list_text_customer_insert AFTER INSERT" + customer +
                RefreshCustomer("new.CustomerID") + " END;\n" +
                "CREATE TRIGGER list_text_customer_delete AFTER DELETE" + customer +
                "DELETE FROM list_text WHERE cid = old.CustomerID; END;\n" +
                "CREATE TRIGGER list_text_customer_update AFTER UPDATE" + customer +
                "DELETE FROM list_text WHERE cid = old.CustomerID; " +
                RefreshCustomer("new.CustomerID") + " END;\n" +
                "CREATE TRIGGER list_text_vehicle_insert AFTER INSERT" + vehicle +
                AddVehicleRow("new") + " END;\n" +
                "CREATE TRIGGER list_text_vehicle_delete AFTER DELETE" + vehicle +
                RemoveVehicleRow("old") + " END;\n" +
                "CREATE TRIGGER list_text_vehicle_update AFTER UPDATE" + vehicle +
                RemoveVehicleRow("old") + AddVehicleRow("new") + " END;\n"};
}

int ComparePinyin(void* collator, int lengthA, const void* a, int lengthB, const void* b) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult order =
        ucol_strcollUTF8(static_cast<UCollator*>(collator), static_cast<const char*>(a), lengthA,
                         static_cast<const char*>(b), lengthB, &status);
    if (U_SUCCESS(status)) return order;
    // Text that is not UTF-8: its bytes decide, so the order stays total.
    const int common = std::memcmp(a, b, static_cast<size_t>(std::min(lengthA, lengthB)));
    return common != 0 ? common : lengthA - lengthB;
}

void CloseCollator(void* collator) {
    ucol_close(static_cast<UCollator*>(collator));
}

}  // namespace

std::vector<SearchPart> SearchParts() {
    std::vector<SearchPart> parts;
    for (const IndexedTable& table : kIndexedTables) parts.push_back(SearchIndex(table));
    parts.push_back(ListTextTable());
    return parts;
}

bool RegisterCollations(sqlite3* db) {
    UErrorCode status = U_ZERO_ERROR;
    // ICU's collation for Chinese orders Han characters by pinyin, after Latin letters and digits.
    UCollator* collator = ucol_open("zh", &status);
    if (U_FAILURE(status)) return false;
    if (sqlite3_create_collation_v2(db, "pinyin", SQLITE_UTF8, collator, ComparePinyin,
                                    CloseCollator) == SQLITE_OK)
        return true;
    ucol_close(collator);  // not taken over when the registration fails
    return false;
}

std::string SchemaAndDefaults() {
    return std::string(kTables) + kDefaults;
}

std::string DemoData() {
    std::string sql;
    for (size_t i = 0; i < std::size(kDemoNames); ++i) {
        sql += DemoCustomer(i);
        for (size_t plate = 0; plate < DemoVehicleCount(i); ++plate) sql += DemoVehicle(i, plate);
    }
    return sql;
}
