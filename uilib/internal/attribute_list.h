#pragma once
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace uilib_detail {

using AttributeList = std::vector<std::pair<std::string, std::string>>;

// Reads `name="value" name2='value2'`; a value may hold the other kind of quote.
AttributeList ParseAttributeList(const char* list);
// Writes the list back in the same form, choosing the quote each value allows.
std::string FormatAttributeList(const AttributeList& attributes);

// An attribute that no control class knew reached CControlUI::SetAttribute; the layout
// builder takes the note after each attribute to report it.
void NoteUnknownAttribute();
bool TakeUnknownAttributeNote();

inline bool AttributeIs(const char* name, const char* expected) {
    return std::strcmp(name, expected) == 0;
}

}  // namespace uilib_detail
