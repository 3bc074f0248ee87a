#pragma once

#include <zip.h>

#include <map>
#include <string>

// Every entry of a ZIP archive in memory, name to contents; empty when it is not an archive.
inline std::map<std::string, std::string> ZipEntries(const unsigned char* bytes, std::size_t size) {
    std::map<std::string, std::string> entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes, size, 0, &error);
    zip_t* archive =
        source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!archive) {
        zip_source_free(source);
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_file_t* file = zip_fopen_index(archive, i, 0);
        if (!file || zip_stat_index(archive, i, 0, &stat) != 0) continue;
        std::string contents(stat.size, '\0');
        if (zip_fread(file, contents.data(), stat.size) == static_cast<zip_int64_t>(stat.size))
            entries[stat.name] = contents;
        zip_fclose(file);
    }
    zip_discard(archive);
    return entries;
}
