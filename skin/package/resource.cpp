#include "skin/package/resource.h"

ResourceBytes FindResource(std::string_view name, std::string_view type) {
    for (std::size_t i = 0; i < kLinkedResourceCount; ++i) {
        const LinkedResource& resource = kLinkedResources[i];
        if (name == resource.name && type == resource.type) return {resource.data, resource.size};
    }
    return {};
}
