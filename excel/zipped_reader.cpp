// .xlsx, .xlsm and .ods through liborcus' spreadsheet document model.
#include <ixion/address.hpp>
#include <ixion/cell.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/model_context.hpp>
#include <ixion/model_iterator.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>
#include <zip.h>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/sheet.hpp>

#include "excel/workbook_reader.h"
#include "netsqlite/text_codec.h"

namespace {

namespace ss = orcus::spreadsheet;

// The largest sheet .xlsx allows.
constexpr ss::range_size_t kSheetSize{1048576, 16384};

// More unpacked bytes than any workbook the program can hold in memory.
constexpr uint64_t kMaxUnpackedBytes = uint64_t{1} << 30;
// Deflate expands a piece of data at most about 1032-fold.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kDeflateSlack = 1024;

// The zip reader allocates what each entry of the central directory claims before unpacking it,
// so a damaged or hostile 5 KB file could make it take gigabytes. libzip reads the directory
// first, allocating nothing per claim. Refused: a directory it cannot read, a claim no entry can
// honour (packed bytes beyond the file, more unpacked than deflate expands, a stored entry
// grown) and a total over kMaxUnpackedBytes.
void CheckUnpackedSizes(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive && source) zip_source_free(source);
    zip_error_fini(&error);
    if (!archive) throw WorkbookError("zip directory damaged");
    const std::unique_ptr<zip_t, decltype(&zip_discard)> closer(archive, zip_discard);
    uint64_t total = 0;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t entry;
        zip_stat_init(&entry);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &entry) != 0)
            throw WorkbookError("zip directory damaged");
        const uint64_t packed = entry.comp_size;
        const uint64_t most = entry.comp_method == ZIP_CM_STORE
                                  ? packed
                                  : packed * kMaxDeflateRatio + kDeflateSlack;
        total += entry.size;
        if (packed > bytes.size() || entry.size > most || total > kMaxUnpackedBytes)
            throw WorkbookError("zip entry larger than it can unpack to");
    }
}

// The sheet sizes and visibility a file sets are not handed to the document: the import never
// uses them, and liborcus aborts the program on a damaged column or row range in them. A merged
// range goes on when it lies within the sheet.
class MergesOnlyProperties : public ss::iface::import_sheet_properties {
public:
    explicit MergesOnlyProperties(ss::iface::import_sheet_properties* target) : m_target(target) {}
    void set_column_width(ss::col_t, double, orcus::length_unit_t) override {}
    void set_column_hidden(ss::col_t, bool) override {}
    void set_row_height(ss::row_t, double, orcus::length_unit_t) override {}
    void set_row_hidden(ss::row_t, bool) override {}
    void set_merge_cell_range(const ss::range_t& range) override {
        const bool inside = range.first.row >= 0 && range.first.column >= 0 &&
                            range.first.row <= range.last.row &&
                            range.first.column <= range.last.column &&
                            range.last.row < kSheetSize.rows && range.last.column < kSheetSize.columns;
        if (m_target && inside) m_target->set_merge_cell_range(range);
    }

private:
    ss::iface::import_sheet_properties* m_target;
};

// The document's sheet with MergesOnlyProperties in front of its properties.
class GuardedSheet : public ss::iface::import_sheet {
public:
    explicit GuardedSheet(ss::iface::import_sheet& target)
        : m_target(target), m_properties(target.get_sheet_properties()) {}
    ss::iface::import_sheet_properties* get_sheet_properties() override { return &m_properties; }
    ss::iface::import_named_expression* get_named_expression() override {
        return m_target.get_named_expression();
    }
    ss::iface::import_array_formula* get_array_formula() override {
        return m_target.get_array_formula();
    }
    ss::iface::import_formula* get_formula() override { return m_target.get_formula(); }
    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        m_target.set_auto(row, col, s);
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex) override {
        m_target.set_string(row, col, sindex);
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        m_target.set_value(row, col, value);
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        m_target.set_bool(row, col, value);
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour,
                       int minute, double second) override {
        m_target.set_date_time(row, col, year, month, day, hour, minute, second);
    }
    void set_format(ss::row_t row, ss::col_t col, std::size_t xf_index) override {
        m_target.set_format(row, col, xf_index);
    }
    void set_format(ss::row_t row_start, ss::col_t col_start, ss::row_t row_end,
                    ss::col_t col_end, std::size_t xf_index) override {
        m_target.set_format(row_start, col_start, row_end, col_end, xf_index);
    }
    void fill_down_cells(ss::row_t src_row, ss::col_t src_col, ss::row_t range_size) override {
        m_target.fill_down_cells(src_row, src_col, range_size);
    }
    ss::range_size_t get_sheet_size() const override { return m_target.get_sheet_size(); }

private:
    ss::iface::import_sheet& m_target;
    MergesOnlyProperties m_properties;
};

