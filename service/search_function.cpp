#include "service/search_function.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "netsqlite/list_search.h"

namespace {

constexpr size_t kVehicleColumnsFrom = std::size(kCustomerSearchColumns);

bool IsRecordStart(char c) {
    return c == kListTextCustomer || c == kListTextVehicle;
}

bool IsMark(char c) {
    return IsRecordStart(c) || c == kListTextSeparator;
}

// LIKE folds only ASCII letters; the stored text has them in lower case already.
std::string FoldedAscii(const char* text, size_t size) {
    std::string folded(text, size);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

struct Needle {
    std::string text;
    uint64_t columns;  // bit (1 << place) for each column it is looked for in
};

// The number of bits set in a chunk's mask; baseline x86-64 has no instruction for it.
struct BitCounts {
    unsigned char of[256];
    constexpr BitCounts() : of() {
        for (int i = 1; i < 256; ++i) of[i] = static_cast<unsigned char>(of[i / 2] + (i & 1));
    }
    unsigned operator()(unsigned mask) const { return of[mask & 255] + of[mask >> 8 & 255]; }
};
constexpr BitCounts kBitCount;

#ifdef __SSE2__
// A bit for each of the sixteen bytes that equals `c`.
unsigned BitsOf(__m128i bytes, char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}
#endif

// One pass over a block counts the list's rows found: a customer found brings each of its
// vehicles' rows (one row without vehicles), a vehicle found its own. Sixteen bytes at a time
// are compared with the needles' first and last bytes; only where a needle is found is the place
// in its record looked up.
class BlockCount {
public:
    BlockCount(const char* block, size_t size, const std::vector<Needle>& needles)
        : m_block(block), m_end(block + size), m_needles(needles) {
        size_t longest = 0;
        for (const Needle& needle : needles) {
            longest = std::max(longest, needle.text.size());
            m_columns |= needle.columns;
        }
        const char* at = block;
#ifdef __SSE2__
        while (m_end - at >= static_cast<std::ptrdiff_t>(longest + 15)) at = Chunk(at);
#endif
        while (at < m_end) at = Byte(at);
    }
    sqlite3_int64 rows() const {
        return m_rows;
    }

private:
    // Whether a needle of `which` (a bit per needle) starts at `at` in a column it is looked for
    // in; returns where to go on from.
    const char* Match(const char* at, unsigned which) {
        uint64_t columns = 0;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const std::string& text = m_needles[i].text;
            if (which >> i & 1 && Holds(at, text)) columns |= m_needles[i].columns;
        }
        if (!columns) return at + 1;
        size_t separators = 0;
        const char* record = RecordOf(at, separators);
        const bool vehicle = record && *record == kListTextVehicle;
        const size_t column = (vehicle ? kVehicleColumnsFrom : 0) + separators - 1;
        // Before any value (a customer's id), or in a column no needle is looked for in.
        if (!record || separators == 0 || column >= 64 || !(m_columns >> column & 1))
            return Next(at + 1, true);
        if (!(columns >> column & 1)) return at + 1;
        if (vehicle) {
            ++m_rows;
            return Next(at + 1, false);
        }
        size_t vehicles = 0;
        const char* end = CustomerEnd(at, vehicles);
        m_rows += static_cast<sqlite3_int64>(std::max<size_t>(1, vehicles));
        return end;
    }

    // The first and the last byte of `text` are known to match; most needles are short.
    static bool Holds(const char* at, const std::string& text) {
        for (size_t k = 1; k + 1 < text.size(); ++k)
            if (at[k] != text[k]) return false;
        return true;
    }

    const char* Byte(const char* at) {
        unsigned which = 0;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const std::string& text = m_needles[i].text;
            if (static_cast<size_t>(m_end - at) >= text.size() && *at == text[0] &&
                at[text.size() - 1] == text.back())
                which |= 1u << i;
        }
        return which ? Match(at, which) : at + 1;
    }

