#include "uilib/resource_manager_ui.h"

#include <zip.h>

#include <memory>

#include "skin/package/resource.h"
#include "uilib/dialog_builder.h"
#include "uilib/internal/ui_resources.h"

namespace {

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

struct ResourceState {
    HINSTANCE instance = nullptr;
    std::unique_ptr<zip_t, ZipCloser> archive;
};

ResourceState& state() {
    static ResourceState instance;
    return instance;
}

}  // namespace

void CResourceManagerUI::SetInstance(HINSTANCE hInstance) {
    state().instance = hInstance;
}

HINSTANCE CResourceManagerUI::GetInstance() {
    return state().instance;
}

bool CResourceManagerUI::LoadDataFromResourceNoCopy(HINSTANCE, LPCTSTR pstrName, LPCTSTR pstrType,
                                                    const BYTE*& pData, DWORD& dwSize) {
    ResourceBytes bytes = FindResource(pstrName ? pstrName : "", pstrType ? pstrType : "");
    pData = bytes.data;
    dwSize = static_cast<DWORD>(bytes.size);
    return static_cast<bool>(bytes);
}

bool CResourceManagerUI::SetResourceZipPtr(const void* pData, DWORD dwSize) {
    state().archive.reset();
    uilib_detail::ClearResourceCaches();
    CDialogBuilder::ClearCache();
    if (!pData || dwSize == 0) return false;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(pData, dwSize, 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive && source) zip_source_free(source);
    zip_error_fini(&error);
    state().archive.reset(archive);
    return archive != nullptr;
}

bool CResourceManagerUI::GetFileData(LPCTSTR pstrName, std::string& data) {
    zip_t* archive = state().archive.get();
    if (!archive || !pstrName) return false;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive, pstrName, ZIP_FL_NOCASE, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return false;
    zip_file_t* file = zip_fopen_index(archive, stat.index, 0);
    if (!file) return false;
    data.resize(static_cast<std::size_t>(stat.size));
    zip_int64_t read = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    if (read != static_cast<zip_int64_t>(stat.size)) {
        data.clear();
        return false;
    }
    return true;
}

bool CResourceManagerUI::HasFile(LPCTSTR pstrName) {
    zip_t* archive = state().archive.get();
    return archive && pstrName && zip_name_locate(archive, pstrName, ZIP_FL_NOCASE) >= 0;
}
