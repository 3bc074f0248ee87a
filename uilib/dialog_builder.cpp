#include "uilib/dialog_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>

#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/internal/attribute_list.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/xml_support.h"
#include "uilib/menu_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/resource_manager_ui.h"
#include "uilib/style_manager_ui.h"

namespace {

// The <Default> and <Class> definitions of one layout. Its own controls take these first, so
// a page's definitions hold for the page even where another layout of the window defined the
// same name first.
struct LayoutResources {
    std::map<std::string, std::string> defaults;
    std::map<std::string, std::string> classes;

    LayoutResources() = default;
    explicit LayoutResources(const pugi::xml_node& root) {
        if (std::strcmp(root.name(), "Window") != 0) return;
        for (const pugi::xml_node& node : root.children()) {
            std::string name = uilib_detail::Utf8ToGbk(node.attribute("name").as_string());
            if (std::strcmp(node.name(), "Default") == 0)
                defaults.emplace(name, uilib_detail::ReadAttributeListOf(node));
            else if (std::strcmp(node.name(), "Class") == 0)
                classes.emplace(name, uilib_detail::ReadAttributeListOf(node));
        }
    }
};

}  // namespace

struct CDialogBuilder::Document {
    pugi::xml_document xml;
    std::string name;  // the skin file, or "(text)"
    std::string text;  // kept for line numbers in reports
    // Read once: a row template is built hundreds of times per page.
    LayoutResources resources;
    std::map<std::string, pugi::xml_node> templates;

    int LineOf(const pugi::xml_node& node) const {
        auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, node.offset_debug()));
        return 1 + static_cast<int>(std::count(text.begin(),
                                               text.begin() + std::min(offset, text.size()), '\n'));
    }
};

namespace {

// A fault of a layout is reported once, however often the layout is built (a row template).
void ReportOnce(const CDialogBuilder::Document& document, const pugi::xml_node& node,
                const std::string& what) {
    static std::set<std::string> reported;
    std::string report = document.name + ":" + std::to_string(document.LineOf(node)) + ": " + what;
    if (reported.insert(report).second) std::fprintf(stderr, "uilib: %s\n", report.c_str());
}

}  // namespace

namespace {

using Factory = std::function<CControlUI*()>;

const std::unordered_map<std::string, Factory>& BuiltinControls() {
    static const std::unordered_map<std::string, Factory> factories = {
        {"Control", [] { return new CControlUI; }},
        {"Container", [] { return new CContainerUI; }},
        {"VerticalLayout", [] { return new CVerticalLayoutUI; }},
        {"HorizontalLayout", [] { return new CHorizontalLayoutUI; }},
        {"TabLayout", [] { return new CTabLayoutUI; }},
        {"Label", [] { return new CLabelUI; }},
        {"Text", [] { return new CTextUI; }},
        {"Button", [] { return new CButtonUI; }},
        {"Option", [] { return new COptionUI; }},
        {"CheckBox", [] { return new CCheckBoxUI; }},
        {"Edit", [] { return new CEditUI; }},
        {"Combo", [] { return new CComboUI; }},
        {"Progress", [] { return new CProgressUI; }},
        {"List", [] { return new CListUI; }},
        {"ListHeaderItem", [] { return new CListHeaderItemUI; }},
        {"ListLabelElement", [] { return new CListLabelElementUI; }},
        {"ListTextElement", [] { return new CListTextElementUI; }},
        {"ListContainerElement", [] { return new CListContainerElementUI; }},
        {"Menu", [] { return new CMenuUI; }},
        {"MenuElement", [] { return new CMenuElementUI; }},
    };
    return factories;
}

CControlUI* CreateBuiltin(const char* name) {
    const auto& factories = BuiltinControls();
    auto it = factories.find(name);
    return it == factories.end() ? nullptr : it->second();
}

bool IsResourceElement(const char* name) {
    return std::strcmp(name, "Font") == 0 || std::strcmp(name, "Default") == 0 ||
           std::strcmp(name, "Class") == 0 || std::strcmp(name, "Template") == 0;
}

// Builds one element and its children. An element nobody knows is reported and built as a
// vertical layout, so that its children (and the names the program looks for) are kept.
class TreeBuilder {
public:
    TreeBuilder(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                const CDialogBuilder::Document& document)
        : m_callback(callback),
          m_manager(manager),
          m_document(document),
          m_own(document.resources) {}

