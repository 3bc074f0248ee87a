#pragma once
// The command line of ledgerdesk-cli. Texts are GBK like every text of the program (the command
// line's UTF-8 is converted on the way in).
#include <string>

#include "netsqlite/types.h"

struct CliOptions {
    enum Command { kNone, kImport, kExport };
    Command command = kNone;
    tstring file;
    int sheet = 0;  // 1 for the workbook's first sheet; 0: every sheet holding the columns
    bool addValues = false;
    bool allColumns = false;
    tstring search;
    // The connection; what is not given comes from the settings file's [Db] section.
    tstring server;  // a host, as the login dialog takes it, or a ZeroMQ endpoint
    tstring user;
    tstring password;
    tstring serverKey;
    std::string settings;  // as the file system names it
};

// Reads argv; false with what is wrong (GBK) in `error`.
bool ParseCliOptions(int argc, char** argv, CliOptions& options, tstring& error);

// The endpoint of a server given as a host ("127.0.0.1") or as an endpoint ("tcp://h:5566").
tstring ServerEndpoint(const tstring& server);

extern const char* const kCliUsage;
