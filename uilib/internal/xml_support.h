#pragma once
#include <pugixml.hpp>
#include <string>

#include "uilib/paint_manager_ui.h"

namespace uilib_detail {

// Layout files are UTF-8; everything the library hands on is GBK.
std::string Utf8ToGbk(const char* text);
// <Font id="1" name="..." size="13" bold="true" underline="false" italic="false" default="true"/>
TFontInfo ReadFont(const pugi::xml_node& node);
// The attributes of <Class name=".." a=".." b=".."/> (or <Default name=..>) except the name,
// in document order, as an attribute list in GBK.
std::string ReadAttributeListOf(const pugi::xml_node& node);

}  // namespace uilib_detail
