// .ods: the tables of content.xml, streamed. Repeated rows and cells are expanded only where
// they hold a value, and covered cells keep their columns.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "excel/workbook_reader.h"
#include "excel/zip_xml.h"
#include "netsqlite/text_codec.h"

namespace {

#define ODS_OFFICE "urn:oasis:names:tc:opendocument:xmlns:office:1.0|"
#define ODS_TABLE "urn:oasis:names:tc:opendocument:xmlns:table:1.0|"
#define ODS_TEXT "urn:oasis:names:tc:opendocument:xmlns:text:1.0|"
#define ODS_CALC_EXTENSION "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0|"

// The largest sheet the producers write; rows and cells repeated beyond it are formatting.
constexpr long long kMaxRows = 1048576;
constexpr long long kMaxColumns = 16384;
// Repeated cells expanded in one workbook at most; more is a hostile file.
constexpr long long kMaxExpandedCells = 20000000;

long long Count(const char** attributes, std::string_view name) {
    const char* text = FindAttribute(attributes, name);
    double number = 1;
    if (text && (!ParseXmlNumber(text, number) || number < 1))
        throw WorkbookError(WorkbookFault::Damaged, "repeat count damaged");
    return number > kMaxRows ? kMaxRows : static_cast<long long>(number);
}

struct RowCell {
    long long column, repeat;
    CellValue value;
};

// A duration "PT10H20M30.5S" as a fraction of a day.
bool ParseDuration(std::string_view text, double& days) {
    if (text.substr(0, 2) != "PT") return false;
    double hours = 0, minutes = 0, seconds = 0;
    const std::string terminated(text);
    if (std::sscanf(terminated.c_str(), "PT%lfH%lfM%lfS", &hours, &minutes, &seconds) != 3)
        return false;
    days = (hours * 3600 + minutes * 60 + seconds) / 86400;
    return true;
}

// The attribute that holds the value of a cell of that value type.
const char* ValueAttributeOf(const std::string& type) {
    if (type == "date") return ODS_OFFICE "date-value";
    if (type == "time") return ODS_OFFICE "time-value";
    if (type == "boolean") return ODS_OFFICE "boolean-value";
    if (type == "string") return ODS_OFFICE "string-value";
    return ODS_OFFICE "value";
}

// A cell's value as its value type says; the text of its paragraphs for text.
CellValue CellRead(const std::string& type, const std::string& error_type, const char* value,
                   std::string text) {
    double number = 0;
    if (error_type == "error") return CellValue::Other();
    if (type == "float" || type == "percentage" || type == "currency")
        return value && ParseXmlNumber(value, number) ? CellValue::Number(number) : CellValue::Other();
    if (type == "date")
        return value && ParseIsoDate(value, number) ? CellValue::Number(number) : CellValue::Other();
    if (type == "time")
        return value && ParseDuration(value, number) ? CellValue::Number(number) : CellValue::Other();
    if (type == "boolean") return CellValue::Boolean(value && std::string_view(value) == "true");
    if (value && type == "string") text = value;
    return text.empty() ? CellValue() : CellValue::Text(Utf8ToGbk(text));
}

class ContentHandler : public XmlHandler {
public:
    WorkbookData book;
    std::vector<std::vector<detail::MergedRange>> merged;

    void Start(std::string_view name, const char** attributes) override {
        if (m_skipped_depth > 0) {
            ++m_skipped_depth;
        } else if (name == ODS_TABLE "table") {
            const char* sheet_name = FindAttribute(attributes, ODS_TABLE "name");
            book.emplace_back(Utf8ToGbk(sheet_name ? sheet_name : ""));
            merged.emplace_back();
            m_row = 0;
        } else if (name == ODS_TABLE "table-row") {
            m_row_repeat = Count(attributes, ODS_TABLE "number-rows-repeated");
            m_column = 0;
            m_cells.clear();
        } else if (name == ODS_TABLE "table-cell" || name == ODS_TABLE "covered-table-cell") {
            StartCell(name == ODS_TABLE "covered-table-cell", attributes);
        } else if (name == ODS_OFFICE "annotation") {
            m_skipped_depth = 1;
        } else if (name == ODS_TEXT "p") {
            if (m_paragraphs++ > 0) m_text += '\n';
        } else if (name == ODS_TEXT "s") {
            m_text.append(static_cast<std::size_t>(Count(attributes, ODS_TEXT "c")), ' ');
        } else if (name == ODS_TEXT "tab") {
            m_text += '\t';
        } else if (name == ODS_TEXT "line-break") {
            m_text += '\n';
        }
    }

