// BIFF8 records, as the .xls format describes them. All numbers are little-endian; every record is
// a 16-bit type, a 16-bit length and at most 8,224 bytes of data. Strings are written as UTF-16
// (codepage 1200), so no text depends on the reader's code page.
#include "excel/biff8_workbook.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "excel/compound_file.h"
#include "excel/little_endian.h"
#include "netsqlite/text_codec.h"

namespace {

constexpr std::size_t kRecordHeaderSize = 4;
constexpr std::size_t kMaxRecordData = 8224;
constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                   kFont = 0x0031, kXf = 0x00E0, kStyle = 0x0293, kBoundSheet = 0x0085,
                   kSst = 0x00FC, kContinue = 0x003C, kDimensions = 0x0200, kWindow2 = 0x023E,
                   kLabelSst = 0x00FD, kNumber = 0x0203;
// Excel expects 15 style formats before the first cell format; every cell uses that one.
constexpr uint16_t kStyleXfCount = 15;
constexpr uint16_t kCellXf = kStyleXfCount;

class Bytes {
public:
    Bytes& u8(uint8_t value) {
        m_data.push_back(static_cast<char>(value));
        return *this;
    }
    Bytes& u16(uint16_t value) { return u8(value & 0xFF).u8(value >> 8); }
    Bytes& u32(uint32_t value) { return u16(value & 0xFFFF).u16(value >> 16); }
    Bytes& f64(double value) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
    }
    Bytes& utf16(const char16_t* units, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) u16(units[i]);
        return *this;
    }
    void clear() { m_data.clear(); }
    const std::string& data() const { return m_data; }
    std::size_t size() const { return m_data.size(); }

private:
    std::string m_data;
};

std::u16string Utf16FromUtf8(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::u16string Utf16FromGbk(const tstring& gbk) {
    return Utf16FromUtf8(GbkToUtf8(gbk));
}

void AppendRecord(std::string& stream, uint16_t type, const Bytes& body) {
    const std::size_t at = stream.size();
    stream.resize(at + kRecordHeaderSize);
    StoreLe16(stream, at, type);
    StoreLe16(stream, at + 2, static_cast<uint16_t>(body.size()));
    stream += body.data();
}

Bytes BofBody(uint16_t substream) {
    Bytes body;
    body.u16(0x0600).u16(substream).u16(0x0DBB).u16(0x07CC).u32(0).u32(0x06);
    return body;
}

void AppendFormats(std::string& stream) {
    Bytes font;
    const std::u16string face = u"Arial";
    font.u16(200).u16(0).u16(0x7FFF).u16(400).u16(0).u8(0).u8(0).u8(0).u8(0);
    font.u8(static_cast<uint8_t>(face.size())).u8(1).utf16(face.data(), face.size());
    // Font index 4 does not exist in BIFF, so five are written to make index 5 and up line up.
    for (int i = 0; i < 5; ++i) AppendRecord(stream, kFont, font);
    for (uint16_t i = 0; i <= kStyleXfCount; ++i) {
        const bool style = i < kStyleXfCount;
        Bytes xf;
        xf.u16(0).u16(0).u16(style ? 0xFFF5 : 0x0001).u8(0x20).u8(0).u8(0).u8(style ? 0xF4 : 0);
        xf.u32(0).u32(0).u16(0x20C0);
        AppendRecord(stream, kXf, xf);
    }
    Bytes normal_style;
    normal_style.u16(0x8000).u8(0).u8(0xFF);
    AppendRecord(stream, kStyle, normal_style);
}

template <class Visit>
void ForEachTextCell(const WorkbookData& book, Visit&& visit) {
    for (const SheetData& sheet : book)
        for (const auto& [row, cells] : sheet.rows())
            for (const auto& [column, value] : cells)
                if (value.kind == CellValue::Kind::Text) visit(value.text);
}

// The shared string table: every distinct text of the book once, numbered in order of first use.
// It refers to the texts in the book, which outlives it, and keeps each text cell's number in
// the order the sheets are written, so a cell needs no second look-up.
class StringTable {
public:
    explicit StringTable(const WorkbookData& book) {
        std::size_t cells = 0;
        ForEachTextCell(book, [&](const tstring&) { ++cells; });
        m_index.reserve(cells);
        m_cell_numbers.reserve(cells);
        ForEachTextCell(book, [&](const tstring& text) {
            const auto [it, added] = m_index.try_emplace(text, static_cast<uint32_t>(m_texts.size()));
            if (added) m_texts.push_back(text);
            m_cell_numbers.push_back(it->second);
        });
    }

    // The number of the next text cell, taken in the order of the book's cells.
    uint32_t NextCellNumber() { return m_cell_numbers[m_next_cell++]; }

    // SST and its CONTINUE records. A string's 3-byte header never splits; its characters may,
    // and the continuing record then starts with the option byte again.
    void Append(std::string& stream) const {
        Bytes record;
        uint16_t type = kSst;
        record.u32(static_cast<uint32_t>(m_cell_numbers.size()))
            .u32(static_cast<uint32_t>(m_texts.size()));
        auto flush = [&]() {
            AppendRecord(stream, type, record);
            record.clear();
            type = kContinue;
        };
        for (const std::string_view text : m_texts) {
            const std::u16string units = Utf16FromGbk(tstring(text));
            if (record.size() + 3 > kMaxRecordData) flush();
            record.u16(static_cast<uint16_t>(units.size())).u8(1);
            std::size_t done = 0;
            while (done < units.size()) {
                if (record.size() + 2 > kMaxRecordData) {
                    flush();
                    record.u8(1);
                }
                const std::size_t fits = (kMaxRecordData - record.size()) / 2;
                const std::size_t count = std::min(fits, units.size() - done);
                record.utf16(units.data() + done, count);
                done += count;
            }
        }
        flush();
    }

private:
    std::vector<std::string_view> m_texts;
    std::unordered_map<std::string_view, uint32_t> m_index;
    std::vector<uint32_t> m_cell_numbers;
    std::size_t m_next_cell = 0;
};

void CheckAddress(int row, int column) {
    if (row >= kBiff8MaxRows || column >= kBiff8MaxColumns)
        throw WorkbookError("cell beyond the size of an .xls sheet");
}

void AppendSheet(std::string& stream, const SheetData& sheet, bool selected, StringTable& strings) {
    AppendRecord(stream, kBof, BofBody(0x0010));
    Bytes dimensions;
    const bool empty = sheet.rows().empty();
    dimensions.u32(empty ? 0 : sheet.first_used_row()).u32(empty ? 0 : sheet.last_used_row() + 1);
    dimensions.u16(empty ? 0 : sheet.first_used_column());
    dimensions.u16(empty ? 0 : sheet.last_used_column() + 1).u16(0);
    AppendRecord(stream, kDimensions, dimensions);
    Bytes cell;
    for (const auto& [row, cells] : sheet.rows()) {
        for (const auto& [column, value] : cells) {
            CheckAddress(row, column);
            cell.clear();
            cell.u16(static_cast<uint16_t>(row)).u16(static_cast<uint16_t>(column)).u16(kCellXf);
            if (value.kind == CellValue::Kind::Text) {
                cell.u32(strings.NextCellNumber());
                AppendRecord(stream, kLabelSst, cell);
            } else if (value.kind == CellValue::Kind::Number) {
                cell.f64(value.number);
                AppendRecord(stream, kNumber, cell);
            }
        }
    }
    Bytes window2;
    window2.u16(selected ? 0x06B6 : 0x00B6).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0);
    AppendRecord(stream, kWindow2, window2);
    AppendRecord(stream, kEof, Bytes());
}

