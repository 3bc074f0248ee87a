#pragma once

#include <string>
#include <string_view>

#include "netsqlite/types.h"

// Conversions between the program's narrow text and the UTF-8 of the wire and the database. The
// narrow text is GB18030: byte for byte GBK for every GBK character, and a form for every other
// Unicode character, so no character is lost. Bytes that are no character (broken UTF-8 or
// GB18030) become U+FFFD, the replacement character; the conversion itself never fails.
std::string GbkToUtf8(std::string_view gbk);
tstring Utf8ToGbk(std::string_view utf8);
