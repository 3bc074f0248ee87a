#include "netsqlite/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

using SkipFunction = size_t (*)(const unsigned char* bytes, size_t available);

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// How many bytes one unconvertible GBK character spans.
size_t SkipGbkCharacter(const unsigned char* bytes, size_t available) {
    const bool leadByte = bytes[0] >= 0x81 && bytes[0] <= 0xFE;
    const bool trailFollows =
        available >= 2 && bytes[1] >= 0x40 && bytes[1] <= 0xFE && bytes[1] != 0x7F;
    return leadByte && trailFollows ? 2 : 1;
}

// A well-formed UTF-8 character without a GBK form is skipped whole; a broken one byte by byte.
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
    Converter(const char* to, const char* from, SkipFunction skip)
        : m_cd(iconv_open(to, from)), m_skip(skip) {}
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
            if (errno == EINVAL) {  // the text ends inside a character
                out.push_back('?');
                break;
            }
            const size_t skipped = m_skip(reinterpret_cast<const unsigned char*>(input), inputLeft);
            out.push_back('?');
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
    static std::string AsciiOnly(std::string_view in) {
        std::string out(in);
        for (char& c : out) {
            if (static_cast<unsigned char>(c) >= 0x80) c = '?';
        }
        return out;
    }

    iconv_t m_cd;
    SkipFunction m_skip;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter converter("UTF-8", "GBK", SkipGbkCharacter);
    return converter.Convert(gbk);
}

tstring Utf8ToGbk(std::string_view utf8) {
    thread_local Converter converter("GBK", "UTF-8", SkipUtf8Character);
    return converter.Convert(utf8);
}
