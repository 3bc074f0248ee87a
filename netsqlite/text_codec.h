#pragma once

#include <string>

#include "netsqlite/types.h"

// Conversions between the program's GBK text and the UTF-8 of the wire and the database.
// A character that does not convert becomes "?"; the conversion itself never fails.
std::string GbkToUtf8(const tstring& gbk);
tstring Utf8ToGbk(const std::string& utf8);
