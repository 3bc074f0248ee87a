#pragma once

#include <string>

// Compound documents, the container of .xls files.

// A compound document (version 3, 512-byte sectors) holding one stream, as .xls files hold their
// "Workbook" stream. The stream is padded to 4,096 bytes so that it lives in regular sectors and
// the file needs no mini stream; readers ignore what follows the workbook's last record.
std::string BuildCompoundFile(const std::u16string& stream_name, std::string stream);

// The named stream of a compound document (either sector size, regular or mini stream).
// Throws WorkbookError when the container is broken or holds no such stream.
std::string ReadCompoundStream(const std::string& file, const std::u16string& stream_name);
