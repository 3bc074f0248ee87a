#include "store/sql_text.h"

#include <cctype>

namespace sql {

tstring escaped(const tstring& text) {
    tstring out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

tstring literal(const tstring& text) {
    return "'" + escaped(text) + "'";
}

tstring value(const tstring& text) {
    return text.empty() ? tstring("NULL") : literal(text);
}

namespace {

const char kLikeEscape = '\\';

// A GBK character of two bytes: its trail byte may fall in the ASCII range and must never be
// read as a character of its own.
bool is_gbk_pair(const tstring& text, size_t i) {
    if (i + 1 >= text.size()) return false;
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// Calls `single` for every byte that is not part of a GBK pair; pairs are copied as they are.
template <typename Single>
tstring map_single_bytes(const tstring& text, Single single) {
    tstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (is_gbk_pair(text, i)) {
            out.append(text, i, 2);
            ++i;
        } else {
            single(static_cast<unsigned char>(text[i]), out);
        }
    }
    return out;
}

bool is_plain_identifier(const tstring& column) {
    if (column.empty() || std::isdigit(static_cast<unsigned char>(column[0]))) return false;
    bool plain = true;
    map_single_bytes(column, [&plain](unsigned char c, tstring&) {
        if (c >= 0x80 || (!std::isalnum(c) && c != '_')) plain = false;
    });
    return plain;
}

}  // namespace

tstring name(const tstring& column) {
    if (is_plain_identifier(column)) return column;
    tstring out = "\"";
    for (char c : column) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

bool contains_text(const tstring& text, const tstring& part) {
    for (size_t i = 0; i + part.size() <= text.size(); i += is_gbk_pair(text, i) ? 2 : 1) {
        if (text.compare(i, part.size(), part) == 0) return true;
    }
    return false;
}

tstring contains_pattern(const tstring& text) {
    const tstring pattern = map_single_bytes(text, [](unsigned char c, tstring& out) {
        if (c == '%' || c == '_' || c == kLikeEscape) out += kLikeEscape;
        out += static_cast<char>(c);
    });
    return "'%" + escaped(pattern) + "%' ESCAPE '" + kLikeEscape + "'";
}

tstring join(const std::vector<tstring>& items, const char* separator) {
    tstring out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

bool takes_part(const DbConnection& db, Record record, Statement statement, const tstring& column) {
    const bool update = statement == Statement::Update;
    if (update && db.dictionary().is_read_only(column)) return false;
    if (record == Record::Customer) return db.category_of(column) == kCategoryCustomer;
    if (column == "CustomerID") return true;
    if (update && column == "PlateID") return false;
    return db.category_of(column) == kCategoryVehicle;
}

value_map_t entries_taking_part(const DbConnection& db, Record record, Statement statement,
                                const value_map_t& values) {
    value_map_t out;
    for (const auto& entry : values) {
        if (takes_part(db, record, statement, entry.first)) out.insert(entry);
    }
    return out;
}

namespace {

template <typename Format>
tstring join_entries(const value_map_t& entries, const char* separator, Format format) {
    std::vector<tstring> items;
    items.reserve(entries.size());
    for (const auto& entry : entries) items.push_back(format(entry.first, entry.second));
    return join(items, separator);
}

}  // namespace

tstring insert_columns(const value_map_t& entries) {
    return join_entries(entries, ",",
                        [](const tstring& column, const tstring&) { return name(column); });
}

tstring insert_values(const value_map_t& entries) {
    return join_entries(entries, ",",
                        [](const tstring&, const tstring& text) { return value(text); });
}

tstring set_list(const value_map_t& entries) {
    return join_entries(entries, ", ", [](const tstring& column, const tstring& text) {
        return name(column) + " = " + value(text);
    });
}

// An empty text stands for no value; rows written by other tools may hold '' for it, and
// those must match as well, or an unchanged record would be written again.
tstring match_condition(const value_map_t& entries) {
    return join_entries(entries, " and ", [](const tstring& column, const tstring& text) {
        return text.empty() ? "(" + name(column) + " IS NULL or " + name(column) + "='')"
                            : name(column) + "=" + literal(text);
    });
}

}  // namespace sql
