#pragma once

#include <set>
#include <unordered_map>

#include "store/records.h"

// The attribute columns (tabdatatypeinfo) and lookup values (tabcommondatainfo) in memory.
// The two ordered column lists point into data_info(); every change of data_info() rebuilds
// them, so they never refer to a replaced entry.
class DataTypeDictionary {
public:
    struct ByShowIndex {
        bool operator()(const data_type_info_t* a, const data_type_info_t* b) const {
            return a->ShowIndex < b->ShowIndex;
        }
    };
    using data_info_map = std::unordered_map<tstring, data_type_info_t>;
    using data_value_map = std::unordered_map<tstring, common_value_list_t>;
    using column_list = std::set<const data_type_info_t*, ByShowIndex>;

    DataTypeDictionary() = default;
    DataTypeDictionary(const DataTypeDictionary& other);
    DataTypeDictionary& operator=(const DataTypeDictionary& other);

    const data_info_map& data_info() const { return m_data_info; }
    const data_value_map& data_map() const { return m_data_map; }
    // Data types of category 0 or 1, ascending by ShowIndex, one per ShowIndex.
    const column_list& all_columns() const { return m_all_columns; }
    // Those of all_columns() with a non-zero ShowList.
    const column_list& shown_columns() const { return m_shown_columns; }

    // Null when the name is not a data type.
    const data_type_info_t* find(const tstring& data_type) const;
    bool is_lookup_column(const tstring& data_type) const;
    bool is_read_only(const tstring& data_type) const;

    void set_data_info(const data_info_map& data_info);
    void set_data_map(const data_value_map& data_map);
    void rebuild_lists();
    void set_data_type(const data_type_info_t& record);
    void set_common_value(const tstring& data_type, int32_t value_id, const tstring& value);
    void add_common_value(const tstring& data_type, int32_t value_id, const tstring& value);
    void remove_common_value(const tstring& data_type, int32_t value_id, const tstring& value);

private:
    data_info_map m_data_info;
    data_value_map m_data_map;
    column_list m_all_columns;
    column_list m_shown_columns;
};
