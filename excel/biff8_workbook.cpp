// BIFF8 records, as the .xls format describes them. All numbers are little-endian; every record is
// a 16-bit type, a 16-bit length and at most 8,224 bytes of data. Strings are written as UTF-16
// (codepage 1200), so no text depends on the reader's code page.
#include "excel/biff8_workbook.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "excel/biff8_records.h"
#include "excel/compound_file.h"
#include "excel/little_endian.h"
#include "netsqlite/text_codec.h"

namespace {

constexpr std::size_t kRecordHeaderSize = 4;
using namespace biff8;

// Excel expects 15 style formats before the first cell format. Text and numbers use the first
// cell format; dates, and dates with a time, one each with their number format.
constexpr uint16_t kStyleXfCount = 15;
constexpr uint16_t kCellXf = kStyleXfCount;
constexpr uint16_t kDateXf = kCellXf + 1, kDateTimeXf = kCellXf + 2;
// Number formats from 164 on are the workbook's own.
constexpr uint16_t kDateFormat = 164, kDateTimeFormat = 165;
constexpr const char16_t* kDatePattern = u"yyyy-mm-dd";
constexpr const char16_t* kDateTimePattern = u"yyyy-mm-dd hh:mm:ss";

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
    // Codes, phones and dates are plain ASCII, the same in every encoding.
    const bool ascii = std::all_of(gbk.begin(), gbk.end(), [](char c) { return (c & 0x80) == 0; });
    return ascii ? std::u16string(gbk.begin(), gbk.end()) : Utf16FromUtf8(GbkToUtf8(gbk));
}

std::string RecordHeader(uint16_t type, std::size_t data_size) {
    std::string header(kRecordHeaderSize, '\0');
    StoreLe16(header, 0, type);
    StoreLe16(header, 2, static_cast<uint16_t>(data_size));
    return header;
}

void AppendRecord(std::string& stream, uint16_t type, const Bytes& body) {
    stream += RecordHeader(type, body.size());
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
    for (const auto& [index, pattern] : {std::make_pair(kDateFormat, kDatePattern),
                                         std::make_pair(kDateTimeFormat, kDateTimePattern)}) {
        const std::u16string text = pattern;
        Bytes format;
        format.u16(index).u16(static_cast<uint16_t>(text.size())).u8(1).utf16(text.data(), text.size());
        AppendRecord(stream, kFormat, format);
    }
    for (uint16_t i = 0; i <= kDateTimeXf; ++i) {
        const bool style = i < kStyleXfCount;
        const uint16_t number_format = i == kDateXf ? kDateFormat : i == kDateTimeXf ? kDateTimeFormat : 0;
        // A cell format names the attributes it sets itself: here only the number format.
        const uint8_t own = style ? 0xF4 : number_format ? 0x04 : 0;
        Bytes xf;
        xf.u16(0).u16(number_format).u16(style ? 0xFFF5 : 0x0001).u8(0x20).u8(0).u8(0).u8(own);
        xf.u32(0).u32(0).u16(0x20C0);
        AppendRecord(stream, kXf, xf);
    }
    Bytes normal_style;
    normal_style.u16(0x8000).u8(0).u8(0xFF);
    AppendRecord(stream, kStyle, normal_style);
}

// Texts shared while fewer than this many are; the rest get an entry each.
constexpr std::size_t kSharedTextLimit = 4096;
// The longest text a cell holds in Excel; a string's length field would overflow past 65,535.
constexpr std::size_t kMaxCellTextUnits = 32767;

void CheckAddress(int row, int column) {
    if (row < 0 || column < 0 || row >= kBiff8MaxRows || column >= kBiff8MaxColumns)
        throw WorkbookError("cell beyond the size of an .xls sheet");
}

// Column widths count 1/256 of a character; Excel allows at most 255 characters.
constexpr int kMinColumnChars = 8, kMaxColumnChars = 255;

