#include "netsqlite/base64.h"

#include <array>

namespace netsqlite {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) entry = kNotInAlphabet;
    for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
    return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = MakeDecodeTable();

// Writes the bytes of one group of four; false when the group is not valid Base64.
bool DecodeGroup(const char* group, char*& out) {
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

}  // namespace

uint8_t Base64Sextet(char c) {
    return kDecodeTable[static_cast<uint8_t>(c)];
}

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    Base64Append(bytes, out);
    return out;
}

void Base64Append(std::string_view bytes, std::string& out) {
    const size_t start = out.size();
    out.resize(start + Base64EncodedSize(bytes.size()));
    Base64EncodeTo(bytes, out.data() + start);
}

char* Base64EncodeTo(std::string_view bytes, char* out) {
    const auto* in = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t n = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        out[0] = kAlphabet[(n >> 18) & 63];
        out[1] = kAlphabet[(n >> 12) & 63];
        out[2] = kAlphabet[(n >> 6) & 63];
        out[3] = kAlphabet[n & 63];
        out += 4;
    }
    const size_t rest = bytes.size() - i;
    if (rest == 0) return out;
    uint32_t n = in[i] << 16;
    if (rest == 2) n |= in[i + 1] << 8;
    out[0] = kAlphabet[(n >> 18) & 63];
    out[1] = kAlphabet[(n >> 12) & 63];
    out[2] = rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out[3] = '=';
    return out + 4;
}

bool Base64DecodeTo(std::string_view text, char*& out) {
    if (text.size() % 4 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        if (!DecodeGroup(text.data() + i, out)) return false;
    }
    return true;
}

}  // namespace netsqlite
