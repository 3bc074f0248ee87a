#include "uilib/dialog_builder.h"

#include <cstring>
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

struct CDialogBuilder::Document {
    pugi::xml_document xml;
};

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

// Builds one element and its children; elements nobody knows are skipped with their children.
class TreeBuilder {
public:
    TreeBuilder(IDialogBuilderCallback* callback, CPaintManagerUI* manager)
        : m_callback(callback), m_manager(manager) {}

    CControlUI* Build(const pugi::xml_node& node) {
        CControlUI* control = CreateBuiltin(node.name());
        if (!control && m_callback) control = m_callback->CreateControl(node.name(), m_manager);
        if (!control) return nullptr;
        ApplyList(control, DefaultsFor(node.name()));
        // The classes go first so that the element's own attributes win.
        if (pugi::xml_attribute classes = node.attribute("class"))
            ApplyClasses(control, uilib_detail::Utf8ToGbk(classes.value()));
        for (const pugi::xml_attribute& attribute : node.attributes()) {
            if (std::strcmp(attribute.name(), "class") == 0) continue;
            control->SetAttribute(attribute.name(),
                                  uilib_detail::Utf8ToGbk(attribute.value()).c_str());
        }
        auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"));
        for (const pugi::xml_node& child : node.children()) {
            if (child.type() != pugi::node_element || IsResourceElement(child.name())) continue;
            CControlUI* built = Build(child);
            if (!built) continue;
            if (container)
                container->Add(built);
            else
                delete built;
        }
        return control;
    }

private:
    std::string DefaultsFor(const char* element) const {
        return m_manager ? m_manager->GetDefaultAttributeList(element).str()
                         : CStyleManagerUI::Instance()->GetDefaultAttributeList(element).str();
    }

    void ApplyClasses(CControlUI* control, const std::string& names) {
        std::size_t start = 0;
        while (start < names.size()) {
            std::size_t end = names.find(' ', start);
            if (end == std::string::npos) end = names.size();
            std::string name = names.substr(start, end - start);
            start = end + 1;
            if (name.empty()) continue;
            ApplyList(control,
                      m_manager
                          ? m_manager->GetClassAttributeList(name.c_str()).str()
                          : CStyleManagerUI::Instance()->GetClassAttributeList(name.c_str()).str());
        }
    }

    static void ApplyList(CControlUI* control, const std::string& list) {
        if (!list.empty()) control->ApplyAttributeList(list.c_str());
    }

    IDialogBuilderCallback* m_callback;
    CPaintManagerUI* m_manager;
};

void ReadWindowResources(const pugi::xml_node& window, CPaintManagerUI* manager,
                         bool applyWindowAttributes) {
    if (applyWindowAttributes)
        for (const pugi::xml_attribute& attribute : window.attributes())
            manager->SetWindowAttribute(attribute.name(),
                                        uilib_detail::Utf8ToGbk(attribute.value()).c_str());
    for (const pugi::xml_node& node : window.children()) {
        std::string name = uilib_detail::Utf8ToGbk(node.attribute("name").as_string());
        if (std::strcmp(node.name(), "Font") == 0)
            manager->AddFont(node.attribute("id").as_int(), uilib_detail::ReadFont(node),
                             node.attribute("default").as_bool());
        else if (std::strcmp(node.name(), "Default") == 0)
            manager->AddDefaultAttributeList(name.c_str(),
                                             uilib_detail::ReadAttributeListOf(node).c_str());
        else if (std::strcmp(node.name(), "Class") == 0)
            manager->AddClass(name.c_str(), uilib_detail::ReadAttributeListOf(node).c_str());
    }
}

std::map<std::string, std::shared_ptr<CDialogBuilder::Document>>& DocumentCache() {
    static std::map<std::string, std::shared_ptr<CDialogBuilder::Document>> cache;
    return cache;
}

pugi::xml_node FindTemplate(const pugi::xml_node& root, const char* name) {
    return root.find_node([name](const pugi::xml_node& node) {
        return std::strcmp(node.name(), "Template") == 0 &&
               uilib_detail::Utf8ToGbk(node.attribute("name").as_string()) == name;
    });
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
    pugi::xml_parse_result parsed = document->xml.load_buffer(text.data(), text.size());
    if (!parsed || !document->xml.document_element()) {
        m_sError.Format("layout %s: %s at offset %ld", inlineXml ? "(text)" : pstrXml,
                        parsed.description(), static_cast<long>(parsed.offset));
        return false;
    }
    if (!inlineXml) DocumentCache()[pstrXml] = document;
    m_document = document;
    return true;
}

CControlUI* CDialogBuilder::Create(LPCTSTR pstrXml, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    if (!Load(pstrXml)) return nullptr;
    pugi::xml_node root = m_document->xml.document_element();
    TreeBuilder builder(pCallback, pManager);
    CControlUI* built = nullptr;
    if (std::strcmp(root.name(), "Window") == 0) {
        if (pManager) ReadWindowResources(root, pManager, !pParent && !pManager->GetRoot());
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
    pugi::xml_node found =
        FindTemplate(m_document->xml.document_element(), pstrTemplate ? pstrTemplate : "");
    if (!found) {
        m_sError.Format("no template %s", pstrTemplate ? pstrTemplate : "");
        return nullptr;
    }
    TreeBuilder builder(pCallback, pManager);
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
