#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "excel/workbook_data.h"

// The largest sheet BIFF8 can describe.
constexpr int kBiff8MaxRows = 65536;
constexpr int kBiff8MaxColumns = 256;

// Bytes appended to a temporary file and copied out of it again; the file goes with the object.
class SpoolFile {
public:
    SpoolFile();
    void Append(std::string_view bytes);
    // Copies the bytes from `from` up to `to`; appending goes on afterwards.
    void CopyTo(std::ostream& out, std::size_t from, std::size_t to);
    std::size_t size() const { return m_size; }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    void Flush();

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
    std::string m_pending;  // appended, not written yet
    std::size_t m_size = 0;
};

// The shared string table of a book, written as its texts come: every text cell gets an entry,
// except that texts seen before share theirs while the table of shared texts is small, so
// repeated values cost nothing and memory stays bounded whatever the number of distinct texts.
class Biff8StringTable {
public:
    Biff8StringTable();
    // The entry a text cell refers to; throws WorkbookError for a text no cell holds.
    uint32_t Add(const tstring& text);
    // The bytes of the SST record and its CONTINUE records.
    std::size_t size() const;
    void WriteTo(std::ostream& out);

private:
    void AppendUnits(const std::u16string& units);
    void FlushRecord();

    SpoolFile m_records;
    std::string m_record;  // the record being filled; the first starts with the two counts
    uint32_t m_cells = 0;
    uint32_t m_entries = 0;
    std::unordered_map<tstring, uint32_t> m_shared;
};

// An .xls workbook (BIFF8) written cell by cell, each sheet's cells row by row and left to right.
// Cell records and the string table go to temporary files as they come, so memory does not grow
// with the rows; saving assembles the file from them. Holds text, number and date cells; each
// column is made as wide as its widest cell.
class Biff8BookWriter {
public:
    // The sheet the following cells go to; the first one added is selected.
    void AddSheet(const tstring& name);
    int SheetCount() const { return static_cast<int>(m_sheets.size()); }
    // Throw WorkbookError without a sheet, for a cell beyond kBiff8MaxRows/Columns, for a cell
    // not after the last one written in its sheet, and for a text longer than an Excel cell
    // holds (32,767 characters). An empty text is no cell.
    void SetText(int row, int column, const tstring& text);
    void SetNumber(int row, int column, double value);
    // A date serial number shown as "yyyy-mm-dd", or with `with_time` "yyyy-mm-dd hh:mm:ss".
    void SetDate(int row, int column, double serial, bool with_time);
    // Writes the .xls file beside `path` (GBK) and renames it over it, so a failed save leaves
    // an existing file as it was. Writing may go on and the book be saved again.
    void SaveAs(const tstring& path);

private:
    struct Sheet {
        tstring name;
        std::size_t cells_from = 0;  // where its cell records start in m_cells
        int first_row = -1, last_row = -1, first_column = -1, last_column = -1;
        int last_written_column = -1;
        std::map<int, int> widths;  // column -> characters of its widest cell
    };

    void CheckNextCell(int row, int column) const;
    void AppendCell(int row, int column, uint16_t type, uint16_t xf, const std::string& value);
    void Widen(int column, int chars);
    void WriteTo(std::ostream& out);

    std::vector<Sheet> m_sheets;
    SpoolFile m_cells;
    Biff8StringTable m_strings;
};

// Saves a book held in memory as .xls through the writer above.
void SaveXlsFile(const WorkbookData& book, const tstring& path);
