#include "service/schema.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

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
     {"Code", "Name", "Phone", "ParkingSpaces", "RegisterTime"}},
    {"tabvehicleinfo", "vehicle_search", "rowid",
     {"PlateID", "Color", "ValidFrom", "ValidUntil", "Allowed", "AccessPeriod"}},
};

std::string Joined(const std::vector<const char*>& columns, const char* prefix) {
    std::string out;
    for (const char* column : columns) out += std::string(out.empty() ? "" : ", ") + prefix + column;
    return out;
}

// The index holds no copy of the texts (it reads them from its table), so the triggers must
// hand it the old values of a row exactly as they were indexed.
std::string SearchIndex(const IndexedTable& t) {
    const std::string index = t.index;
    const std::string columns = Joined(t.columns, "");
    const std::string add = "INSERT INTO " + index + "(rowid, " + columns + ") VALUES (new." +
                            t.key + ", " + Joined(t.columns, "new.") + ");";
    const std::string remove = "INSERT INTO " + index + "(" + index + ", rowid, " + columns +
                               ") VALUES ('delete', old." + t.key + ", " +
                               Joined(t.columns, "old.") + ");";
    const std::string on = " ON " + std::string(t.table) + " BEGIN ";
    return "CREATE VIRTUAL TABLE " + index + " USING fts5(" + columns + ", content='" + t.table +
           "', content_rowid='" + t.key + "', tokenize='trigram');\n" +
           "CREATE TRIGGER " + index + "_insert AFTER INSERT" + on + add + " END;\n" +
           "CREATE TRIGGER " + index + "_delete AFTER DELETE" + on + remove + " END;\n" +
           "CREATE TRIGGER " + index + "_update AFTER UPDATE" + on + remove + add + " END;\n" +
           "INSERT INTO " + index + "(" + index + ") VALUES ('rebuild');\n";
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

const char kSearchIndexProbe[] = "customer_search";

std::string SearchIndexes() {
    std::string sql;
    for (const IndexedTable& table : kIndexedTables) sql += SearchIndex(table);
    return sql;
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