    void End(std::string_view name) override {
        if (m_skipped_depth > 0) {
            --m_skipped_depth;
        } else if (name == ODS_TABLE "table-cell" || name == ODS_TABLE "covered-table-cell") {
            EndCell();
        } else if (name == ODS_TABLE "table-row") {
            EndRow();
        }
    }

    void Text(std::string_view text) override {
        if (m_in_cell && m_paragraphs > 0 && m_skipped_depth == 0) m_text += text;
    }

private:
    void StartCell(bool covered, const char** attributes) {
        m_in_cell = true;
        m_covered = covered;
        m_cell_repeat = Count(attributes, ODS_TABLE "number-columns-repeated");
        const char* type = FindAttribute(attributes, ODS_OFFICE "value-type");
        const char* extension_type = FindAttribute(attributes, ODS_CALC_EXTENSION "value-type");
        m_type = type ? type : "";
        m_extension_type = extension_type ? extension_type : "";
        const char* value = FindAttribute(attributes, ValueAttributeOf(m_type));
        m_has_value = value != nullptr;
        m_value = value ? value : "";
        const long long rows = Count(attributes, ODS_TABLE "number-rows-spanned");
        const long long columns = Count(attributes, ODS_TABLE "number-columns-spanned");
        if (!covered && (rows > 1 || columns > 1) && m_row < kMaxRows && m_column < kMaxColumns)
            m_span = {static_cast<int>(m_row), static_cast<int>(m_column),
                      static_cast<int>(std::min(m_row + rows - 1, kMaxRows - 1)),
                      static_cast<int>(std::min(m_column + columns - 1, kMaxColumns - 1))};
        else
            m_span = {-1, -1, -1, -1};
        m_text.clear();
        m_paragraphs = 0;
    }

    // A covered cell only takes up its columns: its merged range shows the first cell's value.
    void EndCell() {
        m_in_cell = false;
        const CellValue value =
            m_covered ? CellValue()
                      : CellRead(m_type, m_extension_type, m_has_value ? m_value.c_str() : nullptr,
                                 std::move(m_text));
        if (value.kind != CellValue::Kind::Empty && m_column < kMaxColumns)
            m_cells.push_back({m_column, std::min(m_cell_repeat, kMaxColumns - m_column), value});
        if (m_span.first_row >= 0 && !book.empty()) {
            for (long long r = 0; r < m_row_repeat && m_row + r < kMaxRows; ++r) {
                detail::MergedRange range = m_span;
                range.first_row += static_cast<int>(r);
                range.last_row += static_cast<int>(r);
                merged.back().push_back(range);
            }
        }
        m_column += m_cell_repeat;
    }

    void EndRow() {
        const long long rows = std::max(0LL, std::min(m_row_repeat, kMaxRows - m_row));
        if (!m_cells.empty() && !book.empty()) {
            for (const RowCell& cell : m_cells) {
                m_expanded += rows * cell.repeat;
                if (m_expanded > kMaxExpandedCells)
                    throw WorkbookError(WorkbookFault::TooLarge, "too many repeated cells");
            }
            for (long long r = 0; r < rows; ++r)
                for (const RowCell& cell : m_cells)
                    for (long long c = 0; c < cell.repeat; ++c)
                        book.back().set_cell(static_cast<int>(m_row + r),
                                             static_cast<int>(cell.column + c), cell.value);
        }
        m_row += rows;
    }

    long long m_row = 0;
    long long m_row_repeat = 1;
    long long m_column = 0;
    long long m_cell_repeat = 1;
    long long m_expanded = 0;
    std::vector<RowCell> m_cells;
    bool m_in_cell = false;
    bool m_covered = false;
    std::string m_type, m_extension_type, m_value, m_text;
    bool m_has_value = false;
    int m_paragraphs = 0;
    int m_skipped_depth = 0;
    detail::MergedRange m_span{-1, -1, -1, -1};
};

}  // namespace

WorkbookData detail::ReadOdsPackage(const ZipPackage& package) {
    ContentHandler content;
    package.Parse("content.xml", content);
    for (std::size_t i = 0; i < content.book.size(); ++i)
        for (const detail::MergedRange& merge : content.merged[i])
            detail::FillMergedRange(content.book[i], merge);
    return std::move(content.book);
}
