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

// --- The list's search text -------------------------------------------------------------------

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

// The values of `columns` of the row `alias`, each after a separator, in one printf (`first` is
// the format and the value written before them): printf writes NULL as nothing and a value up
// to a NUL, where LIKE stops reading. A blob would be read as its bytes where LIKE finds nothing
// in it; the list stores none.
template <size_t N>
std::string Printed(const std::string& first, const std::string& value,
                    const char* const (&columns)[N], const std::string& alias) {
    std::string format = first, values = value;
    for (const char* column : columns) {
        format += std::string(1, kListTextSeparator) + "%s";
        values += ", " + alias + "." + column;
    }
    return "printf(CAST(x'" + Hex(format) + "' AS TEXT)" + values + ")";
}

// The search text of customer `c` and its vehicles, as one block holds it (before lower()).
std::string CustomerText(const std::string& c) {
    const std::string vehicles =
        "(SELECT group_concat(" +
        Printed(std::string(1, kListTextVehicle), "", kVehicleSearchColumns, "v") +
        ", '') FROM tabvehicleinfo AS v WHERE v.CustomerID = " + c + ".CustomerID)";
    return Printed(std::string(1, kListTextCustomer) + "%d", ", " + c + ".CustomerID",
                   kCustomerSearchColumns, c) +
           " || ifnull(" + vehicles + ", '')";
}

std::string BlockOf(const std::string& id) {
    return "(" + id + " >> " + std::to_string(kListTextBlockBits) + ")";
}

// The block of customer `id` wants making anew. An upsert, not OR IGNORE: the statement that
// fires the trigger would impose its own conflict clause on that.
std::string Stale(const std::string& id) {
    return std::string("INSERT INTO ") + kStaleBlocks + " (block) VALUES (" +
           BlockOf("ifnull(" + id + ", 0)") + ") ON CONFLICT DO NOTHING;";
}

// A trigger costs one small insert per row changed; the blocks are made anew once per request
// (see SearchTextRefresh), however many of their rows it changed.
SearchPart ListTextTable() {
    std::string triggers;
    for (const char* table : {"customer", "vehicle"}) {
        const std::string on = std::string(" ON tab") + table + "info BEGIN ";
        const std::string name = std::string("CREATE TRIGGER list_text_") + table + "_";
        triggers += name + "insert AFTER INSERT" + on + Stale("new.CustomerID") + " END;\n" + name +
                    "delete AFTER DELETE" + on + Stale("old.CustomerID") + " END;\n" + name +
                    "update AFTER UPDATE" + on + Stale("old.CustomerID") + Stale("new.CustomerID") +
                    " END;\n";
    }
    return {kListTextTable,
            // The size of a block is part of the form: a database with other blocks gets them anew.
            "CREATE TABLE list_text (block INTEGER PRIMARY KEY /* CustomerID >> " +
                std::to_string(kListTextBlockBits) + " */, text BLOB NOT NULL)",
            std::string("INSERT OR IGNORE INTO ") + kStaleBlocks + " SELECT DISTINCT " +
                BlockOf("CustomerID") + " FROM tabcustomerinfo;\n" + SearchTextRefresh() +
                triggers};
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
    return {{kStaleBlocks,
             std::string("CREATE TABLE ") + kStaleBlocks + " (block INTEGER PRIMARY KEY)", ""},
            ListTextTable()};
}

std::string SearchTextRefresh() {
    const std::string first = "(s.block << " + std::to_string(kListTextBlockBits) + ")";
    return std::string("DELETE FROM list_text WHERE block IN (SELECT block FROM ") + kStaleBlocks +
           ");\nINSERT INTO list_text (block, text) SELECT s.block, CAST(lower(group_concat(" +
           CustomerText("c") + ", '')) AS BLOB) FROM " + kStaleBlocks +
           " AS s CROSS JOIN tabcustomerinfo AS c ON c.CustomerID BETWEEN " + first + " AND " +
           first + " + " + std::to_string((1 << kListTextBlockBits) - 1) +
           " GROUP BY s.block;\nDELETE FROM " + kStaleBlocks + ";\n";
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
