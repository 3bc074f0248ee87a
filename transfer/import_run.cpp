#include "transfer/import_run.h"

#include <algorithm>
#include <cstdio>

#include "store/bulk_import.h"
#include "store/data_type_dictionary.h"
#include "store/data_type_store.h"

namespace {

const common_value_list_t& CommonValues(const DataTypeDictionary& dictionary,
                                        const tstring& dataType) {
    static const common_value_list_t none;
    const auto values = dictionary.data_map().find(dataType);
    return values == dictionary.data_map().end() ? none : values->second;
}

int32_t ValueIdOf(const DataTypeDictionary& dictionary, const tstring& dataType,
                  const tstring& text) {
    for (const common_value_t& value : CommonValues(dictionary, dataType))
        if (value.second == text) return value.first;
    return -1;
}

int32_t NextValueId(const DataTypeDictionary& dictionary, const tstring& dataType) {
    int32_t highest = 0;
    for (const common_value_t& value : CommonValues(dictionary, dataType))
        highest = std::max(highest, value.first);
    return highest + 1;
}

// A refused row's cell as its reason names it: the data type's name with the text quoted.
tstring NamedCell(const data_type_info_t& type, const tstring& text) {
    return type.DataTypeName + "“" + text + "”";
}

}  // namespace

ImportRun::ImportRun(ExcelImportBook& book, const DataTypeDictionary& dictionary)
    : m_book(book), m_dictionary(dictionary) {}

void ImportRun::LoadRows() {
    m_rows.clear();
    for (int sheet : m_book.ChosenSheets()) {
        const int rows = m_book.EffectiveRowCounts()[sheet];
        m_book.BuildHeaderIndex(sheet);
        for (int row = 1; row < rows; ++row)
            if (!RowBlank(row)) m_rows.push_back({sheet, row});
    }
    Begin();
}

// Reads the selected sheet, whose header index is built.
bool ImportRun::RowBlank(int row) {
    for (const auto& column : m_book.HeaderIndex())
        if (!m_book.GetYesNoText(row, column.second).empty()) return false;
    return true;
}

std::vector<data_type_info_t> ImportRun::MappedTypes() const {
    std::vector<data_type_info_t> types;
    for (const data_type_info_t* info : m_dictionary.all_columns())
        if (m_book.TypeMatching().count(info->DataType)) types.push_back(*info);
    return types;
}

int ImportRun::ColumnOf(int row, const data_type_info_t& type) {
    const SourceRow& source = m_rows[row];
    if (m_book.CurrentSheet() != source.sheet || m_book.HeaderIndex().empty())
        m_book.BuildHeaderIndex(source.sheet);
    const auto matched = m_book.TypeMatching().find(type.DataType);
    if (matched == m_book.TypeMatching().end()) return -1;
    const auto found = m_book.HeaderIndex().find(matched->second);
    return found == m_book.HeaderIndex().end() ? -1 : found->second;
}

tstring ImportRun::CellText(int row, const data_type_info_t& type) {
    const int column = ColumnOf(row, type);
    if (column < 0) return tstring();
    const SourceRow& source = m_rows[row];
    if (type.Type == kTypeYesNo) return m_book.GetYesNoText(source.row, column);
    if (type.Type == kTypeDate) return m_book.GetDateText(source.row, column);
    if (type.Type == kTypeDateTime || type.Type == kTypeTimestamp)
        return m_book.GetDateTimeText(source.row, column);
    return m_book.GetTrimmedText(source.row, column);
}

tstring ImportRun::MatchedValue(const data_type_info_t& type, const tstring& text) const {
    const auto matches = m_book.ValueMatching().find(type.DataType);
    if (matches == m_book.ValueMatching().end()) return tstring();
    const auto match = matches->second.find(text);
    return match == matches->second.end() ? tstring() : match->second;
}

