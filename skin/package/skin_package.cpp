#include "skin/package/skin_package.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kReservedWord = 1;
constexpr std::size_t kHeaderCrcOffset = 4;

struct SkinHeader {
    uint32_t magic = 0;
    uint32_t headerCrc = 0;
    uint32_t dataCrc = 0;
    uint32_t dataLength = 0;
    uint32_t reserved = 0;
};

uint32_t ReadBigEndian(const unsigned char* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
           uint32_t(bytes[3]);
}

void WriteBigEndian(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

SkinHeader ReadHeader(const unsigned char* bytes) {
    return {ReadBigEndian(bytes), ReadBigEndian(bytes + 4), ReadBigEndian(bytes + 8),
            ReadBigEndian(bytes + 12), ReadBigEndian(bytes + 16)};
}

void WriteHeader(unsigned char* bytes, const SkinHeader& header) {
    const uint32_t words[] = {header.magic, header.headerCrc, header.dataCrc, header.dataLength,
                              header.reserved};
    for (uint32_t word : words) {
        WriteBigEndian(bytes, word);
        bytes += 4;
    }
}

uint32_t Crc32(const unsigned char* bytes, std::size_t length) {
    return static_cast<uint32_t>(crc32_z(crc32_z(0, Z_NULL, 0), bytes, length));
}

uint32_t HeaderCrc(const unsigned char* header) {
    unsigned char zeroed[kSkinPackageHeaderSize];
    std::memcpy(zeroed, header, sizeof zeroed);
    WriteBigEndian(zeroed + kHeaderCrcOffset, 0);
    return Crc32(zeroed, sizeof zeroed);
}

// The payload is the archive with each byte XORed with the low byte of a xorshift32 generator
// (shifts 13, 17, 5; seed 0x4C44534B), stepped once before every byte. Applying it again undoes it.
void TransformSkinPayload(unsigned char* bytes, std::size_t length) {
    uint32_t state = 0x4C44534B;
    for (std::size_t i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] ^= static_cast<unsigned char>(state);
    }
}

void Report(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
}

}  // namespace

std::vector<unsigned char> PackSkinPackage(const std::vector<unsigned char>& archive) {
    std::vector<unsigned char> package(kSkinPackageHeaderSize + archive.size());
    std::copy(archive.begin(), archive.end(), package.begin() + kSkinPackageHeaderSize);
    TransformSkinPayload(package.data() + kSkinPackageHeaderSize, archive.size());
    SkinHeader header;
    header.magic = kSkinPackageMagic;
    header.dataCrc = Crc32(archive.data(), archive.size());
    header.dataLength = static_cast<uint32_t>(archive.size());
    header.reserved = kReservedWord;
    WriteHeader(package.data(), header);
    header.headerCrc = HeaderCrc(package.data());
    WriteHeader(package.data(), header);
    return package;
}

std::unique_ptr<unsigned char[]> UnpackSkinPackage(const unsigned char* package, std::size_t length,
                                                   std::size_t& archiveLength) {
    archiveLength = 0;
    if (!package || length <= kSkinPackageHeaderSize) {
        Report("file too small!\n");
        return nullptr;
    }
    const SkinHeader header = ReadHeader(package);
    if (header.magic != kSkinPackageMagic) {
        Report("Bad Magic Number!\n");
        return nullptr;
    }
    const std::size_t payloadLength = length - kSkinPackageHeaderSize;
    if (HeaderCrc(package) != header.headerCrc || header.dataLength != payloadLength) {
        Report("Bad header crc!\n");
        return nullptr;
    }
    auto archive = std::make_unique<unsigned char[]>(payloadLength);
    std::memcpy(archive.get(), package + kSkinPackageHeaderSize, payloadLength);
    TransformSkinPayload(archive.get(), payloadLength);
    if (Crc32(archive.get(), payloadLength) != header.dataCrc) {
        Report("Bad data crc!");
        return nullptr;
    }
    archiveLength = payloadLength;
    return archive;
}
