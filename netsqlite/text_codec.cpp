#include "netsqlite/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

using SkipFunction = size_t (*)(const unsigned char* bytes, size_t available);

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// How many bytes one unconvertible GB18030 sequence spans: four with digits as its second and
// fourth byte, two with a trail byte, else one.
size_t SkipGb18030Character(const unsigned char* bytes, size_t available) {
    if (bytes[0] < 0x81 || bytes[0] > 0xFE || available < 2) return 1;
    const auto digit = [](unsigned char c) { return c >= 0x30 && c <= 0x39; };
    if (digit(bytes[1]))
        return available >= 4 && bytes[2] >= 0x81 && bytes[2] <= 0xFE && digit(bytes[3]) ? 4 : 1;
    return bytes[1] >= 0x40 && bytes[1] <= 0xFE && bytes[1] != 0x7F ? 2 : 1;
}

// A broken UTF-8 sequence is skipped byte by byte; a well-formed one that still does not convert
// (an encoded surrogate) whole.
size_t SkipUtf8Character(const unsigned char* bytes, size_t available) {
    size_t length = 1;
    if (bytes[0] >= 0xC2 && bytes[0] <= 0xDF)
        length = 2;
    else if (bytes[0] >= 0xE0 && bytes[0] <= 0xEF)
        length = 3;
    else if (bytes[0] >= 0xF0 && bytes[0] <= 0xF4)
        length = 4;
    if (length > available) return 1;
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuationByte(bytes[i])) return 1;
    }
    return length;
}

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from, SkipFunction skip, std::string_view replacement)
        : m_cd(iconv_open(to, from)), m_skip(skip), m_replacement(replacement) {}
    ~Converter() {
        if (IsValid()) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string Convert(std::string_view in) {
        // Column names and most cells are plain ASCII, the same in both encodings.
        if (IsAscii(in)) return std::string(in);
        if (!IsValid()) return AsciiOnly(in);
        std::string out;
        out.reserve(in.size() + in.size() / 2);
        char* input = const_cast<char*>(in.data());
        size_t inputLeft = in.size();
        char chunk[4096];
        while (inputLeft > 0) {
            char* output = chunk;
            size_t outputLeft = sizeof chunk;
            const size_t rc = iconv(m_cd, &input, &inputLeft, &output, &outputLeft);
            out.append(chunk, output - chunk);
            if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
            out += m_replacement;
            if (errno == EINVAL) break;  // the text ends inside a character
            const size_t skipped = m_skip(reinterpret_cast<const unsigned char*>(input), inputLeft);
            input += skipped;
            inputLeft -= skipped;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    bool IsValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    static bool IsAscii(std::string_view in) {
        for (char c : in) {
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        }
        return true;
    }

    // Without the conversion module only ASCII can be trusted to mean the same on both sides.
    std::string AsciiOnly(std::string_view in) const {
        std::string out;
        for (char c : in) {
            if (static_cast<unsigned char>(c) < 0x80)
                out += c;
            else
                out += m_replacement;
        }
        return out;
    }

    iconv_t m_cd;
    SkipFunction m_skip;
    std::string_view m_replacement;
};

// U+FFFD, the replacement character, in each encoding: bytes that are no character show as
// such, never as a "?" that could pass for the text.
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
constexpr std::string_view kGb18030Replacement = "\x84\x31\xA4\x37";

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter converter("UTF-8", "GB18030", SkipGb18030Character, kUtf8Replacement);
    return converter.Convert(gbk);
}

tstring Utf8ToGbk(std::string_view utf8) {
    thread_local Converter converter("GB18030", "UTF-8", SkipUtf8Character, kGb18030Replacement);
    return converter.Convert(utf8);
}
