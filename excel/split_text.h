#pragma once

#include <vector>

#include "netsqlite/types.h"

// Cuts GBK text at every separator character (an ASCII one; the second byte of a two-byte
// character is never taken for it). Empty pieces at the start and in the middle are kept, an empty
// last piece is dropped: "a::b" gives a, "", b; "a:" gives a; "" gives nothing.
std::vector<tstring> SplitText(const tstring& text, char separator);

// The pieces joined with the separator between them.
template <class Range>
tstring JoinText(const Range& pieces, char separator) {
    tstring joined;
    bool first = true;
    for (const tstring& piece : pieces) {
        if (!first) joined += separator;
        joined += piece;
        first = false;
    }
    return joined;
}
