#include "controls/data_list_text_element_ui.h"

#include <cstring>

LPCTSTR CDataListTextElementUI::GetClass() const {
    return "DataListTextElement";
}

void* CDataListTextElementUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "DataListTextElement") == 0
               ? this
               : CListTextElementUI::GetInterface(pstrName);
}
