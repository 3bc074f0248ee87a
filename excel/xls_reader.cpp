// .xls: the BIFF8 records of the "Workbook" stream, checked whole before any cell is read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "excel/biff8_records.h"
#include "excel/compound_file.h"
#include "excel/little_endian.h"
#include "excel/workbook_reader.h"
#include "netsqlite/text_codec.h"

namespace {

using namespace biff8;

constexpr uint16_t kBiff8Version = 0x0600;
constexpr uint16_t kWorkbookGlobals = 0x0005;

[[noreturn]] void Damaged(const char* what) {
    throw WorkbookError(WorkbookFault::Damaged, std::string("xls: ") + what);
}

struct Record {
    uint16_t type;
    std::size_t at;      // of its header
    std::size_t data;    // of its data
    std::size_t length;  // of its data
};

// Cell records shorter than this are damaged.
std::size_t MinimumLength(uint16_t type) {
    switch (type) {
        case kFormula: return 20;
        case kNumber: return 14;
        case kRk: return 10;
        case kLabelSst: return 10;
        case kBoolErr: return 8;
        case kMulRk: return 6;
        case kLabel: return 9;
        case kBoundSheet: return 8;
        case kBof: return 8;
        case kSst: return 8;
        case kMergedCells: return 2;
        case kString: return 3;
        default: return 0;
    }
}

// Every record of the stream, checked: each lies within the stream, holds no more than a record
// may and no less than a cell record needs, the stream opens with the workbook's BIFF8 BOF, and
// every BOF has its EOF.
std::vector<Record> SplitRecords(const std::string& stream) {
    std::vector<Record> records;
    int depth = 0;
    for (std::size_t at = 0; at < stream.size();) {
        if (at + 4 > stream.size()) Damaged("record header cut short");
        const Record record{LoadLe16(stream, at), at, at + 4, LoadLe16(stream, at + 2)};
        if (record.length > kMaxRecordData || record.data + record.length > stream.size())
            Damaged("record length beyond the stream");
        if (record.length < MinimumLength(record.type)) Damaged("record too short");
        if (records.empty() && (record.type != kBof || LoadLe16(stream, record.data) != kBiff8Version ||
                                LoadLe16(stream, record.data + 2) != kWorkbookGlobals))
            throw WorkbookError(WorkbookFault::NotAWorkbook, "xls: not a BIFF8 workbook");
        records.push_back(record);
        if (record.type == kBof) ++depth;
        if (record.type == kEof && --depth < 0) Damaged("EOF without BOF");
        at = record.data + record.length;
        // Substreams follow each other; what follows the last is padding.
        if (depth == 0 && (at + 4 > stream.size() || LoadLe16(stream, at) != kBof)) break;
    }
    if (depth != 0) Damaged("substream without its EOF");
    return records;
}

// The data of a record and the CONTINUE records after it, read across their borders: text
// characters that cross a border go on after a byte that says whether they are 8 or 16 bits.
class ContinuedReader {
public:
    ContinuedReader(const std::string& stream, const std::vector<Record>& records, std::size_t first)
        : m_stream(stream) {
        m_parts.push_back(records[first]);
        for (std::size_t i = first + 1; i < records.size() && records[i].type == kContinue; ++i)
            m_parts.push_back(records[i]);
    }

    uint8_t Byte() {
        NextPartIfDone();
        return static_cast<uint8_t>(m_stream[m_parts[m_part].data + m_at++]);
    }
    // The low part is read first: the order of the operands of | is not.
    uint16_t U16() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    void Skip(std::size_t bytes) {
        for (; bytes > 0; --bytes) Byte();
    }

    // An XLUnicodeRichExtendedString, or without `rich_extended` an XLUnicodeString.
    std::u16string String(bool rich_extended) {
        const uint16_t characters = U16();
        const uint8_t flags = Byte();
        const uint16_t runs = rich_extended && (flags & 0x08) ? U16() : 0;
        const uint32_t extended = rich_extended && (flags & 0x04) ? U32() : 0;
        std::u16string text = Characters(characters, flags & 0x01);
        Skip(std::size_t{runs} * 4);
        Skip(extended);
        return text;
    }

private:
    void NextPartIfDone() {
        while (m_at >= m_parts[m_part].length) {
            if (m_part + 1 >= m_parts.size()) Damaged("text runs past its records");
            ++m_part;
            m_at = 0;
        }
    }

