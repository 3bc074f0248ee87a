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

bool IsMark(char c) {
    return c == kListTextCustomer || c == kListTextVehicle || c == kListTextSeparator;
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
// are searched for the needles' first and last bytes and for marks; where none of the needles
// may start, only the place in the current record moves.
class BlockCount {
public:
    BlockCount(const char* block, size_t size, const std::vector<Needle>& needles)
        : m_end(block + size), m_needles(needles) {
        size_t longest = 0;
        for (const Needle& needle : needles) longest = std::max(longest, needle.text.size());
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
    void Mark(char mark) {
        if (mark == kListTextSeparator) {
            ++m_separators;
            return;
        }
        m_vehicle = mark == kListTextVehicle;
        m_separators = 0;
        m_found = false;
    }

    // Whether a needle of `which` (a bit per needle) starts at `at` in a column it is looked for
    // in. A customer found ends there: returns the end of its part, null otherwise.
    const char* Match(const char* at, unsigned which) {
        if (m_found || m_separators == 0) return nullptr;  // none before a customer's id ends
        const size_t column = (m_vehicle ? kVehicleColumnsFrom : 0) + m_separators - 1;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const Needle& needle = m_needles[i];
            if (!(which >> i & 1) || column >= 64 || !(needle.columns >> column & 1)) continue;
            if (std::memcmp(at + 1, needle.text.data() + 1, needle.text.size() - 1) != 0) continue;
            m_found = true;
            if (m_vehicle) {
                ++m_rows;
                return nullptr;
            }
            size_t vehicles = 0;
            const char* end = CustomerEnd(at, vehicles);
            m_rows += static_cast<sqlite3_int64>(std::max<size_t>(1, vehicles));
            return end;
        }
        return nullptr;
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

    // Returns where to go on from.
    const char* Byte(const char* at) {
        if (IsMark(*at)) {
            Mark(*at);
            return at + 1;
        }
        unsigned which = 0;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const std::string& text = m_needles[i].text;
            if (static_cast<size_t>(m_end - at) >= text.size() && *at == text[0]) which |= 1u << i;
        }
        const char* end = which ? Match(at, which) : nullptr;
        return end ? end : at + 1;
    }

#ifdef __SSE2__
    // Sixteen bytes from `at`; returns where to go on from.
    const char* Chunk(const char* at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const unsigned separators = BitsOf(bytes, kListTextSeparator);
        const unsigned starts = BitsOf(bytes, kListTextCustomer) | BitsOf(bytes, kListTextVehicle);
        unsigned candidates[kListTextMostNeedles];
        unsigned any = 0;
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const std::string& text = m_needles[i].text;
            const __m128i last =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + text.size() - 1));
            candidates[i] = BitsOf(bytes, text[0]) & BitsOf(last, text.back());
            any |= candidates[i];
        }
        if (!any) {
            Pass(at, starts, separators);
            return at + 16;
        }
        for (unsigned both = starts | separators | any; both != 0; both &= both - 1) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(both));
            if ((starts | separators) >> bit & 1) {
                Mark(at[bit]);
                continue;
            }
            unsigned which = 0;
            for (size_t i = 0; i < m_needles.size(); ++i) which |= (candidates[i] >> bit & 1) << i;
            if (const char* end = Match(at + bit, which)) return end;
        }
        return at + 16;
    }

    // Sixteen bytes where no needle starts: the last record begun in them, if any, and the
    // separators after it.
    void Pass(const char* at, unsigned starts, unsigned separators) {
        if (!starts) {
            m_separators += kBitCount(separators);
            return;
        }
        const unsigned last = 31u - static_cast<unsigned>(__builtin_clz(starts));
        Mark(at[last]);
        m_separators = kBitCount(separators >> last);
    }
#endif

    const char* const m_end;
    const std::vector<Needle>& m_needles;
    sqlite3_int64 m_rows = 0;
    bool m_vehicle = false;
    size_t m_separators = 0;  // in the current record; none before its first value
    bool m_found = false;     // the current record was found: later matches add nothing
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
