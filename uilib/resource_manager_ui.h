#pragma once
// CResourceManagerUI: where layouts, styles and images come from - the unpacked skin archive.
#include <string>

#include "uilib/dui_string.h"

typedef struct HINSTANCE__* HINSTANCE;

class CResourceManagerUI {
public:
    // The module whose linked resources are read; the program passes its own (or null).
    static void SetInstance(HINSTANCE hInstance);
    static HINSTANCE GetInstance();
    // A resource linked into the executable, by name and type ("skin.packed", "SKIN"); the data
    // stays owned by the executable.
    static bool LoadDataFromResourceNoCopy(HINSTANCE hInstance, LPCTSTR pstrName, LPCTSTR pstrType,
                                           const BYTE*& pData, DWORD& dwSize);

    // The ZIP archive all later loads read from. Not copied: the caller keeps the buffer alive
    // until it sets another one (or null) - start-up releases it after the message loop.
    static bool SetResourceZipPtr(const void* pData, DWORD dwSize);
    // Reads a file of the archive ("DlgLogin.xml", "images/ok.png"); false when absent.
    static bool GetFileData(LPCTSTR pstrName, std::string& data);
    static bool HasFile(LPCTSTR pstrName);
};
