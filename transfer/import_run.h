#pragma once
// The import's rows and the results of a run over them, without windows. The import page shows
// the rows for the operator to check, edit and tick, ledgerdesk-cli imports them all; both turn
// a row's texts into a store row here, send batches through insert_multi_rows and count here.
#include <functional>
#include <map>
#include <vector>

#include "excel/excel_import_book.h"
#include "store/db_connection.h"
#include "store/records.h"

// Rows refused before they reach the store: a lookup text no common value reads, and a date or
// time cell whose text reads as no date (imported empty, it would lose what the cell said).
constexpr int32_t kUnknownValue = 100;
constexpr int32_t kUnreadableDate = 101;

class ImportRun {
public:
    // A workbook row: its sheet and its row in that sheet.
    struct SourceRow {
        int sheet = 0;
        int row = 0;
    };
    struct RowState {
        bool done = false;
        insert_result_t result;
    };

    // Neither is owned; both outlive the run.
    ImportRun(ExcelImportBook& book, const DataTypeDictionary& dictionary);

    // The rows of the chosen sheets below their header; a row none of whose chosen columns holds
    // anything is left out. Forgets the results of an earlier run.
    void LoadRows();
    const std::vector<SourceRow>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }

    // The data types the columns are matched to, in display order.
    std::vector<data_type_info_t> MappedTypes() const;
    // The text of a row's cell for `type` as the import reads it; "" when its sheet lacks the
    // column. A lookup cell gives its own text (MatchedValue tells what it stands for).
    tstring CellText(int row, const data_type_info_t& type);
    // The common value a lookup text is matched to; "" without a match.
    tstring MatchedValue(const data_type_info_t& type, const tstring& text) const;
    // A yes/no text that imports as yes.
    static bool IsYes(const tstring& text) { return text == "1" || text == "是"; }
    // The store row of the texts given for `types`: yes/no as 1 or 0, a lookup by the ValueID of
    // the common value that reads as its text (-1 without one).
    row_info_t ToRow(const std::vector<data_type_info_t>& types,
                     const std::vector<tstring>& texts) const;
    // Matches every lookup text left without a match to the common value that reads the same,
    // as the wizard's automatic match does.
    void MatchValuesByText();

    // Forgets every result, for a run from the start.
    void Begin();
    void Record(int row, const insert_result_t& result);
    const RowState& State(int row) const { return m_states[row]; }
    // Done and neither imported nor found unchanged.
    bool Failed(int row) const;
    int Processed() const { return m_processed; }
    int Succeeded() const { return m_succeeded; }
    // The summary line of a finished run, or of one a lost connection broke off.
    tstring Summary(bool brokenOff) const;
    // A done row's mark: "导入成功", "导入数据没有变化" or why it failed; null for a code without
    // one.
    static const char* ResultText(const insert_result_t& result);
    // Why a failed row failed, the cell that refused it named.
    tstring Reason(int row) const;
    // Refuses the row when importing `texts` (for `types`, as they are to be imported) would lose
    // what it holds: a date or time cell of the workbook whose text reads as no date, left empty
    // in `texts` (the operator's date entered over it imports), or vehicle cells without a plate,
    // which would store the customer alone.
    bool RefuseLossyRow(int row, const std::vector<data_type_info_t>& types,
                        const std::vector<tstring>& texts);

    // The whole import without an operator, as the page's run over all pages does: every row in
    // batches of `batchRows`, lookup texts by their matches, else by a common value that reads
    // the same; a row holding a text no common value reads is refused, unless `addValues`
    // stores such texts as new common values first. `progress` hears the rows done after every
    // batch. Not ok when the connection broke the run off or a new value could not be stored.
    ret_t ImportAll(DbConnection& db, int batchRows, bool addValues,
                    const std::function<void(int done, int total)>& progress);

private:
    bool RowBlank(int row);
    // The workbook column of `type` in the row's sheet, whose header index it builds; -1 when
    // that sheet lacks it.
    int ColumnOf(int row, const data_type_info_t& type);
    void Refuse(int row, int32_t code, const tstring& cell);
    bool RefuseUnreadableDate(int row, const std::vector<data_type_info_t>& types,
                              const std::vector<tstring>& texts);
    bool RefuseVehicleWithoutPlate(int row, const std::vector<data_type_info_t>& types,
                                   const std::vector<tstring>& texts);
    // The texts of a row for `types`, lookups as their common values; false when a lookup text
    // stands for none, the row refused.
    bool RowTexts(int row, const std::vector<data_type_info_t>& types, std::vector<tstring>& texts);
    ret_t AddUnknownValues(DbConnection& db, const std::vector<data_type_info_t>& types);
    ret_t ImportBatch(DbConnection& db, const std::vector<data_type_info_t>& types, int first,
                      int end);

    ExcelImportBook& m_book;
    const DataTypeDictionary& m_dictionary;
    std::vector<SourceRow> m_rows;
    std::vector<RowState> m_states;
    // The cell of a row refused before the store, as its data type's name with its text.
    std::map<int, tstring> m_refusedCells;
    int m_processed = 0;
    int m_succeeded = 0;
};