// BOF, the column widths and DIMENSIONS of a sheet, whose used range runs to one past its last
// row and column.
std::string SheetHead(int first_row, int last_row, int first_column, int last_column,
                      const std::map<int, int>& widths) {
    std::string head;
    AppendRecord(head, kBof, BofBody(0x0010));
    for (const auto& [column, chars] : widths) {
        const int shown = std::clamp(chars + 2, kMinColumnChars, kMaxColumnChars);
        Bytes info;
        info.u16(static_cast<uint16_t>(column)).u16(static_cast<uint16_t>(column));
        info.u16(static_cast<uint16_t>(shown * 256)).u16(kCellXf).u16(0).u16(0);
        AppendRecord(head, kColInfo, info);
    }
    const bool empty = last_row < 0;
    Bytes dimensions;
    dimensions.u32(empty ? 0 : first_row).u32(empty ? 0 : last_row + 1);
    dimensions.u16(empty ? 0 : first_column).u16(empty ? 0 : last_column + 1).u16(0);
    AppendRecord(head, kDimensions, dimensions);
    return head;
}

std::string SheetTail(bool selected) {
    std::string tail;
    Bytes window2;
    window2.u16(selected ? 0x06B6 : 0x00B6).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0);
    AppendRecord(tail, kWindow2, window2);
    AppendRecord(tail, kEof, Bytes());
    return tail;
}

// The globals before the string table: formats and the sheet list, whose offsets are filled in
// once the sheets' places are known (the places of those offsets are returned).
std::string GlobalsHead(const std::vector<tstring>& sheet_names,
                        std::vector<std::size_t>& offset_places) {
    std::string stream;
    AppendRecord(stream, kBof, BofBody(0x0005));
    AppendRecord(stream, kCodepage, Bytes().u16(1200));
    Bytes window1;
    window1.u16(0).u16(0).u16(0x4000).u16(0x2000).u16(0x38).u16(0).u16(0).u16(1).u16(0x258);
    AppendRecord(stream, kWindow1, window1);
    AppendFormats(stream);
    for (const tstring& sheet_name : sheet_names) {
        const std::u16string name = Utf16FromGbk(sheet_name);
        Bytes sheet;
        sheet.u32(0).u8(0).u8(0).u8(static_cast<uint8_t>(name.size())).u8(1).utf16(name.data(), name.size());
        offset_places.push_back(stream.size() + kRecordHeaderSize);
        AppendRecord(stream, kBoundSheet, sheet);
    }
    return stream;
}

// Writes the file beside `path`, then renames it over `path`.
void WriteFileReplacing(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw WorkbookError("cannot create a file beside " + path);
    // mkstemp makes the file private; the workbook gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    try {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        write(out);
        out.close();
        if (!out || std::rename(temp.c_str(), path.c_str()) != 0)
            throw WorkbookError("cannot write " + path);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

}  // namespace

SpoolFile::SpoolFile() : m_file(std::tmpfile(), &std::fclose) {
    if (!m_file) throw WorkbookError("cannot create a temporary file");
}

// Cells come a few bytes at a time: they are gathered and written in chunks, as a call of fwrite
// for each took a sixth of the time an export spent writing.
void SpoolFile::Append(std::string_view bytes) {
    m_pending += bytes;
    m_size += bytes.size();
    if (m_pending.size() >= kChunk) Flush();
}

void SpoolFile::Flush() {
    if (std::fwrite(m_pending.data(), 1, m_pending.size(), m_file.get()) != m_pending.size())
        throw WorkbookError("cannot write a temporary file");
    m_pending.clear();
}

void SpoolFile::CopyTo(std::ostream& out, std::size_t from, std::size_t to) {
    std::FILE* file = m_file.get();
    Flush();
    if (std::fflush(file) != 0 || std::fseek(file, static_cast<long>(from), SEEK_SET) != 0)
        throw WorkbookError("cannot read a temporary file");
    char buffer[64 * 1024];
    for (std::size_t left = to - from; left > 0;) {
        const std::size_t read = std::fread(buffer, 1, std::min(left, sizeof buffer), file);
        if (read == 0) throw WorkbookError("cannot read a temporary file");
        out.write(buffer, static_cast<std::streamsize>(read));
        left -= read;
    }
    if (std::fseek(file, 0, SEEK_END) != 0) throw WorkbookError("cannot read a temporary file");
}