// The globals: the sheet list, whose offsets are filled in as the sheets follow (their places
// are returned), and the string table.
std::vector<std::size_t> AppendGlobals(std::string& stream, const WorkbookData& book,
                                       const StringTable& strings) {
    AppendRecord(stream, kBof, BofBody(0x0005));
    AppendRecord(stream, kCodepage, Bytes().u16(1200));
    Bytes window1;
    window1.u16(0).u16(0).u16(0x4000).u16(0x2000).u16(0x38).u16(0).u16(0).u16(1).u16(0x258);
    AppendRecord(stream, kWindow1, window1);
    AppendFormats(stream);
    std::vector<std::size_t> offset_places;
    for (const SheetData& sheet_data : book) {
        const std::u16string name = Utf16FromGbk(sheet_data.name());
        Bytes sheet;
        sheet.u32(0).u8(0).u8(0).u8(static_cast<uint8_t>(name.size())).u8(1).utf16(name.data(), name.size());
        offset_places.push_back(stream.size() + kRecordHeaderSize);
        AppendRecord(stream, kBoundSheet, sheet);
    }
    strings.Append(stream);
    AppendRecord(stream, kEof, Bytes());
    return offset_places;
}

}  // namespace

std::string BuildBiff8WorkbookStream(const WorkbookData& book) {
    StringTable strings(book);
    std::string stream;
    const std::vector<std::size_t> offset_places = AppendGlobals(stream, book, strings);
    for (std::size_t i = 0; i < book.size(); ++i) {
        StoreLe32(stream, offset_places[i], static_cast<uint32_t>(stream.size()));
        AppendSheet(stream, book[i], i == 0, strings);
    }
    return stream;
}

std::string BuildXlsFile(const WorkbookData& book) {
    return BuildCompoundFile(u"Workbook", BuildBiff8WorkbookStream(book));
}
