#include "uilib/internal/text_codec.h"

#include <iconv.h>

#include <QList>
#include <cerrno>
#include <cstring>
#include <vector>

namespace uilib_detail {
namespace {

// One descriptor per direction and thread: iconv_open is far too slow to call per string.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in to out; each unconvertible unit of unitSize bytes becomes `replacement`.
    void Convert(const char* in, std::size_t inLength, std::size_t unitSize,
                 const std::string& replacement, std::string& out) {
        out.clear();
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> buffer(inLength * 4 + 16);
        char* src = const_cast<char*>(in);
        std::size_t srcLeft = inLength;
        while (srcLeft > 0) {
            char* dst = buffer.data();
            std::size_t dstLeft = buffer.size();
            std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer.data(), dst);
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            // EILSEQ or EINVAL: replace one unit and go on.
            out += replacement;
            std::size_t skip = std::min(unitSize, srcLeft);
            src += skip;
            srcLeft -= skip;
        }
    }

private:
    iconv_t m_cd;
};

Converter& GbkToUtf16() {
    thread_local Converter converter("UTF-16LE", "GBK");
    return converter;
}

Converter& Utf32ToGbk() {
    thread_local Converter converter("GBK", "UTF-32LE");
    return converter;
}

bool IsAscii(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

}  // namespace

QString FromGbk(const char* text, std::size_t length) {
    if (IsAscii(text, length)) return QString::fromLatin1(text, static_cast<qsizetype>(length));
    static const std::string questionMark("?\0", 2);
    std::string utf16;
    GbkToUtf16().Convert(text, length, 1, questionMark, utf16);
    return QString(reinterpret_cast<const QChar*>(utf16.data()),
                   static_cast<qsizetype>(utf16.size() / 2));
}

QString FromGbk(const std::string& text) {
    return FromGbk(text.data(), text.size());
}

QString FromGbk(const char* text) {
    return text ? FromGbk(text, std::strlen(text)) : QString();
}

std::string ToGbk(const QString& text) {
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) return text.toStdString();
    QList<uint> ucs4 = text.toUcs4();
    std::string gbk;
    Utf32ToGbk().Convert(reinterpret_cast<const char*>(ucs4.data()), ucs4.size() * 4, 4, "?", gbk);
    return gbk;
}

}  // namespace uilib_detail
