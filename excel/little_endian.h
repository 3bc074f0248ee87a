#pragma once
// Little-endian numbers read from the bytes of .xls files; reading past the end throws.

#include <cstdint>
#include <string>

#include "excel/workbook_data.h"

inline uint16_t LoadLe16(const std::string& bytes, std::size_t at) {
    if (at + 2 > bytes.size()) throw WorkbookError("workbook file cut short");
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline uint32_t LoadLe32(const std::string& bytes, std::size_t at) {
    return LoadLe16(bytes, at) | static_cast<uint32_t>(LoadLe16(bytes, at + 2)) << 16;
}
