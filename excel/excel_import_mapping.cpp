// The column and value mappings of ExcelImportBook and their three settings keys.
//   ExcelKey:        column names joined by ":"
//   ExcelMatchKey:   DataType ":" column, entries joined by "^"
//   ExcelMatchValue: DataType ":" pairs, entries joined by "^"; pairs cell text "=" common value,
//                    joined by ","
// Nothing is escaped: a name holding a separator does not come back. Entries that no longer fit
// the workbook or the dictionary are dropped without a word. Each key is also kept per workbook
// layout, as key "_" and a fingerprint of the header names, so a layout seen before gets its own
// choices back whatever was imported in between.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "excel/excel_import_book.h"
#include "excel/holder_support.h"
#include "excel/split_text.h"
#include "store/data_type_dictionary.h"

using excel_detail::ReadSetting;
using excel_detail::WriteSetting;

namespace {

const tstring kSection = "Excel";
const tstring kColumnsKey = "ExcelKey";
const tstring kTypeMatchKey = "ExcelMatchKey";
const tstring kValueMatchKey = "ExcelMatchValue";

bool HasCommonValue(const DataTypeDictionary& dictionary, const tstring& data_type,
                    const tstring& value) {
    auto values = dictionary.data_map().find(data_type);
    if (values == dictionary.data_map().end()) return false;
    return std::any_of(values->second.begin(), values->second.end(),
                       [&](const common_value_t& entry) { return entry.second == value; });
}

const DataTypeDictionary& EmptyDictionary() {
    static const DataTypeDictionary empty;
    return empty;
}

// FNV-1a of the texts and the separators between them, in hex.
tstring Fingerprint(const std::vector<tstring>& texts) {
    uint64_t hash = 14695981039346656037ull;
    for (const tstring& text : texts) {
        for (const char byte : text + '\0') {
            hash ^= static_cast<unsigned char>(byte);
            hash *= 1099511628211ull;
        }
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

}  // namespace

int ExcelImportBook::EffectiveRows(int sheet) const {
    return sheet >= 0 && sheet < static_cast<int>(m_effective_rows.size()) ? m_effective_rows[sheet]
                                                                           : 0;
}

std::vector<int> ExcelImportBook::SheetsWithData() const {
    std::vector<int> sheets;
    for (int i = 0; i < static_cast<int>(m_effective_rows.size()); ++i)
        if (m_effective_rows[i] > 1) sheets.push_back(i);
    return sheets;
}

// The trimmed texts of row 0 of the selected sheet, one per column up to the last used one.
std::vector<tstring> ExcelImportBook::HeaderTexts() {
    std::vector<tstring> texts;
    const int columns = ColumnEnd();
    for (int column = 0; column < columns; ++column) texts.push_back(GetTrimmedText(0, column));
    return texts;
}

tstring ExcelImportBook::LayoutKey(const tstring& key) const {
    return key + "_" + Fingerprint(m_header_names);
}

// The layout's own value, else the last one stored for any layout.
tstring ExcelImportBook::ReadLayoutSetting(const tstring& key) const {
    const tstring own = ReadSetting(kSection, LayoutKey(key));
    return own.empty() ? ReadSetting(kSection, key) : own;
}

void ExcelImportBook::WriteLayoutSetting(const tstring& key, const tstring& value) const {
    WriteSetting(kSection, key, value);
    WriteSetting(kSection, LayoutKey(key), value);
}

bool ExcelImportBook::NamesDataType(const tstring& header) const {
    if (!m_dictionary) return false;
    const auto& columns = m_dictionary->all_columns();
    return std::any_of(columns.begin(), columns.end(), [&](const data_type_info_t* info) {
        return info->ReadOnly == 0 && info->DataTypeName == header;
    });
}

// A layout seen before gets its own choice; a new one the last choice made, and every column
// named as a data type.
ret_t ExcelImportBook::LoadColumnChoice() {
    m_header_choice.clear();
    m_header_names.clear();
    for (int sheet : SheetsWithData()) {
        SelectSheet(sheet);
        for (const tstring& text : HeaderTexts()) {
            if (text.empty() || !m_header_choice.emplace(text, false).second) continue;
            m_header_names.push_back(text);
        }
    }
    const tstring own = ReadSetting(kSection, LayoutKey(kColumnsKey));
    const std::vector<tstring> stored =
        SplitText(own.empty() ? ReadSetting(kSection, kColumnsKey) : own, ':');
    for (auto& [name, chosen] : m_header_choice)
        chosen = stored.empty() || std::find(stored.begin(), stored.end(), name) != stored.end() ||
                 (own.empty() && NamesDataType(name));
    return {true, 0};
}

void ExcelImportBook::SaveColumnChoice() {
    WriteLayoutSetting(kColumnsKey, JoinText(m_chosen_columns, ':'));
}

void ExcelImportBook::SetChosenSheets(const std::set<int>& sheets) {
    if (sheets != m_chosen_sheets) m_distinct_values.clear();
    m_chosen_sheets = sheets;
}

ret_t ExcelImportBook::MatchSheetsToColumns() {
    m_sheet_columns.clear();
    m_sheets_without_columns.clear();
    for (int sheet : SheetsWithData()) {
        SelectSheet(sheet);
        column_set_t columns;
        for (const tstring& text : HeaderTexts())
            if (m_chosen_columns.count(text)) columns.insert(text);
        if (columns.empty())
            m_sheets_without_columns.insert(sheet);
        else
            m_sheet_columns[sheet] = std::move(columns);
    }
    return {true, 0};
}

void ExcelImportBook::BuildHeaderIndex(int sheet) {
    SelectSheet(sheet);
    m_header_index.clear();
    const std::vector<tstring> texts = HeaderTexts();
    for (int column = 0; column < static_cast<int>(texts.size()); ++column)
        if (m_chosen_columns.count(texts[column])) m_header_index.emplace(texts[column], column);
}

// The non-empty texts below the header in one column of the selected sheet.
void ExcelImportBook::AddColumnValues(int column, column_set_t& values) {
    const int rows = EffectiveRows(m_current_sheet);
    for (int row = 1; row < rows; ++row) {
        tstring text = GetTrimmedText(row, column);
        if (!text.empty()) values.insert(std::move(text));
    }
}

ExcelImportBook::column_set_t ExcelImportBook::DistinctValues(const tstring& column) {
    auto cached = m_distinct_values.find(column);
    if (cached != m_distinct_values.end()) return cached->second;
    column_set_t values;
    for (int sheet : m_chosen_sheets) {
        BuildHeaderIndex(sheet);
        auto found = m_header_index.find(column);
        if (found != m_header_index.end()) AddColumnValues(found->second, values);
    }
    m_distinct_values[column] = values;
    return values;
}

// A layout seen before gets its own matching; a new one what still fits of the last matching
// made, and every other column named as a data type, so that a column the last workbook did not
// have is not left out unseen.
ret_t ExcelImportBook::LoadTypeMatching() {
    const DataTypeDictionary& dictionary = m_dictionary ? *m_dictionary : EmptyDictionary();
    m_type_matching.clear();
    const tstring own = ReadSetting(kSection, LayoutKey(kTypeMatchKey));
    bool stored = false;
    for (const tstring& entry : SplitText(own.empty() ? ReadSetting(kSection, kTypeMatchKey) : own, '^')) {
        const std::vector<tstring> pieces = SplitText(entry, ':');
        if (pieces.size() != 2) continue;
        stored = true;
        if (dictionary.find(pieces[0]) && m_chosen_columns.count(pieces[1]))
            m_type_matching.emplace(pieces[0], pieces[1]);
    }
    if (own.empty()) MatchColumnsByName(dictionary);
    return {stored, 0};
}

// Each chosen column named as a data type, where neither is matched yet.
void ExcelImportBook::MatchColumnsByName(const DataTypeDictionary& dictionary) {
    std::set<tstring> matched;
    for (const auto& entry : m_type_matching) matched.insert(entry.second);
    for (const data_type_info_t* info : dictionary.all_columns()) {
        const tstring& name = info->DataTypeName;
        if (m_chosen_columns.count(name) && !m_type_matching.count(info->DataType) &&
            matched.insert(name).second)
            m_type_matching[info->DataType] = name;
    }
}

void ExcelImportBook::SaveTypeMatching() {
    std::vector<tstring> entries;
    for (const auto& [data_type, column] : m_type_matching)
        entries.push_back(data_type + ":" + column);
    WriteLayoutSetting(kTypeMatchKey, JoinText(entries, '^'));
}

ret_t ExcelImportBook::LoadValueMatching() {
    const DataTypeDictionary& dictionary = m_dictionary ? *m_dictionary : EmptyDictionary();
    for (int sheet : m_chosen_sheets) {
        BuildHeaderIndex(sheet);
        for (const auto& [data_type, column] : m_type_matching) {
            auto found = m_header_index.find(column);
            if (column.empty() || !dictionary.is_lookup_column(data_type) ||
                found == m_header_index.end())
                continue;
            AddColumnValues(found->second, m_distinct_values[column]);
        }
    }
    m_value_matching.clear();
    for (const tstring& entry : SplitText(ReadLayoutSetting(kValueMatchKey), '^')) {
        const std::vector<tstring> pieces = SplitText(entry, ':');
        if (pieces.size() != 2 || !m_type_matching.count(pieces[0]) ||
            !dictionary.is_lookup_column(pieces[0]))
            continue;
        LoadStoredValuePairs(dictionary, pieces[0], pieces[1]);
    }
    return {true, 0};
}

void ExcelImportBook::LoadStoredValuePairs(const DataTypeDictionary& dictionary,
                                           const tstring& data_type, const tstring& pair_list) {
    if (m_value_matching.count(data_type)) return;
    const column_set_t& texts = m_distinct_values[m_type_matching[data_type]];
    value_match_t& matches = m_value_matching[data_type];
    for (const tstring& pair : SplitText(pair_list, ',')) {
        const std::vector<tstring> pieces = SplitText(pair, '=');
        if (pieces.size() == 2 && HasCommonValue(dictionary, data_type, pieces[1]) &&
            texts.count(pieces[0]))
            matches.emplace(pieces[0], pieces[1]);
    }
}

bool ExcelImportBook::SetValueMatch(const tstring& data_type, const tstring& common_value,
                                    const tstring& cell_text) {
    return m_value_matching[data_type].emplace(cell_text, common_value).second;
}

void ExcelImportBook::RemoveValueMatch(const tstring& data_type, const tstring& cell_text) {
    auto matches = m_value_matching.find(data_type);
    if (matches != m_value_matching.end()) matches->second.erase(cell_text);
}

void ExcelImportBook::SaveValueMatching() {
    std::vector<tstring> entries;
    for (const auto& [data_type, matches] : m_value_matching) {
        std::vector<tstring> pairs;
        for (const auto& [text, value] : matches) pairs.push_back(text + "=" + value);
        entries.push_back(data_type + ":" + JoinText(pairs, ','));
    }
    WriteLayoutSetting(kValueMatchKey, JoinText(entries, '^'));
}