    std::u16string Characters(std::size_t count, bool wide) {
        std::u16string text;
        text.reserve(count);
        while (text.size() < count) {
            if (m_at >= m_parts[m_part].length) {
                NextPartIfDone();
                wide = Byte() & 0x01;
            }
            text.push_back(wide ? U16() : Byte());
        }
        return text;
    }

    const std::string& m_stream;
    std::vector<Record> m_parts;
    std::size_t m_part = 0;
    std::size_t m_at = 0;
};

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A half of a surrogate pair alone is no character: the text is damaged.
tstring Narrow(const std::u16string& text) {
    std::string utf8;
    utf8.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            Damaged("text with half a character");
        } else {
            AppendUtf8(utf8, unit);
        }
    }
    return Utf8ToGbk(utf8);
}

CellValue TextValue(const tstring& text) {
    return text.empty() ? CellValue() : CellValue::Text(text);
}

double LoadDouble(const std::string& stream, std::size_t at) {
    const uint64_t bits = LoadLe32(stream, at) | static_cast<uint64_t>(LoadLe32(stream, at + 4)) << 32;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// An RK number: 30 bits of a double's top or of an integer, perhaps in hundredths.
double RkValue(uint32_t rk) {
    double value = 0;
    if (rk & 0x02) {
        value = static_cast<int32_t>(rk) >> 2;
    } else {
        const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return rk & 0x01 ? value / 100 : value;
}

struct SheetEntry {
    std::size_t bof_at;
    tstring name;
};

struct Globals {
    std::vector<SheetEntry> sheets;
    std::vector<tstring> shared;
};

Globals ReadGlobals(const std::string& stream, const std::vector<Record>& records) {
    Globals globals;
    for (std::size_t i = 0; i < records.size() && records[i].type != kEof; ++i) {
        const Record& record = records[i];
        if (record.type == kBoundSheet) {
            ContinuedReader reader(stream, records, i);
            const uint32_t offset = reader.U32();
            reader.Byte();  // visibility
            const uint8_t kind = reader.Byte();
            const uint8_t characters = reader.Byte();
            const bool wide = reader.Byte() & 0x01;
            std::u16string name;
            for (int c = 0; c < characters; ++c) name.push_back(wide ? reader.U16() : reader.Byte());
            // Only worksheets hold cells; chart and macro sheets are left out.
            if (kind == 0) globals.sheets.push_back({offset, Narrow(name)});
        } else if (record.type == kSst) {
            ContinuedReader reader(stream, records, i);
            reader.U32();  // references
            const uint32_t unique = reader.U32();
            for (uint32_t s = 0; s < unique; ++s) globals.shared.push_back(Narrow(reader.String(true)));
        }
    }
    return globals;
}

class SheetReader {
public:
    SheetReader(const std::string& stream, const std::vector<Record>& records,
                const std::vector<tstring>& shared, SheetData& sheet)
        : m_stream(stream), m_records(records), m_shared(shared), m_sheet(sheet) {}

    // The cells of the sheet whose BOF is records[first], up to its own EOF; charts embedded
    // in it are substreams of their own and left out.
    void Read(std::size_t first) {
        int depth = 0;
        for (std::size_t i = first; i < m_records.size(); ++i) {
            const Record& record = m_records[i];
            if (record.type == kBof) ++depth;
            if (record.type == kEof && --depth == 0) break;
            if (depth == 1) ReadRecord(i);
        }
        for (const detail::MergedRange& merge : m_merged) detail::FillMergedRange(m_sheet, merge);
    }

private:
    uint16_t U16(const Record& record, std::size_t offset) const {
        return LoadLe16(m_stream, record.data + offset);
    }

    void Set(const Record& record, CellValue value) {
        m_sheet.set_cell(U16(record, 0), U16(record, 2), std::move(value));
    }

    void ReadRecord(std::size_t index) {
        const Record& record = m_records[index];
        switch (record.type) {
            case kNumber: return Set(record, CellValue::Number(LoadDouble(m_stream, record.data + 6)));
            case kRk: return Set(record, CellValue::Number(RkValue(LoadLe32(m_stream, record.data + 6)))); 
            case kMulRk: return ReadMulRk(record);
            case kLabelSst: {
                const uint32_t entry = LoadLe32(m_stream, record.data + 6);
                if (entry >= m_shared.size()) Damaged("shared string out of range");
                return Set(record, TextValue(m_shared[entry]));
            }
            case kLabel: {
                ContinuedReader reader(m_stream, m_records, index);
                reader.Skip(6);
                return Set(record, TextValue(Narrow(reader.String(false))));
            }
            case kBoolErr:
                return Set(record, m_stream[record.data + 7] == 0
                                       ? CellValue::Boolean(m_stream[record.data + 6] != 0)
                                       : CellValue::Other());
            case kFormula: return ReadFormula(record);
            case kString: return ReadFormulaString(index);
            case kMergedCells: return ReadMergedCells(record);
            default: return;
        }
    }

    // MULRK: a row, its first column, an xf and RK number per cell, its last column.
    void ReadMulRk(const Record& record) {
        const std::size_t cells = (record.length - 6) / 6;
        const uint16_t row = U16(record, 0), first = U16(record, 2);
        if (U16(record, record.length - 2) != first + cells - 1) Damaged("MULRK columns");
        for (std::size_t c = 0; c < cells; ++c)
            m_sheet.set_cell(row, static_cast<int>(first + c),
                             CellValue::Number(RkValue(LoadLe32(m_stream, record.data + 6 + c * 6))));
    }

    // A formula's cached result: a number, or after 0xFFFF in its last two bytes a text (in the
    // STRING record that follows), a boolean, an error or an empty text.
    void ReadFormula(const Record& record) {
        m_pending_string = false;
        if (U16(record, 12) != 0xFFFF)
            return Set(record, CellValue::Number(LoadDouble(m_stream, record.data + 6)));
        switch (m_stream[record.data + 6]) {
            case 0:
                m_pending_string = true;
                m_pending_row = U16(record, 0);
                m_pending_column = U16(record, 2);
                return;
            case 1: return Set(record, CellValue::Boolean(m_stream[record.data + 8] != 0));
            case 2: return Set(record, CellValue::Other());
            default: return;
        }
    }

    void ReadFormulaString(std::size_t index) {
        if (!m_pending_string) return;
        m_pending_string = false;
        ContinuedReader reader(m_stream, m_records, index);
        m_sheet.set_cell(m_pending_row, m_pending_column, TextValue(Narrow(reader.String(false))));
    }

    // MERGEDCELLS: a count, then per range its first and last row and first and last column.
    void ReadMergedCells(const Record& record) {
        const std::size_t count = U16(record, 0);
        if (2 + count * 8 > record.length) Damaged("MERGEDCELLS count");
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = 2 + i * 8;
            m_merged.push_back({U16(record, at), U16(record, at + 4), U16(record, at + 2),
                                U16(record, at + 6)});
        }
    }

    const std::string& m_stream;
    const std::vector<Record>& m_records;
    const std::vector<tstring>& m_shared;
    SheetData& m_sheet;
    std::vector<detail::MergedRange> m_merged;
    bool m_pending_string = false;
    int m_pending_row = 0, m_pending_column = 0;
};

// The index of the BOF record at `at` in the stream, which a sheet's entry must point to.
std::size_t BofAt(const std::vector<Record>& records, std::size_t at) {
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].at == at && records[i].type == kBof) return i;
    Damaged("sheet entry points to no sheet");
}

}  // namespace

WorkbookData detail::ReadXlsWorkbook(const std::string& bytes) {
    const std::string stream = ReadCompoundStream(bytes, u"Workbook");
    const std::vector<Record> records = SplitRecords(stream);
    const Globals globals = ReadGlobals(stream, records);
    WorkbookData book;
    for (const SheetEntry& entry : globals.sheets) {
        const std::size_t first = BofAt(records, entry.bof_at);
        SheetReader(stream, records, globals.shared, book.emplace_back(entry.name)).Read(first);
    }
    return book;
}
