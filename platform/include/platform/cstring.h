// CString: the narrow (8-bit) string with value semantics used by every
// interface of the libraries, with the MFC names and behaviour they rely on.
// Comparison is byte-wise and case-sensitive; embedded NUL bytes are not
// supported.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/export.h"
#include "platform/wintypes.h"

class PLATFORM_API CString {
public:
    CString() = default;
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(char ch, int nRepeat = 1);
    CString(const std::string& s) : m_text(s) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int nIndex) const { return m_text[static_cast<size_t>(nIndex)]; }
    void SetAt(int nIndex, char ch) { m_text[static_cast<size_t>(nIndex)] = ch; }
    char operator[](int nIndex) const { return GetAt(nIndex); }

    operator const char*() const { return m_text.c_str(); }
    const char* GetString() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    // Byte-wise: negative, zero or positive as strcmp.
    int Compare(const char* psz) const;
    // ASCII letters compared without regard to case.
    int CompareNoCase(const char* psz) const;

    CString& operator=(const char* psz);
    CString& operator=(char ch);
    CString& operator+=(const CString& s);
    CString& operator+=(const char* psz);
    CString& operator+=(char ch);

    // printf semantics, any length; numbers use "." whatever the locale.
    void Format(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* pszFormat, va_list args);
    void AppendFormat(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

    CString Left(int nCount) const;
    CString Mid(int iFirst) const;
    CString Mid(int iFirst, int nCount) const;
    CString Right(int nCount) const;

    // Index of the first match at or after iStart, or -1.
    int Find(char ch, int iStart = 0) const;
    int Find(const char* pszSub, int iStart = 0) const;
    // Index of the last occurrence of ch, or -1.
    int ReverseFind(char ch) const;

    // Returns the number of replacements.
    int Replace(char chOld, char chNew);
    int Replace(const char* pszOld, const char* pszNew);

    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(const char* pszTargets);
    CString& TrimLeft(const char* pszTargets);
    CString& TrimRight(const char* pszTargets);

    CString& MakeUpper();
    CString& MakeLower();

    // Loads string-table entry nID of the given module; false when absent.
    BOOL LoadString(HINSTANCE hInstance, UINT nID);
    // Searches every loaded module, as MFC searches its resource chain.
    BOOL LoadString(UINT nID);

    // Raw access for code that fills the text through a C API.
    char* GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_text;
};

PLATFORM_API CString operator+(const CString& a, const CString& b);
PLATFORM_API CString operator+(const CString& a, const char* b);
PLATFORM_API CString operator+(const char* a, const CString& b);
PLATFORM_API CString operator+(const CString& a, char b);
PLATFORM_API CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
inline bool operator!=(const char* a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
inline bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator>(const CString& a, const char* b) { return a.Compare(b) > 0; }
inline bool operator>(const char* a, const CString& b) { return b.Compare(a) < 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }

typedef CString CStringA;
