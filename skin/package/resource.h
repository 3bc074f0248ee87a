#pragma once

#include <cstddef>
#include <string_view>

// Data linked into the executable at build time, found by name and type (the skin package is
// "skin.packed" of type "SKIN"). Link the library skin_resource to get it.
struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;

    explicit operator bool() const { return data != nullptr; }
};

// Empty when no resource of that name and type is linked in.
ResourceBytes FindResource(std::string_view name, std::string_view type);

// The table that the build generates from the packed files.
struct LinkedResource {
    const char* name;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};
extern const LinkedResource kLinkedResources[];
extern const std::size_t kLinkedResourceCount;