    CControlUI* Build(const pugi::xml_node& node) {
        CControlUI* control = CreateBuiltin(node.name());
        if (!control && m_callback) control = m_callback->CreateControl(node.name(), m_manager);
        if (!control) {
            ReportOnce(m_document, node,
                       std::string("unknown element <") + node.name() +
                           ">, built as a VerticalLayout to keep its children");
            control = new CVerticalLayoutUI;
        }
        ApplyList(control, DefaultsFor(node.name()));
        // The classes go first so that the element's own attributes win.
        if (pugi::xml_attribute classes = node.attribute("class"))
            ApplyClasses(control, uilib_detail::Utf8ToGbk(classes.value()));
        uilib_detail::TakeUnknownAttributeNote();
        for (const pugi::xml_attribute& attribute : node.attributes()) {
            if (std::strcmp(attribute.name(), "class") == 0) continue;
            control->SetAttribute(attribute.name(),
                                  uilib_detail::Utf8ToGbk(attribute.value()).c_str());
            if (uilib_detail::TakeUnknownAttributeNote())
                ReportOnce(m_document, node,
                           std::string("unknown attribute ") + attribute.name() + " of <" +
                               node.name() + ">");
        }
        auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"));
        for (const pugi::xml_node& child : node.children()) {
            if (child.type() != pugi::node_element || IsResourceElement(child.name())) continue;
            if (!container) {
                ReportOnce(m_document, child,
                           std::string("<") + child.name() + "> dropped: <" + node.name() +
                               "> holds no controls");
                continue;
            }
            container->Add(Build(child));
        }
        return control;
    }

private:
    std::string DefaultsFor(const char* element) const {
        auto own = m_own.defaults.find(element);
        if (own != m_own.defaults.end()) return own->second;
        return m_manager ? m_manager->GetDefaultAttributeList(element).str()
                         : CStyleManagerUI::Instance()->GetDefaultAttributeList(element).str();
    }

    std::string ClassList(const std::string& name) const {
        auto own = m_own.classes.find(name);
        if (own != m_own.classes.end()) return own->second;
        return m_manager ? m_manager->GetClassAttributeList(name.c_str()).str()
                         : CStyleManagerUI::Instance()->GetClassAttributeList(name.c_str()).str();
    }

    void ApplyClasses(CControlUI* control, const std::string& names) {
        std::size_t start = 0;
        while (start < names.size()) {
            std::size_t end = names.find(' ', start);
            if (end == std::string::npos) end = names.size();
            std::string name = names.substr(start, end - start);
            start = end + 1;
            if (!name.empty()) ApplyList(control, ClassList(name));
        }
    }

    static void ApplyList(CControlUI* control, const std::string& list) {
        if (!list.empty()) control->ApplyAttributeList(list.c_str());
    }

    IDialogBuilderCallback* m_callback;
    CPaintManagerUI* m_manager;
    const CDialogBuilder::Document& m_document;
    const LayoutResources& m_own;
};

// Gives the window the layout's fonts, defaults and classes. One that another layout of the
// window defined differently stays as it was, and the clash is reported.
void ReadWindowResources(const CDialogBuilder::Document& document, CPaintManagerUI* manager,
                         bool applyWindowAttributes) {
    pugi::xml_node window = document.xml.document_element();
    if (applyWindowAttributes)
        for (const pugi::xml_attribute& attribute : window.attributes())
            manager->SetWindowAttribute(attribute.name(),
                                        uilib_detail::Utf8ToGbk(attribute.value()).c_str());
    for (const pugi::xml_node& node : window.children()) {
        std::string name = uilib_detail::Utf8ToGbk(node.attribute("name").as_string());
        bool added = true;
        if (std::strcmp(node.name(), "Font") == 0)
            added = manager->AddFont(node.attribute("id").as_int(), uilib_detail::ReadFont(node),
                                     node.attribute("default").as_bool());
        else if (std::strcmp(node.name(), "Default") == 0)
            added = manager->AddDefaultAttributeList(
                name.c_str(), uilib_detail::ReadAttributeListOf(node).c_str());
        else if (std::strcmp(node.name(), "Class") == 0)
            added = manager->AddClass(name.c_str(), uilib_detail::ReadAttributeListOf(node).c_str());
        if (!added)
            ReportOnce(document, node,
                       std::string("<") + node.name() + " " +
                           (name.empty() ? node.attribute("id").as_string() : name) +
                           "> differs from the one another layout gave this window; the window "
                           "keeps that one (this layout's controls use their own)");
    }
}

std::map<std::string, std::shared_ptr<CDialogBuilder::Document>>& DocumentCache() {
    static std::map<std::string, std::shared_ptr<CDialogBuilder::Document>> cache;
    return cache;
}

pugi::xml_node FindTemplate(CDialogBuilder::Document& document, const char* name) {
    auto cached = document.templates.find(name);
    if (cached != document.templates.end()) return cached->second;
    pugi::xml_node found = document.xml.document_element().find_node([name](const pugi::xml_node& node) {
        return std::strcmp(node.name(), "Template") == 0 &&
               uilib_detail::Utf8ToGbk(node.attribute("name").as_string()) == name;
    });
    if (found) document.templates.emplace(name, found);
    return found;
}

void AddTo(CControlUI* parent, CControlUI* control) {
    auto* container =
        parent ? static_cast<CContainerUI*>(parent->GetInterface("Container")) : nullptr;
    if (container) container->Add(control);
}

}  // namespace

