#pragma once

#include <string>
#include <string_view>

#include "netsqlite/types.h"

// Conversions between the program's GBK text and the UTF-8 of the wire and the database.
// A character that does not convert becomes "?"; the conversion itself never fails.
std::string GbkToUtf8(std::string_view gbk);
tstring Utf8ToGbk(std::string_view utf8);
