#include "netsqlite/base64.h"

#include <array>
#include <cstdint>

namespace netsqlite {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& entry : table) entry = kNotInAlphabet;
    for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

int8_t SextetOf(char c) {
    return kDecodeTable[static_cast<uint8_t>(c)];
}

// Appends the bytes of one group of four; false when the group is not valid Base64.
bool DecodeGroup(const char* group, std::string& out) {
    const int8_t a = SextetOf(group[0]);
    const int8_t b = SextetOf(group[1]);
    const int8_t c = SextetOf(group[2]);
    const int8_t d = SextetOf(group[3]);
    const bool thirdPadded = group[2] == '=';
    const bool fourthPadded = group[3] == '=';
    if (a < 0 || b < 0) return false;
    if ((c < 0 && !thirdPadded) || (d < 0 && !fourthPadded)) return false;
    if (thirdPadded && !fourthPadded) return false;

    out.push_back(static_cast<char>((a << 2) | (b >> 4)));
    if (!thirdPadded) out.push_back(static_cast<char>(((b & 0x0f) << 4) | (c >> 2)));
    if (!fourthPadded) out.push_back(static_cast<char>(((c & 0x03) << 6) | d));
    return true;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    Base64Append(bytes, out);
    return out;
}

void Base64Append(std::string_view bytes, std::string& out) {
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t n = (static_cast<uint8_t>(bytes[i]) << 16) |
                           (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                           static_cast<uint8_t>(bytes[i + 2]);
        out.push_back(kAlphabet[(n >> 18) & 63]);
        out.push_back(kAlphabet[(n >> 12) & 63]);
        out.push_back(kAlphabet[(n >> 6) & 63]);
        out.push_back(kAlphabet[n & 63]);
    }
    const size_t rest = bytes.size() - i;
    if (rest == 0) return;
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (rest == 2) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out.push_back(kAlphabet[(n >> 18) & 63]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
    out.push_back('=');
}

std::string Base64DecodeCell(std::string_view text) {
    if (text.size() % 4 != 0) return {};
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        if (!DecodeGroup(text.data() + i, out)) return {};
    }
    const size_t zero = out.find('\0');
    if (zero != std::string::npos) out.resize(zero);
    return out;
}

}  // namespace netsqlite
