#include "uilib/internal/text_codec.h"

#include <cstring>

#include "netsqlite/text_codec.h"

namespace uilib_detail {

// Through the program's one GBK <-> UTF-8 conversion, which passes ASCII through untouched.
QString FromGbk(const char* text, std::size_t length) {
    return QString::fromStdString(GbkToUtf8(std::string(text, length)));
}

QString FromGbk(const std::string& text) {
    return QString::fromStdString(GbkToUtf8(text));
}

QString FromGbk(const char* text) {
    return text ? FromGbk(text, std::strlen(text)) : QString();
}

// Qt writes half a surrogate pair as "?", which would pass for text: it is marked as U+FFFD, as
// broken bytes are.
std::string ToGbk(const QString& text) {
    if (text.isValidUtf16()) return Utf8ToGbk(text.toStdString());
    QString marked = text;
    for (qsizetype i = 0; i < marked.size(); ++i) {
        if (marked[i].isHighSurrogate() && i + 1 < marked.size() && marked[i + 1].isLowSurrogate())
            ++i;
        else if (marked[i].isSurrogate())
            marked[i] = QChar::ReplacementCharacter;
    }
    return Utf8ToGbk(marked.toStdString());
}

}  // namespace uilib_detail
