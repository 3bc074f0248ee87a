#pragma once
// Record types of BIFF8, the .xls format, shared by the reader and the writer.
#include <cstddef>
#include <cstdint>

namespace biff8 {

// Data bytes one record may carry; longer data goes on in CONTINUE records.
constexpr std::size_t kMaxRecordData = 8224;

enum RecordType : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFont = 0x0031,
    kWindow1 = 0x003D,
    kContinue = 0x003C,
    kCodepage = 0x0042,
    kColInfo = 0x007D,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kXf = 0x00E0,
    kMergedCells = 0x00E5,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kDimensions = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
};

}  // namespace biff8
