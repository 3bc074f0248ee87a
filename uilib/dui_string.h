#pragma once
// CDuiString: the library's narrow text, GBK like every text of the program.
#include <string>

#include "uilib/ui_types.h"

class CDuiString {
public:
    CDuiString() = default;
    CDuiString(const char* text);  // NOLINT: implicit like the literals it stands for
    CDuiString(const char* text, int length);
    CDuiString(const std::string& text);  // NOLINT
    CDuiString(char ch);                  // NOLINT

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const char* GetData() const { return m_text.c_str(); }
    operator LPCTSTR() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    // Out-of-range positions read as '\0' and are ignored on writing.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch);

    void Append(const char* text);
    void Assign(const char* text, int length = -1);
    CDuiString& operator=(const char* text);
    CDuiString& operator+=(const CDuiString& other);
    CDuiString& operator+=(const char* text);
    CDuiString& operator+=(char ch);
    CDuiString operator+(const CDuiString& other) const;
    CDuiString operator+(const char* text) const;

    // Byte comparison, as strcmp: negative, zero or positive.
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;
    bool operator==(const char* text) const { return Compare(text) == 0; }
    bool operator!=(const char* text) const { return Compare(text) != 0; }
    bool operator<(const char* text) const { return Compare(text) < 0; }
    bool operator<=(const char* text) const { return Compare(text) <= 0; }
    bool operator>(const char* text) const { return Compare(text) > 0; }
    bool operator>=(const char* text) const { return Compare(text) >= 0; }
    bool operator==(const CDuiString& other) const { return m_text == other.m_text; }
    bool operator!=(const CDuiString& other) const { return m_text != other.m_text; }
    bool operator<(const CDuiString& other) const { return m_text < other.m_text; }

    void MakeUpper();
    void MakeLower();
    CDuiString Left(int length) const;
    CDuiString Mid(int pos, int length = -1) const;
    CDuiString Right(int length) const;
    // Positions are byte offsets; -1 when not found.
    int Find(char ch, int pos = 0) const;
    int Find(const char* text, int pos = 0) const;
    int ReverseFind(char ch) const;
    int Replace(const char* from, const char* to);

    // printf-style; the result replaces the content. Returns the new length.
    int Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string m_text;
};

inline CDuiString operator+(const char* left, const CDuiString& right) {
    return CDuiString(left) + right;
}
