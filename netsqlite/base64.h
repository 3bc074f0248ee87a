#pragma once

#include <array>
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

inline constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<uint8_t, 256> MakeBase64DecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) entry = 0xFF;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kBase64Alphabet[i])] = static_cast<uint8_t>(i);
    return table;
}
inline constexpr std::array<uint8_t, 256> kBase64DecodeTable = MakeBase64DecodeTable();

// The sextet of an alphabet character, or a value of 64 or more for any other character.
// Inline: decoding looks up every character of a reply.
inline uint8_t Base64Sextet(char c) {
    return kBase64DecodeTable[static_cast<uint8_t>(c)];
}

// Each character's sextet shifted to its place in a group of four, or the top bit alone for a
// character outside the alphabet.
constexpr std::array<uint32_t, 256> MakeBase64ShiftedTable(int shift) {
    std::array<uint32_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = kBase64DecodeTable[c] < 64 ? uint32_t{kBase64DecodeTable[c]} << shift
                                              : 0x80000000u;
    return table;
}
inline constexpr std::array<uint32_t, 256> kBase64First = MakeBase64ShiftedTable(18);
inline constexpr std::array<uint32_t, 256> kBase64Second = MakeBase64ShiftedTable(12);
inline constexpr std::array<uint32_t, 256> kBase64Third = MakeBase64ShiftedTable(6);
inline constexpr std::array<uint32_t, 256> kBase64Fourth = MakeBase64ShiftedTable(0);

// The 24 bits of four alphabet characters, or a value with the top bit set when any of them is
// outside the alphabet (padding included): four lookups and no shifts.
inline uint32_t Base64DecodeQuad(const char* group) {
    return kBase64First[static_cast<uint8_t>(group[0])] |
           kBase64Second[static_cast<uint8_t>(group[1])] |
           kBase64Third[static_cast<uint8_t>(group[2])] |
           kBase64Fourth[static_cast<uint8_t>(group[3])];
}

// Writes the bytes of one group of four; false, writing nothing, when the group is not valid
// Base64.
inline bool Base64DecodeGroup(const char* group, char*& out) {
    const uint8_t a = Base64Sextet(group[0]);
    const uint8_t b = Base64Sextet(group[1]);
    const uint8_t c = Base64Sextet(group[2]);
    const uint8_t d = Base64Sextet(group[3]);
    const bool thirdPadded = group[2] == '=';
    const bool fourthPadded = group[3] == '=';
    if (a >= 64 || b >= 64) return false;
    if ((c >= 64 && !thirdPadded) || (d >= 64 && !fourthPadded)) return false;
    if (thirdPadded && !fourthPadded) return false;

    *out++ = static_cast<char>((a << 2) | (b >> 4));
    if (!thirdPadded) *out++ = static_cast<char>(((b & 0x0f) << 4) | (c >> 2));
    if (!fourthPadded) *out++ = static_cast<char>(((c & 0x03) << 6) | d);
    return true;
}

// Strict decoding of whole groups of four alphabet characters, padding only in the last two
// places of a group; on success `out` advances past the decoded bytes (at most 3 per group),
// on failure the bytes written there mean nothing. Inline: every cell of a reply ends here.
inline bool Base64DecodeTo(std::string_view text, char*& out) {
    if (text.size() % 4 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        if (!Base64DecodeGroup(text.data() + i, out)) return false;
    }
    return true;
}

}  // namespace netsqlite
