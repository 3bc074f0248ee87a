#include "transfer/export_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "netsqlite/text_codec.h"
#include "store/list_queries.h"

namespace {

constexpr int32_t kListPageRows = 500;
// The customer list's own order.
const sort_type_t kListOrder{0, ""};

const tstring* FindValue(const value_map_t& values, const tstring& key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : &found->second;
}

// Like the decimal reading of a stored value: leading digits count, anything else is 0.
long ReadInteger(const tstring& text, long missing) {
    return text.empty() ? missing : std::strtol(text.c_str(), nullptr, 10);
}

// Where the name of a file path (UTF-8) starts: its folder is what comes before.
size_t NameStart(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Saving makes a new file in the target's folder and renames it over the target, so that folder
// must take new files, and the target must not be a folder itself. Paths are GBK like every
// text of the program; the file system's names are UTF-8.
bool CanSaveAt(const tstring& path) {
    const std::string file = GbkToUtf8(path);
    const size_t nameStart = NameStart(file);
    const std::string folder = nameStart == 0 ? "." : file.substr(0, nameStart);
    struct stat info;
    const bool isFolder = ::stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return !isFolder && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// LibreOffice marks a file it has open with a lock file beside it. Replacing the file under it
// would leave the old rows on its screen, and "open file" would only bring that window up.
bool OpenInAnOfficeProgram(const tstring& path) {
    const std::string file = GbkToUtf8(path);
    const size_t nameStart = NameStart(file);
    const std::string lock = file.substr(0, nameStart) + ".~lock." + file.substr(nameStart) + "#";
    return ::access(lock.c_str(), F_OK) == 0;
}

// Dates, and dates with their time, go out as date cells; timestamps stay text, as shown.
ExcelExportBook::ColumnKind ColumnKindOf(int32_t type) {
    if (type == kTypeDate) return ExcelExportBook::ColumnKind::Date;
    if (type == kTypeDateTime) return ExcelExportBook::ColumnKind::DateTime;
    return ExcelExportBook::ColumnKind::Text;
}

}  // namespace

tstring ListCellText(const DataTypeDictionary& dictionary, const row_info_t& row,
                     const data_type_info_t& column) {
    const value_map_t& values =
        column.DataTypeCategory == kCategoryVehicle ? row.vehicle.values : row.customer.values;
    // A customer without vehicles has no vehicle values, not "否" for them.
    const tstring* plate = FindValue(row.vehicle.values, "PlateID");
    if (column.DataTypeCategory == kCategoryVehicle && (!plate || plate->empty())) return "";
    static const tstring kNone;
    const tstring* stored = FindValue(values, column.DataType);
    const tstring& value = stored ? *stored : kNone;
    if (column.Type == kTypeYesNo) return ReadInteger(value, 0) != 0 ? "是" : "否";
    if (column.Type != kTypeLookup) return value;
    const long valueId = ReadInteger(value, -1);
    const auto lookup = dictionary.data_map().find(column.DataType);
    if (lookup == dictionary.data_map().end()) return "";
    for (const common_value_t& entry : lookup->second)
        if (entry.first == valueId) return entry.second;
    return "";
}

std::vector<search_constraint_t> ListSearch(const DataTypeDictionary& dictionary,
                                            const tstring& text) {
    std::vector<search_constraint_t> constraints;
    if (text.empty()) return constraints;
    for (const data_type_info_t* column : dictionary.shown_columns())
        constraints.push_back({column->DataType, text});
    return constraints;
}

const char* ExportRun::TargetRefusal(const tstring& path) {
    if (!CanSaveAt(path))
        return "不能在这个位置保存文件，请选择一个存在并且可以写入的文件夹！";
    if (OpenInAnOfficeProgram(path))
        return "文件正在被其他程序打开，请先关闭该文件，或者选择其他文件名！";
    return nullptr;
}

bool ExportRun::TargetExists(const tstring& path) {
    struct stat info;
    return ::stat(GbkToUtf8(path).c_str(), &info) == 0;
}

tstring ExportRun::WithXlsSuffix(const tstring& path) {
    const size_t dot = path.rfind('.');
    if (dot != tstring::npos && path.compare(dot + 1, tstring::npos, "xls") == 0) return path;
    return path + ".xls";
}

ret_t ExportRun::Begin(const DataTypeDictionary& dictionary, bool allColumns) {
    m_exported = 0;
    m_dictionary = &dictionary;
    m_book.ResetNextRow();
    m_columns.clear();
    const ret_t created = m_book.CreateWorkbook();
    if (!created.ok) return created;
    std::vector<ExcelExportBook::ColumnKind> kinds;
    for (const data_type_info_t* column :
         allColumns ? dictionary.all_columns() : dictionary.shown_columns()) {
        m_columns.push_back(*column);
        kinds.push_back(ColumnKindOf(column->Type));
    }
    m_book.SetColumnKinds(kinds);
    return created;
}

ret_t ExportRun::WriteHeader() {
    ExcelExportBook::row_t titles;
    for (const data_type_info_t& column : m_columns) titles.push_back(column.DataTypeName);
    return m_book.WriteHeader(titles);
}

bool ExportRun::RowsHoldColumns(const std::vector<row_info_t>& rows) const {
    const row_info_t& row = rows.front();
    return std::all_of(m_columns.begin(), m_columns.end(), [&](const data_type_info_t& column) {
        const value_map_t& values =
            column.DataTypeCategory == kCategoryVehicle ? row.vehicle.values : row.customer.values;
        return values.count(column.DataType) != 0;
    });
}

bool ExportRun::WriteRows(const std::vector<row_info_t>& rows) {
    std::vector<ExcelExportBook::row_t> lines;
    lines.reserve(rows.size());
    for (const row_info_t& row : rows) {
        ExcelExportBook::row_t cells;
        cells.reserve(m_columns.size());
        for (const data_type_info_t& column : m_columns)
            cells.push_back(ListCellText(*m_dictionary, row, column));
        lines.push_back(std::move(cells));
    }
    const bool written = m_book.WriteRows(lines).ok;
    if (written) m_exported += static_cast<int>(rows.size());
    return written;
}

namespace {

// Every page of the list in order, handed to `write`; ok when the walk reached the list's end.
ret_t WalkList(DbConnection& db, const std::vector<search_constraint_t>& search,
               ListColumns columns, const std::function<bool(const std::vector<row_info_t>&)>& write) {
    std::vector<row_info_t> rows;
    ret_t read = load_rows_page(db, kListOrder, search, 0, kListPageRows, rows, columns);
    while (read.ok) {
        if (!write(rows)) return {false, kExportWriteFailed};
        if (static_cast<int32_t>(rows.size()) < kListPageRows) return read;
        const page_step_t next{1, rows.back().list_key, 0};
        rows.clear();
        read = load_rows_beside(db, kListOrder, search, next, kListPageRows, rows, columns);
    }
    // A page past the end and a query that failed both come back as {false, 0}: the count
    // tells them apart.
    return read.code == 0 && rows.empty() ? ret_t(true, 0) : read;
}

}  // namespace

ret_t ExportList(DbConnection& db, const std::vector<search_constraint_t>& search,
                 bool allColumns, const tstring& path, ExportRun& run,
                 const std::function<void(int, int)>& progress) {
    int32_t total = 0;
    const ret_t counted = count_rows(db, search, total);
    if (!counted.ok) return counted;
    if (total == 0) return {false, kExportNothing};
    if (!run.Begin(db.dictionary(), allColumns).ok || !run.WriteHeader().ok)
        return {false, kExportWriteFailed};
    const ret_t walked = WalkList(db, search, allColumns ? ListColumns::All : ListColumns::Shown,
                                  [&](const std::vector<row_info_t>& rows) {
                                      if (!run.WriteRows(rows)) return false;
                                      if (progress) progress(run.Exported(), total);
                                      return true;
                                  });
    if (!walked.ok) return walked;
    // Pages are read from a row of the page before: rows added or removed meanwhile would be
    // missed or read twice, so a walk that did not write exactly the count keeps nothing.
    int32_t after = 0;
    if (!count_rows(db, search, after).ok || after != total) return {false, kExportListChanged};
    if (run.Exported() != total) return {false, kExportReadFailed};
    return run.Save(path).ok ? ret_t(true, 0) : ret_t(false, kExportSaveFailed);
}
