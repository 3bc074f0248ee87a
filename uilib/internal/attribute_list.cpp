#include "uilib/internal/attribute_list.h"

#include <cctype>

namespace uilib_detail {

namespace {
thread_local bool g_unknownAttribute = false;
}

void NoteUnknownAttribute() {
    g_unknownAttribute = true;
}

bool TakeUnknownAttributeNote() {
    bool noted = g_unknownAttribute;
    g_unknownAttribute = false;
    return noted;
}

AttributeList ParseAttributeList(const char* list) {
    AttributeList attributes;
    if (!list) return attributes;
    const char* p = list;
    while (*p) {
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        const char* nameStart = p;
        while (*p && *p != '=' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
        std::string name(nameStart, p);
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (*p != '=') break;
        ++p;
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        char quote = *p;
        if (quote != '"' && quote != '\'') break;
        const char* valueStart = ++p;
        while (*p && *p != quote) ++p;
        if (!*p) break;  // unterminated value: the rest is not trusted
        attributes.emplace_back(std::move(name), std::string(valueStart, p));
        ++p;
    }
    return attributes;
}

std::string FormatAttributeList(const AttributeList& attributes) {
    std::string list;
    for (const auto& attribute : attributes) {
        char quote = attribute.second.find('"') == std::string::npos ? '"' : '\'';
        if (!list.empty()) list += ' ';
        list += attribute.first;
        list += '=';
        list += quote;
        list += attribute.second;
        list += quote;
    }
    return list;
}

}  // namespace uilib_detail
