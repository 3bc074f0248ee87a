#pragma once
// Builds controls from the XML layouts of the skin (format: uilib/README.md).
#include <memory>

#include "uilib/control_ui.h"

class CPaintManagerUI;

// Asked for every element name the library does not know.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// The library's own factory: a program's factory derives from it and hands the names it does
// not know to this one.
class CExControlFactory : public IDialogBuilderCallback {
public:
    virtual ~CExControlFactory() = default;
    // The library's control for an element name ("Button", "List", ...), or null.
    CControlUI* CreateControl(LPCTSTR pstrClass, CPaintManagerUI* pManager) override;
};

class CDialogBuilder {
public:
    CDialogBuilder();
    ~CDialogBuilder();
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // Builds a layout: a file of the skin archive ("DlgLogin.xml") or, when the text starts with
    // '<', the XML itself. A <Window> root gives its attributes, fonts, defaults and classes to
    // the manager (the window attributes only when the manager has no controls yet, so a page
    // layout cannot resize its window). The built root is added to pParent when one is given.
    // Returns the root control, or null when the layout is missing or malformed.
    CControlUI* Create(LPCTSTR pstrXml, IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    // Builds the <Template name="..."> of the layout last given to Create or Load; the pages
    // make list rows this way. Every control of the template is added to pParent when given;
    // returns the first.
    CControlUI* CreateSet(LPCTSTR pstrTemplate, IDialogBuilderCallback* pCallback = nullptr,
                          CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    // Reads a layout without building it (for CreateSet).
    bool Load(LPCTSTR pstrXml);
    CDuiString GetLastErrorMessage() const { return m_sError; }

    // Forgets the parsed layouts (the skin archive changed).
    static void ClearCache();

    struct Document;  // a parsed layout, shared by the builders that use it

private:
    std::shared_ptr<Document> m_document;
    CDuiString m_sError;
};
