#include "uilib/style_manager_ui.h"

#include <pugixml.hpp>

#include "uilib/internal/xml_support.h"
#include "uilib/render_engine.h"
#include "uilib/resource_manager_ui.h"

CStyleManagerUI* CStyleManagerUI::Instance() {
    static CStyleManagerUI instance;
    return &instance;
}

bool CStyleManagerUI::LoadStyles(LPCTSTR pstrFile) {
    std::string xml;
    return CResourceManagerUI::GetFileData(pstrFile, xml) && LoadStylesFromText(xml);
}

bool CStyleManagerUI::LoadStylesFromText(const std::string& xml) {
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size())) return false;
    pugi::xml_node root = document.child("Styles");
    if (!root) return false;
    std::map<std::string, Style> styles;
    for (const pugi::xml_node& styleNode : root.children("Style")) {
        Style& style = styles[uilib_detail::Utf8ToGbk(styleNode.attribute("name").as_string())];
        if (const pugi::xml_attribute focus = styleNode.attribute("focuscolor"))
            style.focusColor = ParseColor(focus.as_string());
        for (const pugi::xml_node& node : styleNode.children()) {
            std::string name = uilib_detail::Utf8ToGbk(node.attribute("name").as_string());
            if (std::string(node.name()) == "Font") {
                int id = node.attribute("id").as_int();
                style.fonts[id] = uilib_detail::ReadFont(node);
                if (node.attribute("default").as_bool()) style.defaultFont = id;
            } else if (std::string(node.name()) == "Class") {
                style.classes[name] = uilib_detail::ReadAttributeListOf(node);
            } else if (std::string(node.name()) == "Default") {
                style.defaults[name] = uilib_detail::ReadAttributeListOf(node);
            }
        }
    }
    m_styles = std::move(styles);
    // A reload keeps the chosen style if it still exists; otherwise the file's default.
    if (!m_styles.count(m_sCurrent.str()))
        m_sCurrent = uilib_detail::Utf8ToGbk(root.attribute("default").as_string());
    return true;
}

bool CStyleManagerUI::ApplyStyle(LPCTSTR pstrName) {
    if (!pstrName || !m_styles.count(pstrName)) return false;
    m_sCurrent = pstrName;
    return true;
}

const CStyleManagerUI::Style* CStyleManagerUI::Current() const {
    auto it = m_styles.find(m_sCurrent.str());
    return it == m_styles.end() ? nullptr : &it->second;
}

CDuiString CStyleManagerUI::GetClassAttributeList(LPCTSTR pstrClass) const {
    const Style* style = Current();
    if (!style || !pstrClass) return CDuiString();
    auto it = style->classes.find(pstrClass);
    return it == style->classes.end() ? CDuiString() : CDuiString(it->second);
}

CDuiString CStyleManagerUI::GetDefaultAttributeList(LPCTSTR pstrControlClass) const {
    const Style* style = Current();
    if (!style || !pstrControlClass) return CDuiString();
    auto it = style->defaults.find(pstrControlClass);
    return it == style->defaults.end() ? CDuiString() : CDuiString(it->second);
}

const TFontInfo& CStyleManagerUI::GetFontInfo(int id) const {
    static const TFontInfo fallback;
    const Style* style = Current();
    if (!style) return fallback;
    auto it = style->fonts.find(id);
    if (it == style->fonts.end()) it = style->fonts.find(style->defaultFont);
    return it == style->fonts.end() ? fallback : it->second;
}

DWORD CStyleManagerUI::GetFocusColor() const {
    const Style* style = Current();
    return style ? style->focusColor : 0;
}

int CStyleManagerUI::GetDefaultFontId() const {
    const Style* style = Current();
    return style ? style->defaultFont : -1;
}
