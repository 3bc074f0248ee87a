#include "excel/compound_file.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "excel/little_endian.h"
#include "excel/workbook_data.h"

namespace {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kIdsPerSector = kSectorSize / 4;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

std::size_t SectorsFor(std::size_t bytes) {
    return (bytes + kSectorSize - 1) / kSectorSize;
}

// Where each part of the file goes, in sectors: the stream first, then the FAT, the DIFAT
// (only when the FAT outgrows the header's 109 slots) and the one directory sector.
struct Layout {
    std::size_t stream_sectors = 0;
    std::size_t fat_sectors = 0;
    std::size_t difat_sectors = 0;

    std::size_t fat_start() const { return stream_sectors; }
    std::size_t difat_start() const { return fat_start() + fat_sectors; }
    std::size_t directory_sector() const { return difat_start() + difat_sectors; }
    std::size_t total() const { return directory_sector() + 1; }
};

Layout PlanLayout(std::size_t stream_bytes) {
    Layout layout;
    layout.stream_sectors = SectorsFor(stream_bytes);
    for (layout.fat_sectors = 1;; ++layout.fat_sectors) {
        const std::size_t beyond_header =
            layout.fat_sectors > kHeaderFatSlots ? layout.fat_sectors - kHeaderFatSlots : 0;
        layout.difat_sectors = (beyond_header + kIdsPerSector - 2) / (kIdsPerSector - 1);
        if (layout.fat_sectors * kIdsPerSector >= layout.total()) return layout;
    }
}

std::vector<uint32_t> BuildFat(const Layout& layout) {
    std::vector<uint32_t> fat(layout.fat_sectors * kIdsPerSector, kFreeSector);
    for (std::size_t i = 0; i < layout.stream_sectors; ++i)
        fat[i] = i + 1 == layout.stream_sectors ? kEndOfChain : static_cast<uint32_t>(i + 1);
    for (std::size_t i = 0; i < layout.fat_sectors; ++i) fat[layout.fat_start() + i] = kFatSector;
    for (std::size_t i = 0; i < layout.difat_sectors; ++i)
        fat[layout.difat_start() + i] = kDifatSector;
    fat[layout.directory_sector()] = kEndOfChain;
    return fat;
}

std::string BuildHeader(const Layout& layout) {
    std::string header(kSectorSize, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    StoreLe16(header, 24, 0x003E);  // minor version
    StoreLe16(header, 26, 0x0003);  // major version 3: 512-byte sectors
    StoreLe16(header, 28, 0xFFFE);  // little-endian
    StoreLe16(header, 30, 9);       // sector size 2^9
    StoreLe16(header, 32, 6);       // mini sector size 2^6
    StoreLe32(header, 44, static_cast<uint32_t>(layout.fat_sectors));
    StoreLe32(header, 48, static_cast<uint32_t>(layout.directory_sector()));
    StoreLe32(header, 56, kMiniStreamCutoff);
    StoreLe32(header, 60, kEndOfChain);  // no mini FAT
    StoreLe32(header, 68,
          layout.difat_sectors ? static_cast<uint32_t>(layout.difat_start()) : kEndOfChain);
    StoreLe32(header, 72, static_cast<uint32_t>(layout.difat_sectors));
    for (std::size_t i = 0; i < kHeaderFatSlots; ++i)
        StoreLe32(header, 76 + 4 * i,
              i < layout.fat_sectors ? static_cast<uint32_t>(layout.fat_start() + i) : kFreeSector);
    return header;
}

// The FAT sector numbers past the header's 109, 127 to a sector, each sector ending with the
// number of the next one.
std::string BuildDifat(const Layout& layout) {
    std::string difat(layout.difat_sectors * kSectorSize, '\0');
    std::size_t fat_index = kHeaderFatSlots;
    for (std::size_t sector = 0; sector < layout.difat_sectors; ++sector) {
        const std::size_t base = sector * kSectorSize;
        for (std::size_t slot = 0; slot + 1 < kIdsPerSector; ++slot, ++fat_index)
            StoreLe32(difat, base + 4 * slot,
                  fat_index < layout.fat_sectors
                      ? static_cast<uint32_t>(layout.fat_start() + fat_index)
                      : kFreeSector);
        const bool last = sector + 1 == layout.difat_sectors;
        StoreLe32(difat, base + kSectorSize - 4,
              last ? kEndOfChain : static_cast<uint32_t>(layout.difat_start() + sector + 1));
    }
    return difat;
}

void PutDirectoryEntry(std::string& out, std::size_t at, const std::u16string& name, uint8_t type,
                       uint32_t child, uint32_t start, uint32_t size) {
    for (std::size_t i = 0; i < name.size(); ++i) StoreLe16(out, at + 2 * i, name[i]);
    StoreLe16(out, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    out[at + 66] = static_cast<char>(type);
    out[at + 67] = 1;  // black: a one-entry tree needs no balancing
    StoreLe32(out, at + 68, kNoStream);
    StoreLe32(out, at + 72, kNoStream);
    StoreLe32(out, at + 76, child);
    StoreLe32(out, at + 116, start);
    StoreLe32(out, at + 120, size);
}

std::string BuildDirectory(const std::u16string& stream_name, std::size_t stream_bytes) {
    std::string directory(kSectorSize, '\0');
    PutDirectoryEntry(directory, 0, u"Root Entry", 5, 1, kEndOfChain, 0);
    PutDirectoryEntry(directory, kDirectoryEntrySize, stream_name, 2, kNoStream, 0,
                      static_cast<uint32_t>(stream_bytes));
    for (std::size_t entry = 2; entry < kSectorSize / kDirectoryEntrySize; ++entry)
        for (std::size_t link = 68; link <= 76; link += 4)
            StoreLe32(directory, entry * kDirectoryEntrySize + link, kNoStream);
    return directory;
}

}  // namespace

void WriteCompoundFile(std::ostream& out, const std::u16string& stream_name,
                       std::size_t stream_bytes,
                       const std::function<void(std::ostream&)>& write_stream) {
    const std::size_t stored_bytes = std::max(stream_bytes, kMiniStreamCutoff);
    const Layout layout = PlanLayout(stored_bytes);
    out << BuildHeader(layout);
    const std::streampos stream_start = out.tellp();
    write_stream(out);
    // A stream of another length than its directory entry says would be a broken file.
    if (out.tellp() - stream_start != static_cast<std::streamoff>(stream_bytes))
        throw WorkbookError("workbook stream of an unexpected length");
    out << std::string(kSectorSize * layout.stream_sectors - stream_bytes, '\0');
    std::string fat(layout.fat_sectors * kSectorSize, '\0');
    const std::vector<uint32_t> ids = BuildFat(layout);
    for (std::size_t i = 0; i < ids.size(); ++i) StoreLe32(fat, 4 * i, ids[i]);
    out << fat << BuildDifat(layout) << BuildDirectory(stream_name, stored_bytes);
}

namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kMiniSectorSize = 64;

[[noreturn]] void Damaged(const char* what) {
    throw WorkbookError(WorkbookFault::Damaged, std::string("compound document: ") + what);
}

std::size_t UnitsFor(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit;
}

// The sector ids of one chain of `table`. Refused: a link out of the table (a free sector or a
// marker inside the chain), a loop or a sector another chain already holds (`taken`), and a
// chain of another length than its stream needs.
std::vector<uint32_t> ChainIds(uint32_t start, const std::vector<uint32_t>& table,
                               std::vector<bool>& taken, std::optional<std::size_t> needed) {
    std::vector<uint32_t> ids;
    for (uint32_t id = start; id != kEndOfChain; id = table[id]) {
        if (id >= table.size() || taken[id]) Damaged("broken sector chain");
        taken[id] = true;
        ids.push_back(id);
    }
    if (needed && ids.size() != *needed) Damaged("chain and stream size disagree");
    return ids;
}

// The file's container checked as far as the named stream needs it: the FAT (sectors in the
// file, each FAT and DIFAT sector once), and every chain read to reach the stream.
class CompoundReader {
public:
    explicit CompoundReader(const std::string& file) : m_file(file) {
        if (file.size() < kHeaderSize ||
            file.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") != 0)
            throw WorkbookError(WorkbookFault::NotAWorkbook, "not a compound document");
        const unsigned shift = LoadLe16(m_file, 30);
        if (shift != 9 && shift != 12) Damaged("sector size");
        m_sector_size = std::size_t{1} << shift;
        ReadFat();
    }

    std::string Stream(const std::u16string& name) {
        const std::string directory = Read(ChainIds(Get32(48), m_fat, m_taken, std::nullopt));
        for (std::size_t at = 0; at + kDirectoryEntrySize <= directory.size();
             at += kDirectoryEntrySize) {
            if (directory[at + 66] != 2 || EntryName(directory, at) != name) continue;
            const uint32_t start = LoadLe32(directory, at + 116);
            const uint32_t size = LoadLe32(directory, at + 120);
            std::string stream = size < Get32(56) ? MiniStream(directory, start, size)
                                                  : Read(ChainIds(start, m_fat, m_taken,
                                                                  UnitsFor(size, m_sector_size)));
            stream.resize(size);
            return stream;
        }
        throw WorkbookError(WorkbookFault::NotAWorkbook, "compound document: no workbook stream");
    }

private:
    uint32_t Get32(std::size_t at) const { return LoadLe32(m_file, at); }

    static std::u16string EntryName(const std::string& directory, std::size_t at) {
        const std::size_t units = std::min<std::size_t>(LoadLe16(directory, at + 64), 64) / 2;
        std::u16string name;
        for (std::size_t i = 0; i + 1 < units; ++i)
            name.push_back(static_cast<char16_t>(LoadLe16(directory, at + 2 * i)));
        return name;
    }

    std::size_t SectorsInFile() const {
        return m_file.size() <= m_sector_size ? 0 : UnitsFor(m_file.size() - m_sector_size, m_sector_size);
    }

    std::string Sector(uint32_t id) const {
        // The header fills sector -1, whatever the sector size.
        if (id >= SectorsInFile()) Damaged("sector beyond the file");
        std::string sector = m_file.substr((static_cast<std::size_t>(id) + 1) * m_sector_size,
                                           m_sector_size);
        sector.resize(m_sector_size, '\0');
        return sector;
    }

    std::string Read(const std::vector<uint32_t>& ids) const {
        std::string data;
        data.reserve(ids.size() * m_sector_size);
        for (uint32_t id : ids) data += Sector(id);
        return data;
    }

    void ReadFat() {
        std::vector<uint32_t> fat_sectors;
        for (std::size_t i = 0; i < kHeaderFatSlots; ++i) fat_sectors.push_back(Get32(76 + 4 * i));
        std::vector<uint32_t> difat_sectors;
        if (Get32(72) > SectorsInFile()) Damaged("DIFAT sector count");
        for (uint32_t difat = Get32(68); difat_sectors.size() < Get32(72);) {
            difat_sectors.push_back(difat);
            const std::string sector = Sector(difat);
            const std::size_t ids = m_sector_size / 4;
            for (std::size_t i = 0; i + 1 < ids; ++i) fat_sectors.push_back(LoadLe32(sector, 4 * i));
            difat = LoadLe32(sector, m_sector_size - 4);
        }
        fat_sectors.erase(std::remove_if(fat_sectors.begin(), fat_sectors.end(),
                                         [](uint32_t id) { return id >= kDifatSector; }),
                          fat_sectors.end());
        if (fat_sectors.size() != Get32(44)) Damaged("FAT sector count");
        for (uint32_t id : fat_sectors) {
            const std::string sector = Sector(id);
            for (std::size_t i = 0; i < m_sector_size; i += 4) m_fat.push_back(LoadLe32(sector, i));
        }
        m_taken.assign(m_fat.size(), false);
        for (const auto* ids : {&fat_sectors, &difat_sectors})
            for (uint32_t id : *ids) {
                if (id >= m_taken.size() || m_taken[id]) Damaged("FAT sector twice or outside");
                m_taken[id] = true;
            }
    }

    // Mini sectors live in the root entry's stream, the mini FAT in a chain of its own.
    std::string MiniStream(const std::string& directory, uint32_t start, uint32_t size) {
        const uint32_t container_size = LoadLe32(directory, 120);
        const std::string container = Read(ChainIds(LoadLe32(directory, 116), m_fat, m_taken,
                                                     UnitsFor(container_size, m_sector_size)));
        const std::string mini_fat_bytes =
            Read(ChainIds(Get32(60), m_fat, m_taken, std::size_t{Get32(64)}));
        std::vector<uint32_t> mini_fat;
        for (std::size_t i = 0; i + 4 <= mini_fat_bytes.size(); i += 4)
            mini_fat.push_back(LoadLe32(mini_fat_bytes, i));
        mini_fat.resize(std::min(mini_fat.size(), container_size / kMiniSectorSize));
        std::vector<bool> mini_taken(mini_fat.size(), false);
        std::string data;
        for (uint32_t id : ChainIds(start, mini_fat, mini_taken, UnitsFor(size, kMiniSectorSize)))
            data += container.substr(id * kMiniSectorSize, kMiniSectorSize);
        return data;
    }

    const std::string& m_file;
    std::size_t m_sector_size = kSectorSize;
    std::vector<uint32_t> m_fat;
    std::vector<bool> m_taken;  // sectors of the FAT itself and of every chain read so far
};

}  // namespace

std::string ReadCompoundStream(const std::string& file, const std::u16string& stream_name) {
    return CompoundReader(file).Stream(stream_name);
}