Biff8StringTable::Biff8StringTable() : m_record(8, '\0') {}

uint32_t Biff8StringTable::Add(const tstring& text) {
    const auto shared = m_shared.find(text);
    if (shared != m_shared.end()) {
        ++m_cells;
        return shared->second;
    }
    const std::u16string units = Utf16FromGbk(text);
    if (units.size() > kMaxCellTextUnits) throw WorkbookError("text longer than an .xls cell holds");
    ++m_cells;
    const uint32_t entry = m_entries++;
    if (m_shared.size() < kSharedTextLimit) m_shared.emplace(text, entry);
    AppendUnits(units);
    return entry;
}

// A string's 3-byte header never splits; its characters may, and the continuing record then
// starts with the option byte again.
void Biff8StringTable::AppendUnits(const std::u16string& units) {
    Bytes bytes;
    if (m_record.size() + 3 > kMaxRecordData) FlushRecord();
    m_record += bytes.u16(static_cast<uint16_t>(units.size())).u8(1).data();
    for (std::size_t done = 0; done < units.size();) {
        if (m_record.size() + 2 > kMaxRecordData) {
            FlushRecord();
            m_record += '\1';
        }
        const std::size_t count = std::min((kMaxRecordData - m_record.size()) / 2, units.size() - done);
        bytes.clear();
        m_record += bytes.utf16(units.data() + done, count).data();
        done += count;
    }
}

void Biff8StringTable::FlushRecord() {
    m_records.Append(RecordHeader(m_records.size() == 0 ? kSst : kContinue, m_record.size()) + m_record);
    m_record.clear();
}

std::size_t Biff8StringTable::size() const {
    return m_records.size() + kRecordHeaderSize + m_record.size();
}

// The counts, known only now, replace the first record's placeholders.
void Biff8StringTable::WriteTo(std::ostream& out) {
    const std::string counts = Bytes().u32(m_cells).u32(m_entries).data();
    if (m_records.size() == 0) {
        out << RecordHeader(kSst, m_record.size()) << counts << m_record.substr(counts.size());
        return;
    }
    m_records.CopyTo(out, 0, kRecordHeaderSize);
    out << counts;
    m_records.CopyTo(out, kRecordHeaderSize + counts.size(), m_records.size());
    out << RecordHeader(kContinue, m_record.size()) << m_record;
}

void Biff8BookWriter::AddSheet(const tstring& name) {
    Sheet sheet;
    sheet.name = name;
    sheet.cells_from = m_cells.size();
    m_sheets.push_back(sheet);
}

// A GBK text takes about as many character widths as it has bytes: a Chinese character two.
void Biff8BookWriter::SetText(int row, int column, const tstring& text) {
    CheckNextCell(row, column);
    if (text.empty()) return;
    AppendCell(row, column, kLabelSst, kCellXf, Bytes().u32(m_strings.Add(text)).data());
    Widen(column, static_cast<int>(text.size()));
}

void Biff8BookWriter::SetNumber(int row, int column, double value) {
    CheckNextCell(row, column);
    AppendCell(row, column, kNumber, kCellXf, Bytes().f64(value).data());
    char shown[32];
    Widen(column, std::snprintf(shown, sizeof shown, "%.15g", value));
}

void Biff8BookWriter::SetDate(int row, int column, double serial, bool with_time) {
    CheckNextCell(row, column);
    AppendCell(row, column, kNumber, with_time ? kDateTimeXf : kDateXf, Bytes().f64(serial).data());
    Widen(column, static_cast<int>(std::char_traits<char16_t>::length(with_time ? kDateTimePattern
                                                                                : kDatePattern)));
}

