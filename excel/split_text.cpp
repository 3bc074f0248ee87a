#include "excel/split_text.h"

namespace {

// The first byte of a two-byte GBK character: its second byte may equal an ASCII separator
// ("區" is 0x85 0x5E, a "^"), so it is never taken as one.
bool IsGbkLeadByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x81 && value <= 0xFE;
}

}  // namespace

std::vector<tstring> SplitText(const tstring& text, char separator) {
    std::vector<tstring> pieces;
    tstring piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            pieces.push_back(piece);
            piece.clear();
            continue;
        }
        piece += text[i];
        if (IsGbkLeadByte(text[i]) && i + 1 < text.size()) piece += text[++i];
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces;
}