    // The mark that began the record holding `at` (null before the first), and the separators
    // between them.
    const char* RecordOf(const char* at, size_t& separators) const {
#ifdef __SSE2__
        for (; at - m_block >= 16; at -= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 16));
            const unsigned starts =
                BitsOf(bytes, kListTextCustomer) | BitsOf(bytes, kListTextVehicle);
            const unsigned marks = BitsOf(bytes, kListTextSeparator);
            if (starts) {
                const unsigned last = 31u - static_cast<unsigned>(__builtin_clz(starts));
                separators += kBitCount(marks >> last);
                return at - 16 + last;
            }
            separators += kBitCount(marks);
        }
#endif
        for (; at > m_block; --at) {
            if (IsRecordStart(at[-1])) return at - 1;
            separators += at[-1] == kListTextSeparator;
        }
        return nullptr;
    }

    // The next record's start from `from` on, or the next separator too; the end when none.
    const char* Next(const char* from, bool separators) const {
#ifdef __SSE2__
        for (; m_end - from >= 16; from += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const unsigned found = BitsOf(bytes, kListTextCustomer) |
                                   BitsOf(bytes, kListTextVehicle) |
                                   (separators ? BitsOf(bytes, kListTextSeparator) : 0u);
            if (found) return from + __builtin_ctz(found);
        }
#endif
        while (from < m_end && !(IsRecordStart(*from) || (separators && IsMark(*from)))) ++from;
        return from;
    }

    // Where the customer whose part holds `at` ends, and how many vehicles it has from there.
    const char* CustomerEnd(const char* at, size_t& vehicles) const {
#ifdef __SSE2__
        for (; m_end - at >= 16; at += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const unsigned customers = BitsOf(bytes, kListTextCustomer);
            unsigned found = BitsOf(bytes, kListTextVehicle);
            if (customers) found &= (customers & -customers) - 1;  // those before the next one
            vehicles += kBitCount(found);
            if (customers) return at + __builtin_ctz(customers);
        }
#endif
        for (; at < m_end && *at != kListTextCustomer; ++at) vehicles += *at == kListTextVehicle;
        return at;
    }

#ifdef __SSE2__
    // Sixteen bytes from `at`; returns where to go on from.
    const char* Chunk(const char* at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        unsigned candidates[kListTextMostNeedles];
        unsigned any = 0;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const std::string& text = m_needles[i].text;
            const __m128i last =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + text.size() - 1));
            candidates[i] = BitsOf(bytes, text[0]) & BitsOf(last, text.back());
            any |= candidates[i];
        }
        for (; any != 0; any &= any - 1) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(any));
            unsigned which = 0;
            for (size_t i = 0; i < m_needles.size(); ++i) which |= (candidates[i] >> bit & 1) << i;
            const char* next = Match(at + bit, which);
            if (next != at + bit + 1) return next;
        }
        return at + 16;
    }
#endif

    const char* const m_block;
    const char* const m_end;
    const std::vector<Needle>& m_needles;
    uint64_t m_columns = 0;  // those any needle is looked for in
    sqlite3_int64 m_rows = 0;
};

void ListTextRows(sqlite3_context* context, int argc, sqlite3_value** args) {
    const auto* block = static_cast<const char*>(sqlite3_value_blob(args[0]));
    const size_t size = static_cast<size_t>(sqlite3_value_bytes(args[0]));
    if (argc > 1 + 2 * kListTextMostNeedles) {
        sqlite3_result_error(context, "too many needles", -1);
        return;
    }
    std::vector<Needle> needles;
    for (int i = 1; i + 1 < argc; i += 2) {
        const auto* needle = reinterpret_cast<const char*>(sqlite3_value_text(args[i]));
        const size_t needle_size = static_cast<size_t>(sqlite3_value_bytes(args[i]));
        // A mark in the needle would match across values; no stored value holds one.
        if (!needle || needle_size == 0 || std::any_of(needle, needle + needle_size, IsMark))
            continue;
        needles.push_back({FoldedAscii(needle, needle_size),
                           static_cast<uint64_t>(sqlite3_value_int64(args[i + 1]))});
    }
    sqlite3_result_int64(context,
                         block && !needles.empty() ? BlockCount(block, size, needles).rows() : 0);
}

}  // namespace

bool RegisterSearchFunction(sqlite3* db) {
    return sqlite3_create_function(db, kListTextRows, -1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   ListTextRows, nullptr, nullptr) == SQLITE_OK;
}