row_info_t ImportRun::ToRow(const std::vector<data_type_info_t>& types,
                            const std::vector<tstring>& texts) const {
    row_info_t row;
    for (size_t i = 0; i < types.size() && i < texts.size(); ++i) {
        const data_type_info_t& type = types[i];
        tstring value = texts[i];
        if (type.Type == kTypeYesNo)
            value = IsYes(value) ? "1" : "0";
        else if (type.Type == kTypeLookup)
            value = std::to_string(value.empty() ? -1 : ValueIdOf(m_dictionary, type.DataType, value));
        value_map_t& half =
            type.DataTypeCategory == kCategoryVehicle ? row.vehicle.values : row.customer.values;
        half[type.DataType] = value;
    }
    return row;
}

// --- Results ---------------------------------------------------------------------------------

void ImportRun::Begin() {
    m_states.assign(m_rows.size(), RowState());
    m_refusedCells.clear();
    m_processed = 0;
    m_succeeded = 0;
}

void ImportRun::Record(int row, const insert_result_t& result) {
    m_states[row] = {true, result};
    ++m_processed;
    if (result.ok) ++m_succeeded;
}

bool ImportRun::Failed(int row) const {
    const RowState& state = m_states[row];
    return state.done && !state.result.ok && state.result.code != kNothingToImport;
}

tstring ImportRun::Summary(bool brokenOff) const {
    char text[512];
    std::snprintf(text, sizeof text,
                  brokenOff ? "导入因连接中断而中止，共处理数据%d条,成功导入%d条。连接恢复后请重新导入，已导入的行会显示没有变化"
                            : "导入已完成，共处理数据%d条,成功导入%d条",
                  m_processed, m_succeeded);
    return text;
}

const char* ImportRun::ResultText(const insert_result_t& result) {
    if (result.ok) return "导入成功";
    switch (result.code) {
        case kNothingToImport: return "导入数据没有变化";
        case kPlateExists: return "车牌号码已存在";
        case kCustomerInsertFailed: return "加入客户信息失败";
        case kVehicleInsertFailed: return "加入车辆信息失败";
        case kCustomerUpdateFailed: return "更新客户信息失败";
        case kVehicleUpdateFailed: return "更新车辆信息失败";
        case kNoPlate: return "车牌号码不能为空";
        case kCodePlateConflict: return "客户代码和车牌号码和当前数据冲突！";
        case kUnknownValue: return "选项值不存在";
        case kUnreadableDate: return "日期无法识别";
        default: return nullptr;
    }
}

tstring ImportRun::Reason(int row) const {
    const insert_result_t& result = m_states[row].result;
    const char* text = ResultText(result);
    tstring reason = text ? text : "导入失败";
    const auto cell = m_refusedCells.find(row);
    return cell == m_refusedCells.end() ? reason : reason + "：" + cell->second;
}

void ImportRun::Refuse(int row, int32_t code, const tstring& cell) {
    m_refusedCells[row] = cell;
    Record(row, {false, code});
}

bool ImportRun::RefuseLossyRow(int row, const std::vector<data_type_info_t>& types,
                               const std::vector<tstring>& texts) {
    return RefuseUnreadableDate(row, types, texts) || RefuseVehicleWithoutPlate(row, types, texts);
}

// A yes/no cell says nothing when it reads as no: an empty cell is shown unticked.
bool ImportRun::RefuseVehicleWithoutPlate(int row, const std::vector<data_type_info_t>& types,
                                          const std::vector<tstring>& texts) {
    for (size_t i = 0; i < types.size() && i < texts.size(); ++i)
        if (types[i].DataType == "PlateID" && !texts[i].empty()) return false;
    for (size_t i = 0; i < types.size() && i < texts.size(); ++i) {
        const bool said = types[i].Type == kTypeYesNo ? IsYes(texts[i]) : !texts[i].empty();
        if (types[i].DataTypeCategory != kCategoryVehicle || !said) continue;
        Refuse(row, kNoPlate, NamedCell(types[i], texts[i]));
        return true;
    }
    return false;
}

