#include "uilib/internal/xml_support.h"

#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/internal/text_codec.h"

namespace uilib_detail {

std::string Utf8ToGbk(const char* text) {
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80) return ToGbk(QString::fromUtf8(text));
    return text;
}

TFontInfo ReadFont(const pugi::xml_node& node) {
    TFontInfo font;
    font.sFontName = Utf8ToGbk(node.attribute("name").as_string());
    font.iSize = node.attribute("size").as_int(13);
    font.bBold = node.attribute("bold").as_bool();
    font.bUnderline = node.attribute("underline").as_bool();
    font.bItalic = node.attribute("italic").as_bool();
    return font;
}

std::string ReadAttributeListOf(const pugi::xml_node& node) {
    AttributeList attributes;
    for (const pugi::xml_attribute& attribute : node.attributes()) {
        if (std::strcmp(attribute.name(), "name") == 0) continue;
        attributes.emplace_back(attribute.name(), Utf8ToGbk(attribute.value()));
    }
    return FormatAttributeList(attributes);
}

}  // namespace uilib_detail
