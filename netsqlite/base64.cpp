#include "netsqlite/base64.h"

namespace netsqlite {

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
        out[0] = kBase64Alphabet[(n >> 18) & 63];
        out[1] = kBase64Alphabet[(n >> 12) & 63];
        out[2] = kBase64Alphabet[(n >> 6) & 63];
        out[3] = kBase64Alphabet[n & 63];
        out += 4;
    }
    const size_t rest = bytes.size() - i;
    if (rest == 0) return out;
    uint32_t n = in[i] << 16;
    if (rest == 2) n |= in[i + 1] << 8;
    out[0] = kBase64Alphabet[(n >> 18) & 63];
    out[1] = kBase64Alphabet[(n >> 12) & 63];
    out[2] = rest == 2 ? kBase64Alphabet[(n >> 6) & 63] : '=';
    out[3] = '=';
    return out + 4;
}

}  // namespace netsqlite