bool ImportRun::RefuseUnreadableDate(int row, const std::vector<data_type_info_t>& types,
                                     const std::vector<tstring>& texts) {
    for (size_t i = 0; i < types.size() && i < texts.size(); ++i) {
        const int32_t type = types[i].Type;
        const bool dated = type == kTypeDate || type == kTypeDateTime || type == kTypeTimestamp;
        if (!dated || !texts[i].empty()) continue;
        const int column = ColumnOf(row, types[i]);
        if (column < 0) continue;
        const tstring written = m_book.GetYesNoText(m_rows[row].row, column);
        if (written.empty()) continue;
        Refuse(row, kUnreadableDate, NamedCell(types[i], written));
        return true;
    }
    return false;
}

// --- Without an operator ---------------------------------------------------------------------

bool ImportRun::RowTexts(int row, const std::vector<data_type_info_t>& types,
                         std::vector<tstring>& texts) {
    texts.clear();
    for (const data_type_info_t& type : types) {
        tstring text = CellText(row, type);
        if (type.Type == kTypeLookup && !text.empty()) {
            const tstring value = MatchedValue(type, text);
            if (value.empty()) {
                Refuse(row, kUnknownValue, NamedCell(type, text));
                return false;
            }
            text = value;
        }
        texts.push_back(std::move(text));
    }
    return true;
}

void ImportRun::MatchValuesByText() {
    for (const data_type_info_t& type : MappedTypes()) {
        if (type.Type != kTypeLookup) continue;
        for (const tstring& text : m_book.DistinctValues(m_book.TypeMatching().at(type.DataType)))
            if (MatchedValue(type, text).empty() && ValueIdOf(m_dictionary, type.DataType, text) >= 0)
                m_book.SetValueMatch(type.DataType, text, text);
    }
}

ret_t ImportRun::AddUnknownValues(DbConnection& db, const std::vector<data_type_info_t>& types) {
    for (const data_type_info_t& type : types) {
        if (type.Type != kTypeLookup) continue;
        for (const tstring& text : m_book.DistinctValues(m_book.TypeMatching().at(type.DataType))) {
            if (!MatchedValue(type, text).empty() || ValueIdOf(db.dictionary(), type.DataType, text) >= 0)
                continue;
            const ret_t added = insert_common_data(db, type.DataType, text,
                                                   NextValueId(db.dictionary(), type.DataType));
            if (!added.ok) return added;
        }
    }
    return {true, 0};
}

ret_t ImportRun::ImportBatch(DbConnection& db, const std::vector<data_type_info_t>& types,
                             int first, int end) {
    std::vector<row_info_t> batch;
    std::vector<int> sent;
    std::vector<tstring> texts;
    for (int row = first; row < end; ++row) {
        if (!RowTexts(row, types, texts) || RefuseLossyRow(row, types, texts)) continue;
        batch.push_back(ToRow(types, texts));
        sent.push_back(row);
    }
    if (batch.empty()) return {true, 0};
    std::vector<insert_result_t> results;
    const ret_t imported = insert_multi_rows(db, batch, results);
    // The rows of a batch the connection broke off are in an unknown state: none is marked.
    if (!imported.ok) return imported;
    for (size_t k = 0; k < sent.size() && k < results.size(); ++k) Record(sent[k], results[k]);
    return imported;
}

ret_t ImportRun::ImportAll(DbConnection& db, int batchRows, bool addValues,
                           const std::function<void(int, int)>& progress) {
    Begin();
    const std::vector<data_type_info_t> types = MappedTypes();
    if (addValues) {
        const ret_t added = AddUnknownValues(db, types);
        if (!added.ok) return added;
    }
    MatchValuesByText();
    for (int first = 0; first < RowCount(); first += batchRows) {
        const int end = std::min(first + batchRows, RowCount());
        const ret_t batch = ImportBatch(db, types, first, end);
        if (!batch.ok) return batch;
        if (progress) progress(end, RowCount());
    }
    return {true, 0};
}
