#include "store/data_type_dictionary.h"

#include <algorithm>

DataTypeDictionary::DataTypeDictionary(const DataTypeDictionary& other)
    : m_data_info(other.m_data_info), m_data_map(other.m_data_map) {
    rebuild_lists();
}

DataTypeDictionary& DataTypeDictionary::operator=(const DataTypeDictionary& other) {
    if (this != &other) {
        m_data_info = other.m_data_info;
        m_data_map = other.m_data_map;
        rebuild_lists();
    }
    return *this;
}

const data_type_info_t* DataTypeDictionary::find(const tstring& data_type) const {
    auto it = m_data_info.find(data_type);
    return it == m_data_info.end() ? nullptr : &it->second;
}

bool DataTypeDictionary::is_lookup_column(const tstring& data_type) const {
    const data_type_info_t* info = find(data_type);
    return info && info->Type == kTypeLookup;
}

bool DataTypeDictionary::is_read_only(const tstring& data_type) const {
    const data_type_info_t* info = find(data_type);
    return info && info->ReadOnly == 1;
}

void DataTypeDictionary::set_data_info(const data_info_map& data_info) {
    m_data_info = data_info;
    rebuild_lists();
}

void DataTypeDictionary::set_data_map(const data_value_map& data_map) {
    m_data_map = data_map;
}

void DataTypeDictionary::rebuild_lists() {
    m_all_columns.clear();
    m_shown_columns.clear();
    for (const auto& entry : m_data_info) {
        const data_type_info_t* info = &entry.second;
        if (info->DataTypeCategory != kCategoryCustomer &&
            info->DataTypeCategory != kCategoryVehicle) {
            continue;
        }
        // Of two data types sharing a ShowIndex the byte-wise smaller name is listed, so the
        // choice does not depend on the hash map's order.
        auto [it, inserted] = m_all_columns.insert(info);
        if (!inserted && info->DataType < (*it)->DataType) {
            m_all_columns.erase(it);
            m_all_columns.insert(info);
        }
    }
    for (const data_type_info_t* info : m_all_columns) {
        if (info->ShowList != 0) m_shown_columns.insert(info);
    }
}

void DataTypeDictionary::set_data_type(const data_type_info_t& record) {
    m_data_info[record.DataType] = record;
    rebuild_lists();
}

void DataTypeDictionary::set_common_value(const tstring& data_type, int32_t value_id,
                                          const tstring& value) {
    auto list = m_data_map.find(data_type);
    if (list == m_data_map.end()) return;
    auto entry = std::find_if(list->second.begin(), list->second.end(),
                              [&](const common_value_t& v) { return v.first == value_id; });
    if (entry != list->second.end()) entry->second = value;
}

void DataTypeDictionary::add_common_value(const tstring& data_type, int32_t value_id,
                                          const tstring& value) {
    m_data_map[data_type].emplace_back(value_id, value);
}

void DataTypeDictionary::remove_common_value(const tstring& data_type, int32_t value_id,
                                             const tstring& value) {
    auto list = m_data_map.find(data_type);
    if (list == m_data_map.end()) return;
    const common_value_t doomed(value_id, value);
    list->second.erase(std::remove(list->second.begin(), list->second.end(), doomed),
                       list->second.end());
}
