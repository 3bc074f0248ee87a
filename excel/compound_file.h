#pragma once

#include <functional>
#include <ostream>
#include <string>

// Compound documents, the container of .xls files.

// Writes a compound document (version 3, 512-byte sectors) holding one stream, as .xls files hold
// their "Workbook" stream: `write_stream` writes its `stream_bytes` bytes to `out` in place, so
// the stream is never held whole. It is padded to 4,096 bytes so that it lives in regular sectors
// and the file needs no mini stream; readers ignore what follows the workbook's last record.
void WriteCompoundFile(std::ostream& out, const std::u16string& stream_name,
                       std::size_t stream_bytes,
                       const std::function<void(std::ostream&)>& write_stream);

// The named stream of a compound document (either sector size, regular or mini stream).
// Throws WorkbookError when the container is broken or holds no such stream.
std::string ReadCompoundStream(const std::string& file, const std::u16string& stream_name);
