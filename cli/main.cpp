// ledgerdesk-cli: the import and the export of the import and export pages, without windows, for
// scheduled syncs from other systems and for support. Progress and failed rows go to stderr, the
// summary line to stdout, all as UTF-8.
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_options.h"
#include "netsqlite/text_codec.h"
#include "settings/config.h"
#include "store/data_type_store.h"
#include "store/db_connection.h"
#include "store/step_timer.h"
#include "transfer/export_run.h"
#include "transfer/import_run.h"

namespace {

constexpr int kAllSucceeded = 0;
constexpr int kRowsFailed = 1;
constexpr int kNotDone = 2;
// The batch the import page sends with its largest page size.
constexpr int kBatchRows = 500;

void Print(std::FILE* stream, const tstring& text) {
    std::fputs((GbkToUtf8(text) + "\n").c_str(), stream);
    std::fflush(stream);
}

int Refuse(const tstring& text) {
    Print(stderr, text);
    return kNotDone;
}

void FillFromSettings(CliOptions& options) {
    CConfig* config = CConfig::Instance();
    if (!config) return;
    const auto fill = [config](tstring& value, const char* key) {
        if (value.empty()) value = config->GetValue("Db", key);
    };
    fill(options.server, "Ip");
    fill(options.user, "UserName");
    fill(options.password, "Password");
    fill(options.serverKey, "ServerKey");
}

tstring ConnectionFailure(const ret_t& opened) {
    switch (opened.code) {
        case kDbServerKeyMismatch:
            return "服务器密钥不匹配：请用 --server-key 或 wlsetting.ini 的 [Db] ServerKey 给出数据库服务的公钥";
        case kDbEncryptionRequired:
            return "服务器要求加密连接：请用 --server-key 或 wlsetting.ini 的 [Db] ServerKey 给出数据库服务的公钥";
        default:
            return "连接数据库失败，请检查服务器地址、用户名和密码";
    }
}

// Opens the database and reads its data types and lookup values, as the client does at start.
bool Connect(const CliOptions& options, DbConnection& db) {
    if (options.server.empty()) {
        Refuse("没有数据库服务器：请用 --server 或 --settings 给出");
        return false;
    }
    const ret_t opened =
        db.open(ServerEndpoint(options.server), options.user, options.password, options.serverKey);
    if (!opened.ok) {
        Refuse(ConnectionFailure(opened));
        return false;
    }
    DataTypeDictionary::data_info_map info;
    DataTypeDictionary::data_value_map values;
    if (!load_data_type_info(db, info).ok || !load_common_data(db, values).ok) {
        Refuse("读取数据类型失败");
        return false;
    }
    return true;
}

// --- Import ----------------------------------------------------------------------------------

// The wizard's choices without an operator: the columns and matches saved for this layout of
// header, else every header that names a data type; the sheets holding those columns.
bool ChooseAsTheWizard(ExcelImportBook& book, int sheet, tstring& error) {
    book.ScanSheets();
    book.LoadColumnChoice();
    for (const auto& [name, chosen] : book.HeaderChoice())
        if (chosen) book.AddChosenColumn(name);
    book.MatchSheetsToColumns();
    std::set<int> sheets;
    for (const auto& entry : book.SheetColumns())
        if (sheet == 0 || entry.first == sheet - 1) sheets.insert(entry.first);
    if (sheets.empty()) {
        error = sheet == 0 ? "工作簿中没有可以导入的列" : "这个工作表没有可以导入的列";
        return false;
    }
    book.SetChosenSheets(sheets);
    book.LoadTypeMatching();
    if (!book.TypeMatching().count("PlateID")) {
        error = "请添加车牌号码!";
        return false;
    }
    book.LoadValueMatching();
    return true;
}

void PrintFailedRows(ExcelImportBook& book, const ImportRun& run) {
    for (int row = 0; row < run.RowCount(); ++row) {
        if (!run.Failed(row)) continue;
        const ImportRun::SourceRow& source = run.Rows()[row];
        char place[32];
        std::snprintf(place, sizeof place, " 第%d行：", source.row + 1);
        Print(stderr, book.SheetNames()[source.sheet] + place + run.Reason(row));
    }
}

int Import(const CliOptions& options, DbConnection& db) {
    ExcelImportBook book;
    book.SetDictionary(&db.dictionary());
    const ret_t opened = book.OpenForImport(options.file);
    if (!opened.ok) return Refuse(ExcelImportBook::OpenFailureMessage(opened.code));
    tstring error;
    if (!ChooseAsTheWizard(book, options.sheet, error)) return Refuse(error);
    ImportRun run(book, db.dictionary());
    run.LoadRows();
    const ret_t done = run.ImportAll(db, kBatchRows, options.addValues, [](int rows, int total) {
        char line[64];
        std::snprintf(line, sizeof line, "导入 %d/%d", rows, total);
        Print(stderr, line);
    });
    PrintFailedRows(book, run);
    Print(stdout, run.Summary(!done.ok));
    if (!done.ok) return kNotDone;
    for (int row = 0; row < run.RowCount(); ++row)
        if (run.Failed(row)) return kRowsFailed;
    return kAllSucceeded;
}

// --- Export ----------------------------------------------------------------------------------

tstring ExportFailure(const ret_t& result) {
    switch (result.code) {
        case kExportNothing: return "没有可以导出的数据！";
        case kExportListChanged: return "导出时客户列表被修改，导出已停止，文件没有保存，请重新导出！";
        case kExportWriteFailed: return "写入excel表格失败，导出已停止，文件没有保存！";
        case kExportSaveFailed: return "保存文件失败，请确认磁盘有足够的空间、文件夹可以写入，然后重新导出！";
        case kDbConnectionLost: return "与数据库的连接已断开，导出已停止，文件没有保存！";
        default: return "读取客户列表失败，导出已停止，文件没有保存！";
    }
}

int Export(const CliOptions& options, DbConnection& db) {
    if (const char* refusal = ExportRun::TargetRefusal(options.file)) return Refuse(refusal);
    ExportRun run;
    const ret_t done = ExportList(db, ListSearch(db.dictionary(), options.search),
                                  options.allColumns, options.file, run, [](int rows, int total) {
                                      char line[64];
                                      std::snprintf(line, sizeof line, "导出 %d/%d", rows, total);
                                      Print(stderr, line);
                                  });
    if (!done.ok) return Refuse(ExportFailure(done));
    char summary[64];
    std::snprintf(summary, sizeof summary, "导出已完成，共导出%d行", run.Exported());
    Print(stdout, summary);
    return kAllSucceeded;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Print(stdout, kCliUsage);
        return kAllSucceeded;
    }
    // The import's step times would mix with the summary line that scripts read.
    StepTimer::set_output(nullptr);
    CliOptions options;
    tstring error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        Print(stderr, error);
        Print(stderr, kCliUsage);
        return kNotDone;
    }
    // Without a settings file nothing is read from one; the one given is only read, so a
    // scheduled run leaves the desk's remembered workbook and matches as they were.
    std::unique_ptr<CConfig> config;
    if (!options.settings.empty())
        config = std::make_unique<CConfig>(options.settings, CConfig::Access::ReadOnly);
    FillFromSettings(options);
    DbConnection db;
    if (!Connect(options, db)) return kNotDone;
    return options.command == CliOptions::kImport ? Import(options, db) : Export(options, db);
}
