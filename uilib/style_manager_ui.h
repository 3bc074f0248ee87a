#pragma once
// CStyleManagerUI: the named styles of "style.xml" - fonts, default attributes per control class
// and named attribute lists ("classes") - of which one is applied to every window.
#include <map>
#include <string>

#include "uilib/dui_string.h"
#include "uilib/paint_manager_ui.h"

class CStyleManagerUI {
public:
    static CStyleManagerUI* Instance();

    // Reads the styles from a file of the skin archive; false when missing or malformed.
    bool LoadStyles(LPCTSTR pstrFile);
    // Reads the styles from XML text (tests, and skins built in memory).
    bool LoadStylesFromText(const std::string& xml);
    // Makes the named style the current one; false (and nothing changes) when there is none.
    bool ApplyStyle(LPCTSTR pstrName);
    CDuiString GetCurrentStyle() const { return m_sCurrent; }

    CDuiString GetClassAttributeList(LPCTSTR pstrClass) const;
    CDuiString GetDefaultAttributeList(LPCTSTR pstrControlClass) const;
    const TFontInfo& GetFontInfo(int id) const;
    int GetDefaultFontId() const;
    // The colour of the keyboard-focus ring (the style's "focuscolor"); 0 when it sets none.
    DWORD GetFocusColor() const;

private:
    struct Style {
        std::map<int, TFontInfo> fonts;
        int defaultFont = -1;
        DWORD focusColor = 0;
        std::map<std::string, std::string> classes;
        std::map<std::string, std::string> defaults;
    };

    const Style* Current() const;

    std::map<std::string, Style> m_styles;
    CDuiString m_sCurrent;
};
