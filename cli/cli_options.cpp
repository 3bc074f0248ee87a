#include "cli/cli_options.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>

#include "netsqlite/text_codec.h"

const char* const kCliUsage =
    "用法：\n"
    "  ledgerdesk-cli import 工作簿 [--sheet N] [--add-values] [连接]\n"
    "  ledgerdesk-cli export 输出.xls [--all-columns] [--search 文字] [连接]\n"
    "连接：--server 地址 --db-user 用户 --db-password 密码 [--server-key 公钥]\n"
    "      或 --settings wlsetting.ini（其 [Db] 的 Ip、UserName、Password、ServerKey）\n"
    "导入的列按 wlsetting.ini 里这种表头保存的匹配，没有时按与数据类型同名的表头。\n"
    "退出状态：0 每一行都成功，1 有失败的行，2 命令没有完成。";

namespace {

enum OptionId { kSheet = 1, kAddValues, kAllColumns, kSearch, kServer, kUser, kPassword,
                kServerKey, kSettings };

const option kLongOptions[] = {
    {"sheet", required_argument, nullptr, kSheet},
    {"add-values", no_argument, nullptr, kAddValues},
    {"all-columns", no_argument, nullptr, kAllColumns},
    {"search", required_argument, nullptr, kSearch},
    {"server", required_argument, nullptr, kServer},
    {"db-user", required_argument, nullptr, kUser},
    {"db-password", required_argument, nullptr, kPassword},
    {"server-key", required_argument, nullptr, kServerKey},
    {"settings", required_argument, nullptr, kSettings},
    {nullptr, 0, nullptr, 0},
};

bool ReadSheet(const char* text, int& sheet) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) return false;
    sheet = static_cast<int>(value);
    return true;
}

// One option into `options`; false for one this command does not take or a bad value.
bool TakeOption(int id, const char* value, CliOptions& options, tstring& error) {
    switch (id) {
        case kSheet:
            if (ReadSheet(value, options.sheet)) return true;
            error = "--sheet 需要工作表的序号（第一个工作表为 1）";
            return false;
        case kAddValues: options.addValues = true; return true;
        case kAllColumns: options.allColumns = true; return true;
        case kSearch: options.search = Utf8ToGbk(value); return true;
        case kServer: options.server = Utf8ToGbk(value); return true;
        case kUser: options.user = Utf8ToGbk(value); return true;
        case kPassword: options.password = Utf8ToGbk(value); return true;
        case kServerKey: options.serverKey = Utf8ToGbk(value); return true;
        case kSettings: options.settings = value; return true;
        default: error = "未知的选项"; return false;
    }
}

// Import options on an export and the other way round are mistakes worth stopping for.
bool OptionsFitCommand(const CliOptions& options, tstring& error) {
    const bool importOnly = options.sheet != 0 || options.addValues;
    const bool exportOnly = options.allColumns || !options.search.empty();
    if ((options.command == CliOptions::kImport && exportOnly) ||
        (options.command == CliOptions::kExport && importOnly)) {
        error = "选项不适用于这个命令";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions& options, tstring& error) {
    optind = 1;
    opterr = 0;
    int id = 0;
    while ((id = getopt_long(argc, argv, "", kLongOptions, nullptr)) != -1) {
        if (!TakeOption(id, optarg, options, error)) return false;
    }
    if (argc - optind != 2) {
        error = "需要一个命令和一个文件";
        return false;
    }
    const char* command = argv[optind];
    if (std::strcmp(command, "import") == 0)
        options.command = CliOptions::kImport;
    else if (std::strcmp(command, "export") == 0)
        options.command = CliOptions::kExport;
    else {
        error = "未知的命令";
        return false;
    }
    options.file = Utf8ToGbk(argv[optind + 1]);
    return OptionsFitCommand(options, error);
}

tstring ServerEndpoint(const tstring& server) {
    return server.find("://") != tstring::npos ? server : "tcp://" + server + ":5566";
}
