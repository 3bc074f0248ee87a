#pragma once

#include <string>
#include <string_view>

namespace netsqlite {

// Standard alphabet with "=" padding.
std::string Base64Encode(std::string_view bytes);
void Base64Append(std::string_view bytes, std::string& out);

// Strict decoding of one result cell: anything that is not whole groups of four alphabet
// characters (padding only in the last two places) yields the empty string, and the
// decoded bytes are cut at their first zero.
std::string Base64DecodeCell(std::string_view text);

}  // namespace netsqlite
