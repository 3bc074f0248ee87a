// .xlsx and .xlsm: the workbook part found through the package's relationships, its sheets,
// shared strings and merged ranges, each part streamed.
#include <map>
#include <vector>

#include "excel/workbook_reader.h"
#include "excel/zip_xml.h"
#include "netsqlite/text_codec.h"

namespace {

// The largest sheet .xlsx allows.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string FolderOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship's target as a part name: absolute ("/xl/worksheets/sheet1.xml", as openpyxl
// writes) or relative to the folder of the part that holds the relationship, "../" included.
std::string ResolveTarget(const std::string& source_part, const std::string& target) {
    std::string joined = !target.empty() && target[0] == '/' ? target.substr(1)
                                                              : FolderOf(source_part) + target;
    std::vector<std::string> pieces;
    for (std::size_t start = 0; start <= joined.size();) {
        std::size_t slash = joined.find('/', start);
        if (slash == std::string::npos) slash = joined.size();
        const std::string piece = joined.substr(start, slash - start);
        if (piece == "..") {
            if (!pieces.empty()) pieces.pop_back();
        } else if (!piece.empty() && piece != ".") {
            pieces.push_back(piece);
        }
        start = slash + 1;
    }
    std::string part;
    for (const std::string& piece : pieces) part += (part.empty() ? "" : "/") + piece;
    return part;
}

std::string RelationshipsOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return part.substr(0, name) + "_rels/" + part.substr(name) + ".rels";
}

struct Relationship {
    std::string type, target;
};

class RelationshipsHandler : public XmlHandler {
public:
    std::map<std::string, Relationship> by_id;

