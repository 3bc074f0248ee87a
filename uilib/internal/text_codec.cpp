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

std::string ToGbk(const QString& text) {
    return Utf8ToGbk(text.toStdString());
}

}  // namespace uilib_detail
