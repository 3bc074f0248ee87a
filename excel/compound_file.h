#pragma once

#include <string>

// A compound document (version 3, 512-byte sectors) holding one stream, as .xls files hold their
// "Workbook" stream. The stream is padded to 4,096 bytes so that it lives in regular sectors and
// the file needs no mini stream; readers ignore what follows the workbook's last record.
std::string BuildCompoundFile(const std::u16string& stream_name, std::string stream);