    void Start(std::string_view name, const char** attributes) override {
        if (LocalName(name) != "Relationship") return;
        const char* id = FindAttribute(attributes, "Id");
        const char* type = FindAttribute(attributes, "Type");
        const char* target = FindAttribute(attributes, "Target");
        const char* mode = FindAttribute(attributes, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            by_id[id] = {type, target};
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

std::map<std::string, Relationship> ReadRelationships(const ZipPackage& package,
                                                      const std::string& part) {
    RelationshipsHandler handler;
    const std::string rels = RelationshipsOf(part);
    if (package.Has(rels)) package.Parse(rels, handler);
    for (auto& [id, relationship] : handler.by_id)
        relationship.target = ResolveTarget(part, relationship.target);
    return handler.by_id;
}

struct SheetEntry {
    std::string name, relationship;
};

class WorkbookHandler : public XmlHandler {
public:
    std::vector<SheetEntry> sheets;

    void Start(std::string_view name, const char** attributes) override {
        if (LocalName(name) != "sheet") return;
        const char* sheet_name = FindAttribute(attributes, "name");
        const char* id = FindAttribute(attributes, "id");
        sheets.push_back({sheet_name ? sheet_name : "", id ? id : ""});
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// The text of rich or plain text runs ("t" elements), leaving out phonetic guides ("rPh").
class RunText {
public:
    void Start(std::string_view local) {
        if (local == "rPh") ++m_phonetic;
        if (local == "t") m_in_text = true;
    }
    void End(std::string_view local) {
        if (local == "rPh") --m_phonetic;
        if (local == "t") m_in_text = false;
    }
    void Text(std::string_view text) {
        if (m_in_text && m_phonetic == 0) m_text += text;
    }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
    int m_phonetic = 0;
    bool m_in_text = false;
};

class SharedStringsHandler : public XmlHandler {
public:
    std::vector<tstring> strings;

    void Start(std::string_view name, const char**) override { m_text.Start(LocalName(name)); }
    void End(std::string_view name) override {
        const std::string_view local = LocalName(name);
        m_text.End(local);
        if (local == "si") strings.push_back(Utf8ToGbk(m_text.Take()));
    }
    void Text(std::string_view text) override { m_text.Text(text); }

private:
    RunText m_text;
};

// "AB12" as 0-based row 11 and column 27; false for anything else.
bool ParseCellReference(std::string_view reference, int& row, int& column) {
    std::size_t at = 0;
    long long c = 0, r = 0;
    for (; at < reference.size() && reference[at] >= 'A' && reference[at] <= 'Z' && c <= kMaxColumns; ++at)
        c = c * 26 + (reference[at] - 'A' + 1);
    const std::size_t letters = at;
    for (; at < reference.size() && reference[at] >= '0' && reference[at] <= '9' && r <= kMaxRows; ++at)
        r = r * 10 + (reference[at] - '0');
    if (letters == 0 || at == letters || at != reference.size() || c > kMaxColumns || r < 1 ||
        r > kMaxRows)
        return false;
    row = static_cast<int>(r - 1);
    column = static_cast<int>(c - 1);
    return true;
}

// The cells of one worksheet part: a cell's type says how its value ("v") reads; inline strings
// carry their text in the cell; a formula's cached value reads as its type says.
class SheetHandler : public XmlHandler {
public:
    SheetHandler(SheetData& sheet, const std::vector<tstring>& shared)
        : m_sheet(sheet), m_shared(shared) {}
    std::vector<detail::MergedRange> merged;

    void Start(std::string_view name, const char** attributes) override {
        const std::string_view local = LocalName(name);
        if (local == "row") {
            const char* r = FindAttribute(attributes, "r");
            m_row = r ? ParseIndex(r, kMaxRows) : m_row + 1;
            m_column = -1;
        } else if (local == "c") {
            StartCell(attributes);
        } else if (local == "v") {
            m_in_value = true;
        } else if (local == "is") {
            m_in_inline = true;
        } else if (local == "mergeCell") {
            AddMerge(FindAttribute(attributes, "ref"));
        }
        if (m_in_inline) m_inline.Start(local);
    }

    void End(std::string_view name) override {
        const std::string_view local = LocalName(name);
        if (m_in_inline) m_inline.End(local);
        if (local == "v") m_in_value = false;
        if (local == "is") m_in_inline = false;
        if (local == "c") m_sheet.set_cell(m_row, m_column, CellRead());
    }

    void Text(std::string_view text) override {
        if (m_in_value) m_value += text;
        if (m_in_inline) m_inline.Text(text);
    }

private:
    static int ParseIndex(const char* text, int most) {
        double number = 0;
        if (!ParseXmlNumber(text, number) || number < 1 || number > most)
            throw WorkbookError(WorkbookFault::Damaged, "row out of range");
        return static_cast<int>(number) - 1;
    }

    void StartCell(const char** attributes) {
        const char* reference = FindAttribute(attributes, "r");
        int row = m_row;
        if (reference && !ParseCellReference(reference, row, m_column))
            throw WorkbookError(WorkbookFault::Damaged, "cell reference damaged");
        if (!reference) ++m_column;
        if (row != m_row || m_row < 0 || m_column >= kMaxColumns)
            throw WorkbookError(WorkbookFault::Damaged, "cell outside its row");
        const char* type = FindAttribute(attributes, "t");
        m_type = type ? type : "n";
        m_value.clear();
        m_inline.Take();
    }

    CellValue CellRead() {
        if (m_type == "inlineStr") return TextValue(m_inline.Take());
        if (m_value.empty()) return {};
        if (m_type == "s") {
            double index = 0;
            if (!ParseXmlNumber(m_value, index) || index < 0 || index >= m_shared.size())
                throw WorkbookError(WorkbookFault::Damaged, "shared string out of range");
            const tstring& text = m_shared[static_cast<std::size_t>(index)];
            return text.empty() ? CellValue() : CellValue::Text(text);
        }
        if (m_type == "str") return TextValue(m_value);
        if (m_type == "b") return CellValue::Boolean(m_value != "0");
        if (m_type == "e") return CellValue::Other();
        double number = 0;
        if (m_type == "d" && ParseIsoDate(m_value, number)) return CellValue::Number(number);
        if (!ParseXmlNumber(m_value, number))
            throw WorkbookError(WorkbookFault::Damaged, "number damaged");
        return CellValue::Number(number);
    }

    static CellValue TextValue(const std::string& utf8) {
        return utf8.empty() ? CellValue() : CellValue::Text(Utf8ToGbk(utf8));
    }

    void AddMerge(const char* reference) {
        const std::string_view range = reference ? reference : "";
        const std::size_t colon = range.find(':');
        detail::MergedRange merge{};
        if (colon != std::string_view::npos &&
            ParseCellReference(range.substr(0, colon), merge.first_row, merge.first_column) &&
            ParseCellReference(range.substr(colon + 1), merge.last_row, merge.last_column))
            merged.push_back(merge);
    }

    SheetData& m_sheet;
    const std::vector<tstring>& m_shared;
    int m_row = -1;
    int m_column = -1;
    std::string m_type;
    std::string m_value;
    RunText m_inline;
    bool m_in_value = false;
    bool m_in_inline = false;
};

const Relationship* FindByType(const std::map<std::string, Relationship>& relationships,
                               std::string_view type_end) {
    for (const auto& [id, relationship] : relationships)
        if (EndsWith(relationship.type, type_end)) return &relationship;
    return nullptr;
}

std::vector<tstring> ReadSharedStrings(const ZipPackage& package,
                                       const std::map<std::string, Relationship>& relationships) {
    SharedStringsHandler handler;
    const Relationship* shared = FindByType(relationships, "/sharedStrings");
    if (shared && package.Has(shared->target)) package.Parse(shared->target, handler);
    return std::move(handler.strings);
}

SheetData ReadSheet(const ZipPackage& package, const SheetEntry& entry, const std::string& part,
                    const std::vector<tstring>& shared) {
    SheetData sheet(Utf8ToGbk(entry.name));
    SheetHandler handler(sheet, shared);
    package.Parse(part, handler);
    for (const detail::MergedRange& merge : handler.merged) detail::FillMergedRange(sheet, merge);
    return sheet;
}

}  // namespace

WorkbookData detail::ReadXlsxPackage(const ZipPackage& package) {
    const std::map<std::string, Relationship> package_relationships = ReadRelationships(package, "");
    const Relationship* document = FindByType(package_relationships, "/officeDocument");
    if (!document || !package.Has(document->target))
        throw WorkbookError(WorkbookFault::NotAWorkbook, "zip without a workbook part");
    const std::map<std::string, Relationship> relationships =
        ReadRelationships(package, document->target);
    WorkbookHandler workbook;
    package.Parse(document->target, workbook);
    const std::vector<tstring> shared = ReadSharedStrings(package, relationships);
    WorkbookData book;
    // Only worksheets hold cells; chart sheets are left out.
    for (const SheetEntry& entry : workbook.sheets) {
        const auto found = relationships.find(entry.relationship);
        if (found != relationships.end() && EndsWith(found->second.type, "/worksheet"))
            book.push_back(ReadSheet(package, entry, found->second.target, shared));
    }
    return book;
}
