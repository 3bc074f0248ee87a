#include "uilib/dui_string.h"

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

CDuiString::CDuiString(const char* text) : m_text(text ? text : "") {}

CDuiString::CDuiString(const char* text, int length) {
    Assign(text, length);
}

CDuiString::CDuiString(const std::string& text) : m_text(text) {}

CDuiString::CDuiString(char ch) : m_text(1, ch) {}

char CDuiString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) return '\0';
    return m_text[static_cast<std::size_t>(index)];
}

void CDuiString::SetAt(int index, char ch) {
    if (index >= 0 && index < GetLength()) m_text[static_cast<std::size_t>(index)] = ch;
}

void CDuiString::Append(const char* text) {
    if (text) m_text += text;
}

void CDuiString::Assign(const char* text, int length) {
    if (!text) {
        m_text.clear();
        return;
    }
    // A length beyond the terminator stops at the terminator, like the C string functions.
    std::size_t available = std::strlen(text);
    std::size_t count = length < 0 ? available : std::min<std::size_t>(available, length);
    m_text.assign(text, count);
}

CDuiString& CDuiString::operator=(const char* text) {
    Assign(text);
    return *this;
}

CDuiString& CDuiString::operator+=(const CDuiString& other) {
    m_text += other.m_text;
    return *this;
}

CDuiString& CDuiString::operator+=(const char* text) {
    Append(text);
    return *this;
}

CDuiString& CDuiString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

CDuiString CDuiString::operator+(const CDuiString& other) const {
    CDuiString result(*this);
    result += other;
    return result;
}

CDuiString CDuiString::operator+(const char* text) const {
    CDuiString result(*this);
    result += text;
    return result;
}

int CDuiString::Compare(const char* text) const {
    return std::strcmp(GetData(), text ? text : "");
}

int CDuiString::CompareNoCase(const char* text) const {
    return strcasecmp(GetData(), text ? text : "");
}

// Only ASCII letters change: the bytes of a GBK character must stay as they are.
void CDuiString::MakeUpper() {
    for (char& c : m_text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void CDuiString::MakeLower() {
    for (char& c : m_text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

CDuiString CDuiString::Left(int length) const {
    return Mid(0, std::max(0, length));
}

CDuiString CDuiString::Mid(int pos, int length) const {
    pos = std::clamp(pos, 0, GetLength());
    int available = GetLength() - pos;
    int count = length < 0 ? available : std::min(length, available);
    return CDuiString(
        m_text.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(count)));
}

CDuiString CDuiString::Right(int length) const {
    length = std::clamp(length, 0, GetLength());
    return Mid(GetLength() - length);
}

int CDuiString::Find(char ch, int pos) const {
    if (pos < 0 || pos > GetLength()) return -1;
    std::size_t found = m_text.find(ch, static_cast<std::size_t>(pos));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CDuiString::Find(const char* text, int pos) const {
    if (!text || pos < 0 || pos > GetLength()) return -1;
    std::size_t found = m_text.find(text, static_cast<std::size_t>(pos));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CDuiString::ReverseFind(char ch) const {
    std::size_t found = m_text.rfind(ch);
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CDuiString::Replace(const char* from, const char* to) {
    if (!from || !*from) return 0;
    std::string replacement(to ? to : "");
    std::size_t fromLength = std::strlen(from);
    int count = 0;
    for (std::size_t pos = m_text.find(from); pos != std::string::npos;
         pos = m_text.find(from, pos + replacement.size())) {
        m_text.replace(pos, fromLength, replacement);
        ++count;
    }
    return count;
}

int CDuiString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        va_end(args);
        m_text.clear();
        return 0;
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(static_cast<std::size_t>(length));
    m_text = std::move(text);
    return length;
}
