#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The skin package: a header of five big-endian 32-bit words, then the payload.
//   offset 0  magic kSkinPackageMagic
//          4  CRC-32 of the 20 header bytes with this word set to zero
//          8  CRC-32 of the ZIP archive (the payload once untransformed)
//         12  payload length; must equal the package length minus 20
//         16  reserved, 1
//         20  payload: the ZIP archive of the skin folder, transformed (see skin_package.cpp)
// CRC-32 is zlib's. A package of 20 bytes or less, a wrong magic, a header CRC or length that
// does not match, or an archive CRC that does not match is refused.
constexpr uint32_t kSkinPackageMagic = 0x20112705;
constexpr std::size_t kSkinPackageHeaderSize = 20;

std::vector<unsigned char> PackSkinPackage(const std::vector<unsigned char>& archive);

// The archive held in the package, or null after printing the reason to standard output.
// archiveLength is 0 on failure.
std::unique_ptr<unsigned char[]> UnpackSkinPackage(const unsigned char* package, std::size_t length,
                                                   std::size_t& archiveLength);