void Biff8BookWriter::Widen(int column, int chars) {
    int& width = m_sheets.back().widths[column];
    width = std::max(width, chars);
}

void Biff8BookWriter::CheckNextCell(int row, int column) const {
    if (m_sheets.empty()) throw WorkbookError("no sheet to write to");
    CheckAddress(row, column);
    const Sheet& sheet = m_sheets.back();
    if (row < sheet.last_row || (row == sheet.last_row && column <= sheet.last_written_column))
        throw WorkbookError("cells of a sheet are written in order");
}

void Biff8BookWriter::AppendCell(int row, int column, uint16_t type, uint16_t xf,
                                 const std::string& value) {
    Sheet& sheet = m_sheets.back();
    constexpr std::size_t kCellHead = 6;
    char head[kRecordHeaderSize + kCellHead];
    const uint16_t fields[] = {type, static_cast<uint16_t>(kCellHead + value.size()),
                               static_cast<uint16_t>(row), static_cast<uint16_t>(column), xf};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        head[2 * i] = static_cast<char>(fields[i] & 0xFF);
        head[2 * i + 1] = static_cast<char>(fields[i] >> 8);
    }
    m_cells.Append(std::string_view(head, sizeof head));
    m_cells.Append(value);
    if (sheet.first_row < 0) sheet.first_row = row;
    sheet.last_row = row;
    sheet.last_written_column = column;
    sheet.first_column = sheet.first_column < 0 ? column : std::min(sheet.first_column, column);
    sheet.last_column = std::max(sheet.last_column, column);
}

void Biff8BookWriter::SaveAs(const tstring& path) {
    WriteFileReplacing(GbkToUtf8(path), [&](std::ostream& out) { WriteTo(out); });
}

// The stream's parts are sized first, so that the sheet list can say where each sheet starts
// and the container where the stream ends, before any of it is written.
void Biff8BookWriter::WriteTo(std::ostream& out) {
    std::vector<tstring> names;
    for (const Sheet& sheet : m_sheets) names.push_back(sheet.name);
    std::vector<std::size_t> offset_places;
    std::string globals = GlobalsHead(names, offset_places);
    std::string globals_end;
    AppendRecord(globals_end, kEof, Bytes());
    std::vector<std::string> heads, tails;
    std::vector<std::size_t> cell_ends;
    std::size_t offset = globals.size() + m_strings.size() + globals_end.size();
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        const Sheet& sheet = m_sheets[i];
        heads.push_back(SheetHead(sheet.first_row, sheet.last_row, sheet.first_column,
                                  sheet.last_column, sheet.widths));
        tails.push_back(SheetTail(i == 0));
        cell_ends.push_back(i + 1 < m_sheets.size() ? m_sheets[i + 1].cells_from : m_cells.size());
        StoreLe32(globals, offset_places[i], static_cast<uint32_t>(offset));
        offset += heads[i].size() + cell_ends[i] - sheet.cells_from + tails[i].size();
    }
    WriteCompoundFile(out, u"Workbook", offset, [&](std::ostream& stream) {
        stream << globals;
        m_strings.WriteTo(stream);
        stream << globals_end;
        for (std::size_t i = 0; i < m_sheets.size(); ++i) {
            stream << heads[i];
            m_cells.CopyTo(stream, m_sheets[i].cells_from, cell_ends[i]);
            stream << tails[i];
        }
    });
}

void SaveXlsFile(const WorkbookData& book, const tstring& path) {
    Biff8BookWriter writer;
    for (const SheetData& sheet : book) {
        writer.AddSheet(sheet.name());
        for (const auto& [row, cells] : sheet.rows())
            for (const auto& [column, value] : cells) {
                if (value.kind == CellValue::Kind::Text)
                    writer.SetText(row, column, value.text);
                else if (value.kind == CellValue::Kind::Number)
                    writer.SetNumber(row, column, value.number);
            }
    }
    writer.SaveAs(path);
}