CControlUI* CExControlFactory::CreateControl(LPCTSTR pstrClass, CPaintManagerUI*) {
    return pstrClass ? CreateBuiltin(pstrClass) : nullptr;
}

CDialogBuilder::CDialogBuilder() = default;

CDialogBuilder::~CDialogBuilder() = default;

void CDialogBuilder::ClearCache() {
    DocumentCache().clear();
}

bool CDialogBuilder::Load(LPCTSTR pstrXml) {
    m_document.reset();
    m_sError.Empty();
    if (!pstrXml || !*pstrXml) {
        m_sError = "no layout given";
        return false;
    }
    bool inlineXml = pstrXml[0] == '<';
    if (!inlineXml) {
        auto cached = DocumentCache().find(pstrXml);
        if (cached != DocumentCache().end()) {
            m_document = cached->second;
            return true;
        }
    }
    std::string text;
    // Layout text handed over by the program is GBK like all its text; skin files are UTF-8.
    if (inlineXml)
        text = uilib_detail::FromGbk(pstrXml).toUtf8().toStdString();
    else if (!CResourceManagerUI::GetFileData(pstrXml, text)) {
        m_sError.Format("layout %s is not in the skin", pstrXml);
        return false;
    }
    auto document = std::make_shared<Document>();
    document->name = inlineXml ? "(text)" : pstrXml;
    document->text = text;
    pugi::xml_parse_result parsed = document->xml.load_buffer(text.data(), text.size());
    if (!parsed || !document->xml.document_element()) {
        m_sError.Format("layout %s: %s at offset %ld", inlineXml ? "(text)" : pstrXml,
                        parsed.description(), static_cast<long>(parsed.offset));
        return false;
    }
    document->resources = LayoutResources(document->xml.document_element());
    if (!inlineXml) DocumentCache()[pstrXml] = document;
    m_document = document;
    return true;
}

CControlUI* CDialogBuilder::Create(LPCTSTR pstrXml, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    if (!Load(pstrXml)) return nullptr;
    pugi::xml_node root = m_document->xml.document_element();
    TreeBuilder builder(pCallback, pManager, *m_document);
    CControlUI* built = nullptr;
    if (std::strcmp(root.name(), "Window") == 0) {
        if (pManager) ReadWindowResources(*m_document, pManager, !pParent && !pManager->GetRoot());
        for (const pugi::xml_node& child : root.children()) {
            if (child.type() != pugi::node_element || IsResourceElement(child.name())) continue;
            if ((built = builder.Build(child))) break;
        }
    } else {
        built = builder.Build(root);
    }
    if (!built) {
        m_sError = "the layout holds no control";
        return nullptr;
    }
    AddTo(pParent, built);
    return built;
}

CControlUI* CDialogBuilder::CreateSet(LPCTSTR pstrTemplate, IDialogBuilderCallback* pCallback,
                                      CPaintManagerUI* pManager, CControlUI* pParent) {
    if (!m_document) {
        m_sError = "no layout loaded";
        return nullptr;
    }
    pugi::xml_node found = FindTemplate(*m_document, pstrTemplate ? pstrTemplate : "");
    if (!found) {
        m_sError.Format("no template %s", pstrTemplate ? pstrTemplate : "");
        return nullptr;
    }
    TreeBuilder builder(pCallback, pManager, *m_document);
    CControlUI* first = nullptr;
    for (const pugi::xml_node& child : found.children()) {
        if (child.type() != pugi::node_element) continue;
        CControlUI* built = builder.Build(child);
        if (!built) continue;
        if (!first) first = built;
        if (pParent)
            AddTo(pParent, built);
        else if (built != first)
            delete built;
    }
    if (!first) m_sError.Format("template %s holds no control", pstrTemplate);
    return first;
}
