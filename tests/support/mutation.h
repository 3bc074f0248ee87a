#pragma once
// The mutation step of the fuzz tests: one to four bytes of a file changed, flipped, set to 0xFF
// or cut out, drawn from a seeded generator so that every run makes the same files.

#include <random>
#include <string>

inline void Mutate(std::string& bytes, std::mt19937& random) {
    if (bytes.empty()) return;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes && !bytes.empty(); ++i) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 4) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8))); break;
            case 2: bytes[at] = static_cast<char>(0xFF); break;
            default: bytes.erase(at, 1 + random() % 8); break;
        }
    }
}
