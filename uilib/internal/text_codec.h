#pragma once
#include <QString>
#include <string>

namespace uilib_detail {

// GBK <-> QString at the edge of the library. What does not convert becomes '?', never a failure.
QString FromGbk(const char* text, std::size_t length);
QString FromGbk(const std::string& text);
QString FromGbk(const char* text);
std::string ToGbk(const QString& text);

}  // namespace uilib_detail
