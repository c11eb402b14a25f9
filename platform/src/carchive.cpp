#include "platform/carchive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

// ==== CArchiveException ====

CArchiveException::CArchiveException(int cause, LPCSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName) {}

CArchiveException::~CArchiveException() = default;

void AfxThrowArchiveException(int cause, LPCSTR lpszArchiveName) {
    throw CArchiveException(cause, lpszArchiveName);
}

// ==== CArchive: buffering and raw blocks ====

namespace {
const int kMinBufferSize = 128;
}

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize)
    : m_strFileName(pFile->GetFilePath()),
      m_pFile(pFile),
      m_nMode(nMode),
      m_buffer(static_cast<size_t>(std::max(nBufSize, kMinBufferSize))) {}

// A destructor cannot report a failed flush; callers who care call Close() first.
CArchive::~CArchive() {
    if (m_pFile == nullptr || (m_nMode & bNoFlushOnDelete)) return;
    try {
        Close();
    } catch (const CException&) {
        Abort();
    }
}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
    RequireDirection(false);
    BYTE* out = static_cast<BYTE*>(lpBuf);
    const UINT taken = TakeBuffered(out, nMax);
    const UINT missing = nMax - taken;
    if (missing == 0) return taken;
    if (missing >= m_buffer.size()) return taken + m_pFile->Read(out + taken, missing);
    m_begin = 0;
    m_end = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    return taken + TakeBuffered(out + taken, missing);
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount) {
    if (Read(lpBuf, nCount) != nCount) AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
    RequireDirection(true);
    if (nMax == 0) return;
    if (nMax > m_buffer.size() - m_end) FlushBuffer();
    if (nMax >= m_buffer.size()) {
        m_pFile->Write(lpBuf, nMax);
        return;
    }
    std::memcpy(m_buffer.data() + m_end, lpBuf, nMax);
    m_end += nMax;
}

void CArchive::EnsureAvailable(ULONGLONG nCount, UINT nElementSize) {
    RequireDirection(false);
    const ULONGLONG left = BytesLeft();
    if (nElementSize != 0 && nCount > left / nElementSize) {
        AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
    }
}

void CArchive::Flush() {
    if (m_pFile == nullptr) return;
    if (IsStoring()) {
        FlushBuffer();
    } else {
        DropReadAhead();
    }
}

void CArchive::Close() {
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() {
    m_pFile = nullptr;
    m_begin = m_end = 0;
}

void CArchive::RequireDirection(bool bStoring) const {
    if (bool(IsStoring()) != bStoring) {
        AfxThrowArchiveException(bStoring ? CArchiveException::readOnly : CArchiveException::writeOnly,
                                 m_strFileName);
    }
    if (m_pFile == nullptr) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
}

UINT CArchive::TakeBuffered(BYTE* out, UINT nMax) {
    const size_t count = std::min<size_t>(nMax, m_end - m_begin);
    if (count == 0) return 0;
    std::memcpy(out, m_buffer.data() + m_begin, count);
    m_begin += count;
    return static_cast<UINT>(count);
}

void CArchive::FlushBuffer() {
    const size_t pending = m_end;
    m_end = 0;
    if (pending) m_pFile->Write(m_buffer.data(), static_cast<UINT>(pending));
}

void CArchive::DropReadAhead() {
    const size_t unread = m_end - m_begin;
    m_begin = m_end = 0;
    if (unread) m_pFile->Seek(-static_cast<LONGLONG>(unread), CFile::current);
}

ULONGLONG CArchive::BytesLeft() const {
    const ULONGLONG length = m_pFile->GetLength();
    const ULONGLONG position = m_pFile->GetPosition();
    return (m_end - m_begin) + (length > position ? length - position : 0);
}

// ==== CArchive: text lines ====

void CArchive::WriteString(LPCSTR lpsz) { Write(lpsz, static_cast<UINT>(std::strlen(lpsz))); }

BOOL CArchive::ReadString(CString& rString) {
    std::string line;
    char ch = 0;
    bool readAny = false;
    while (Read(&ch, 1) == 1) {
        readAny = true;
        if (ch == '\n') break;
        line += ch;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rString = CString(line);
    return readAny;
}

// ==== Strings ====

namespace {

const BYTE kByteEscape = 0xFF;
const WORD kWordEscape = 0xFFFF;
const WORD kUnicodeMarker = 0xFFFE;
const DWORD kDwordEscape = 0xFFFFFFFF;

CString ReadNarrowCharacters(CArchive& ar, UINT nLength) {
    std::string text(nLength, '\0');
    ar.EnsureRead(text.data(), nLength);
    return CString(text);
}

CString ReadWideCharacters(CArchive& ar, UINT nLength) {
    std::vector<WORD> units(nLength);
    ar.EnsureRead(units.data(), nLength * static_cast<UINT>(sizeof(WORD)));
    std::string text(nLength, '?');
    for (UINT i = 0; i < nLength; ++i) {
        if (units[i] <= 0xFF) text[i] = static_cast<char>(units[i]);
    }
    return CString(text);
}

}  // namespace

CArchive& CArchive::operator<<(LPCSTR lpsz) { return *this << CString(lpsz); }

void AfxWriteStringLength(CArchive& ar, UINT_PTR nLength, BOOL bUnicode) {
    if (bUnicode) ar << kByteEscape << kUnicodeMarker;
    if (nLength < kByteEscape) {
        ar << static_cast<BYTE>(nLength);
        return;
    }
    ar << kByteEscape;
    if (nLength < kUnicodeMarker) {
        ar << static_cast<WORD>(nLength);
        return;
    }
    ar << kWordEscape;
    if (nLength < kDwordEscape) {
        ar << static_cast<DWORD>(nLength);
        return;
    }
    ar << kDwordEscape << static_cast<unsigned long long>(nLength);
}

UINT_PTR AfxReadStringLength(CArchive& ar, int& nCharSize) {
    nCharSize = 1;
    BYTE byteLength = 0;
    ar >> byteLength;
    if (byteLength < kByteEscape) return byteLength;
    WORD wordLength = 0;
    ar >> wordLength;
    if (wordLength == kUnicodeMarker) {
        nCharSize = 2;
        ar >> byteLength;
        if (byteLength < kByteEscape) return byteLength;
        ar >> wordLength;
    }
    if (wordLength < kWordEscape) return wordLength;
    DWORD dwordLength = 0;
    ar >> dwordLength;
    if (dwordLength < kDwordEscape) return dwordLength;
    unsigned long long qwordLength = 0;
    ar >> qwordLength;
    return static_cast<UINT_PTR>(qwordLength);
}

CArchive& operator<<(CArchive& ar, const CString& string) {
    AfxWriteStringLength(ar, static_cast<UINT_PTR>(string.GetLength()), FALSE);
    ar.Write(string.GetString(), static_cast<UINT>(string.GetLength()));
    return ar;
}

// The length is checked against the data left before anything is allocated.
CArchive& operator>>(CArchive& ar, CString& string) {
    int nCharSize = 1;
    const UINT_PTR nLength = AfxReadStringLength(ar, nCharSize);
    ar.EnsureAvailable(nLength, static_cast<UINT>(nCharSize));
    if (nLength > INT_MAX) AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
    const UINT length = static_cast<UINT>(nLength);
    string = nCharSize == 1 ? ReadNarrowCharacters(ar, length) : ReadWideCharacters(ar, length);
    return ar;
}