// The document's factory, whose sheets are handed out as GuardedSheet.
class GuardedFactory : public ss::import_factory {
public:
    using ss::import_factory::import_factory;
    ss::iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override {
        return Guarded(ss::import_factory::append_sheet(index, name));
    }
    ss::iface::import_sheet* get_sheet(std::string_view name) override {
        return Guarded(ss::import_factory::get_sheet(name));
    }
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override {
        return Guarded(ss::import_factory::get_sheet(index));
    }

private:
    ss::iface::import_sheet* Guarded(ss::iface::import_sheet* sheet) {
        if (!sheet) return nullptr;
        std::unique_ptr<GuardedSheet>& guarded = m_sheets[sheet];
        if (!guarded) guarded = std::make_unique<GuardedSheet>(*sheet);
        return guarded.get();
    }

    std::map<ss::iface::import_sheet*, std::unique_ptr<GuardedSheet>> m_sheets;
};

std::unique_ptr<orcus::iface::import_filter> FilterFor(const std::string& bytes,
                                                       ss::import_factory& factory) {
    // orcus_xlsx::detect knows only the content type of .xlsx; an .xlsm differs in nothing the
    // reader needs, so every zip that is not .ods goes to the .xlsx reader.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (orcus::orcus_ods::detect(data, bytes.size()))
        return std::make_unique<orcus::orcus_ods>(&factory);
    return std::make_unique<orcus::orcus_xlsx>(&factory);
}

// A formula reads as the result the file stored with it, as Value2 gives it.
CellValue FormulaValue(const ixion::formula_cell& formula) {
    try {
        const ixion::formula_result result =
            formula.get_result_cache(ixion::formula_result_wait_policy_t::throw_exception);
        switch (result.get_type()) {
            case ixion::formula_result::result_type::value:
                return CellValue::Number(result.get_value());
            case ixion::formula_result::result_type::string:
                return CellValue::Text(Utf8ToGbk(result.get_string()));
            default:
                return CellValue::Other();
        }
    } catch (const std::exception&) {
        return CellValue::Other();
    }
}

CellValue ToCellValue(const ixion::model_context& context,
                      const ixion::model_iterator::cell& cell) {
    switch (cell.type) {
        case ixion::celltype_t::numeric:
            return CellValue::Number(std::get<double>(cell.value));
        case ixion::celltype_t::string: {
            const std::string* text = context.get_string(std::get<ixion::string_id_t>(cell.value));
            return text ? CellValue::Text(Utf8ToGbk(*text)) : CellValue::Text({});
        }
        case ixion::celltype_t::formula:
            return FormulaValue(*std::get<const ixion::formula_cell*>(cell.value));
        case ixion::celltype_t::boolean:
            return CellValue::Boolean(std::get<bool>(cell.value));
        default:
            return {};
    }
}

SheetData ReadSheet(const ss::document& document, ss::sheet_t index) {
    SheetData sheet(Utf8ToGbk(std::string(document.get_sheet_name(index))));
    const ixion::abs_range_t range = document.get_sheet(index)->get_data_range();
    if (!range.valid()) return sheet;
    const ixion::model_context& context = document.get_model_context();
    const ss::sheet& source = *document.get_sheet(index);
    std::vector<detail::MergedRange> merged;
    for (ixion::model_iterator it = context.get_model_iterator(
             index, ixion::rc_direction_t::horizontal, ixion::abs_rc_range_t(range));
         it.has(); it.next()) {
        const ixion::model_iterator::cell& cell = it.get();
        CellValue value = ToCellValue(context, cell);
        if (value.kind == CellValue::Kind::Empty) continue;
        sheet.set_cell(cell.row, cell.col, std::move(value));
        // A merged range is known by its first cell.
        const ss::range_t merge = source.get_merge_cell_range(cell.row, cell.col);
        if (merge.first.row == cell.row && merge.first.column == cell.col &&
            (merge.last.row > cell.row || merge.last.column > cell.col))
            merged.push_back({merge.first.row, merge.first.column, merge.last.row, merge.last.column});
    }
    for (const detail::MergedRange& merge : merged) detail::FillMergedRange(sheet, merge);
    return sheet;
}

}  // namespace

WorkbookData detail::ReadZippedWorkbook(const std::string& bytes) {
    CheckUnpackedSizes(bytes);
    try {
        ss::document document(kSheetSize);
        GuardedFactory factory(document);
        factory.set_recalc_formula_cells(false);
        FilterFor(bytes, factory)->read_stream(bytes);
        WorkbookData book;
        for (std::size_t i = 0; i < document.get_sheet_count(); ++i)
            book.push_back(ReadSheet(document, static_cast<ss::sheet_t>(i)));
        return book;
    } catch (const WorkbookError&) {
        throw;
    } catch (const std::exception& error) {
        throw WorkbookError(error.what());
    }
}
