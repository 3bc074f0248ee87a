#pragma once
// Little-endian numbers in the bytes of .xls files: read (reading past the end throws) and
// stored over bytes already there.

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

inline void StoreLe16(std::string& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

inline void StoreLe32(std::string& bytes, std::size_t at, uint32_t value) {
    StoreLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
    StoreLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}
