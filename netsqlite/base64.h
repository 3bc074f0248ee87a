#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace netsqlite {

// Standard alphabet with "=" padding.
std::string Base64Encode(std::string_view bytes);
void Base64Append(std::string_view bytes, std::string& out);

constexpr size_t Base64EncodedSize(size_t bytes) {
    return (bytes + 2) / 3 * 4;
}
// Writes the Base64 text of `bytes` at `out` (Base64EncodedSize(bytes.size()) characters) and
// returns the end of what it wrote.
char* Base64EncodeTo(std::string_view bytes, char* out);

// Strict decoding of whole groups of four alphabet characters, padding only in the last two
// places of a group; on success `out` advances past the decoded bytes (at most 3 per group),
// on failure the bytes written there mean nothing.
bool Base64DecodeTo(std::string_view text, char*& out);

// The sextet of an alphabet character, or a value of 64 or more for any other character.
uint8_t Base64Sextet(char c);

}  // namespace netsqlite
