#include "platform/cstring.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

#include "platform/resources.h"

namespace {

const char kWhiteSpace[] = " \t\r\n\v\f";

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int Sign(int v) { return (v > 0) - (v < 0); }

// Formats in the "C" locale so that floats always use '.', whatever the
// host's locale; the thread's locale is restored afterwards.
class CLocaleScope {
public:
    CLocaleScope() : m_c(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))) {
        m_previous = m_c ? uselocale(m_c) : static_cast<locale_t>(0);
    }
    ~CLocaleScope() {
        if (m_c) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_c;
    locale_t m_previous = static_cast<locale_t>(0);
};

std::string FormatText(const char* format, va_list args) {
    if (!format) return std::string();
    CLocaleScope cLocale;
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return std::string();
    std::string out(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), format, args);
    out.resize(static_cast<size_t>(length));
    return out;
}

size_t Clamp(int value, size_t high) {
    if (value < 0) return 0;
    return std::min(static_cast<size_t>(value), high);
}

}  // namespace

CString::CString(const char* psz) : m_text(psz ? psz : "") {}

CString::CString(const char* pch, int nLength)
    : m_text(pch && nLength > 0 ? std::string(pch, static_cast<size_t>(nLength)) : std::string()) {}

CString::CString(char ch, int nRepeat) : m_text(nRepeat > 0 ? static_cast<size_t>(nRepeat) : 0, ch) {}

int CString::Compare(const char* psz) const { return Sign(std::strcmp(m_text.c_str(), psz ? psz : "")); }

int CString::CompareNoCase(const char* psz) const {
    const char* a = m_text.c_str();
    const char* b = psz ? psz : "";
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(AsciiLower(*a));
        const unsigned char cb = static_cast<unsigned char>(AsciiLower(*b));
        if (ca != cb || ca == 0) return Sign(static_cast<int>(ca) - static_cast<int>(cb));
    }
}

CString& CString::operator=(const char* psz) {
    m_text = psz ? psz : "";
    return *this;
}

CString& CString::operator=(char ch) {
    m_text.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& s) {
    m_text += s.m_text;
    return *this;
}

CString& CString::operator+=(const char* psz) {
    if (psz) m_text += psz;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

void CString::Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args) { m_text = FormatText(pszFormat, args); }

void CString::AppendFormat(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    m_text += FormatText(pszFormat, args);
    va_end(args);
}

CString CString::Left(int nCount) const { return CString(m_text.substr(0, Clamp(nCount, m_text.size()))); }

CString CString::Mid(int iFirst) const { return Mid(iFirst, GetLength()); }

CString CString::Mid(int iFirst, int nCount) const {
    const size_t first = Clamp(iFirst, m_text.size());
    return CString(m_text.substr(first, Clamp(nCount, m_text.size() - first)));
}

CString CString::Right(int nCount) const {
    const size_t count = Clamp(nCount, m_text.size());
    return CString(m_text.substr(m_text.size() - count));
}

int CString::Find(char ch, int iStart) const {
    if (iStart < 0 || static_cast<size_t>(iStart) >= m_text.size()) return -1;
    const size_t at = m_text.find(ch, static_cast<size_t>(iStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* pszSub, int iStart) const {
    if (!pszSub || iStart < 0 || static_cast<size_t>(iStart) > m_text.size()) return -1;
    const size_t at = m_text.find(pszSub, static_cast<size_t>(iStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    const size_t at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char chOld, char chNew) {
    int count = 0;
    for (char& c : m_text) {
        if (c == chOld) {
            c = chNew;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* pszOld, const char* pszNew) {
    if (!pszOld || !*pszOld) return 0;
    const std::string from(pszOld);
    const std::string to(pszNew ? pszNew : "");
    std::string out;
    int count = 0;
    size_t pos = 0;
    for (size_t at; (at = m_text.find(from, pos)) != std::string::npos; pos = at + from.size()) {
        out.append(m_text, pos, at - pos);
        out += to;
        ++count;
    }
    out.append(m_text, pos, std::string::npos);
    m_text.swap(out);
    return count;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::TrimLeft() { return TrimLeft(kWhiteSpace); }
CString& CString::TrimRight() { return TrimRight(kWhiteSpace); }
CString& CString::Trim(const char* pszTargets) { return TrimRight(pszTargets).TrimLeft(pszTargets); }

CString& CString::TrimLeft(const char* pszTargets) {
    const size_t first = m_text.find_first_not_of(pszTargets ? pszTargets : "");
    m_text.erase(0, first == std::string::npos ? m_text.size() : first);
    return *this;
}

CString& CString::TrimRight(const char* pszTargets) {
    const size_t last = m_text.find_last_not_of(pszTargets ? pszTargets : "");
    m_text.erase(last == std::string::npos ? 0 : last + 1);
    return *this;
}

CString& CString::MakeUpper() {
    std::transform(m_text.begin(), m_text.end(), m_text.begin(), AsciiUpper);
    return *this;
}

CString& CString::MakeLower() {
    std::transform(m_text.begin(), m_text.end(), m_text.begin(), AsciiLower);
    return *this;
}

BOOL CString::LoadString(HINSTANCE hInstance, UINT nID) {
    const char* text = nullptr;
    const int length = LoadStringA(hInstance, nID, reinterpret_cast<LPSTR>(&text), 0);
    if (!text) return FALSE;
    m_text.assign(text, static_cast<size_t>(length));
    return TRUE;
}

BOOL CString::LoadString(UINT nID) { return LoadString(FindStringModule(nID), nID); }

char* CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > 0 && static_cast<size_t>(nMinBufLength) > m_text.size()) {
        m_text.resize(static_cast<size_t>(nMinBufLength));
    }
    return &m_text[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) {
        m_text.resize(std::strlen(m_text.c_str()));
    } else {
        m_text.resize(std::min(static_cast<size_t>(nNewLength), m_text.size()));
    }
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, const char* b) { return CString(a.str() + (b ? b : "")); }
CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.str()); }
CString operator+(const CString& a, char b) { return CString(a.str() + b); }
CString operator+(char a, const CString& b) { return CString(std::string(1, a) + b.str()); }
