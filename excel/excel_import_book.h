#pragma once

#include <map>
#include <set>
#include <vector>

#include "excel/vellum_excel_file.h"
#include "netsqlite/types.h"

class DataTypeDictionary;

// The import page's workbook: the open workbook with its per-sheet counts, and the operator's
// three choices about it (columns to import, the data type each feeds, the common value each
// text of a lookup column stands for), kept in section "Excel" of the settings. No operation
// throws: a failure of the workbook gives the neutral result each names.
class ExcelImportBook {
public:
    using column_set_t = std::set<tstring>;
    using value_match_t = std::map<tstring, tstring>;  // cell text -> common value text

    ExcelImportBook() = default;

    // Workbooks are read by libraries linked into the program, so this is always true.
    bool ExcelAvailable() const { return m_available; }
    bool WorkbookOpen() const { return m_open; }

    // Why a workbook was not opened for import.
    enum OpenFailure {
        kUnreadable = 1,
        kNoData = 2,  // no sheet holds more than one used row
        kNotFound = 3,
        kNotAWorkbook = 4,
        kDamaged = 5,
        kTooLarge = 6,
    };
    // {true, 0}, or {false, one of OpenFailure}. The first sheet with data stays selected and the
    // path is remembered in the settings (Import/FilePath).
    ret_t OpenForImport(const tstring& path);
    // What the operator is told for an OpenFailure.
    static const char* OpenFailureMessage(int code);
    // Fills the sheet names and the effective row and used column counts of every sheet.
    void ScanSheets();

    int SheetCount();
    bool LoadSheet(int index);
    int UsedRowCount();
    int UsedColumnCount();
    tstring SheetName(int index);
    tstring GetCellText(int row, int column);
    // The cell text without leading and trailing spaces.
    tstring GetTrimmedText(int row, int column);
    // "1" for a cell holding TRUE, "0" for FALSE, else the trimmed text: a yes/no column reads
    // its booleans, which the cell text leaves empty.
    tstring GetYesNoText(int row, int column);
    // "%Y-%m-%d %H:%M:%S" and "%Y-%m-%d" in local time; "" for a cell that holds no date.
    tstring GetDateTimeText(int row, int column);
    tstring GetDateText(int row, int column);

    int CurrentSheet() const { return m_current_sheet; }
    const std::vector<tstring>& SheetNames() const { return m_sheet_names; }
    const std::vector<int>& EffectiveRowCounts() const { return m_effective_rows; }
    const std::vector<int>& UsedColumnCounts() const { return m_used_columns; }

    // The column and value mappings.
    void SetDictionary(const DataTypeDictionary* dictionary) { m_dictionary = dictionary; }
    ret_t LoadColumnChoice();
    void AddChosenColumn(const tstring& name) { m_chosen_columns.insert(name); }
    void ClearChosenColumns() { m_chosen_columns.clear(); }
    void SaveColumnChoice();
    // Changing the chosen sheets forgets the distinct values read from the earlier ones.
    void SetChosenSheets(const std::set<int>& sheets);
    ret_t MatchSheetsToColumns();
    // Selects the sheet and maps each chosen column name of its header to its first column.
    void BuildHeaderIndex(int sheet);
    column_set_t DistinctValues(const tstring& column);
    ret_t LoadTypeMatching();
    void SaveTypeMatching();
    ret_t LoadValueMatching();
    bool SetValueMatch(const tstring& data_type, const tstring& common_value,
                       const tstring& cell_text);
    void RemoveValueMatch(const tstring& data_type, const tstring& cell_text);
    void SaveValueMatching();

    const std::vector<tstring>& HeaderNames() const { return m_header_names; }
    const std::map<tstring, bool>& HeaderChoice() const { return m_header_choice; }
    const column_set_t& ChosenColumns() const { return m_chosen_columns; }
    const std::set<int>& ChosenSheets() const { return m_chosen_sheets; }
    const std::map<int, column_set_t>& SheetColumns() const { return m_sheet_columns; }
    const std::set<int>& SheetsWithoutColumns() const { return m_sheets_without_columns; }
    const std::map<tstring, int>& HeaderIndex() const { return m_header_index; }
    // The page rebuilds it from its rows before saving.
    std::map<tstring, tstring>& TypeMatching() { return m_type_matching; }
    const std::map<tstring, value_match_t>& ValueMatching() const { return m_value_matching; }

private:
    bool SelectSheet(int index);
    // The rows and columns of the selected sheet read for the import: up to its last used ones,
    // so a table that starts right of column A or below row 1 keeps its last column and rows.
    int RowEnd();
    int ColumnEnd();
    tstring CellTimeText(int row, int column, const char* format);
    int EffectiveRows(int sheet) const;
    std::vector<int> SheetsWithData() const;
    std::vector<tstring> HeaderTexts();
    void AddColumnValues(int column, column_set_t& values);
    int ScanEffectiveRows(int rows, int columns);
    bool RowFilled(int row, int columns);
    void LoadStoredValuePairs(const DataTypeDictionary& dictionary, const tstring& data_type,
                              const tstring& pair_list);
    // The settings key of this workbook's layout (its header names).
    tstring LayoutKey(const tstring& key) const;
    tstring ReadLayoutSetting(const tstring& key) const;
    void WriteLayoutSetting(const tstring& key, const tstring& value) const;
    bool NamesDataType(const tstring& header) const;
    void MatchColumnsByName(const DataTypeDictionary& dictionary);

    bool m_available = true;
    bool m_open = false;
    int m_current_sheet = 0;
    std::vector<tstring> m_sheet_names;
    std::vector<int> m_effective_rows;
    std::vector<int> m_used_columns;
    VellumExcelFile m_file;

    std::vector<tstring> m_header_names;
    std::map<tstring, bool> m_header_choice;
    column_set_t m_chosen_columns;
    std::set<int> m_chosen_sheets;
    std::map<int, column_set_t> m_sheet_columns;
    std::set<int> m_sheets_without_columns;
    std::map<tstring, int> m_header_index;
    std::map<tstring, tstring> m_type_matching;  // DataType -> column name
    std::map<tstring, column_set_t> m_distinct_values;
    std::map<tstring, value_match_t> m_value_matching;  // DataType -> matches
    const DataTypeDictionary* m_dictionary = nullptr;
};
