// CArchive: MFC's sequential binary stream over a CFile, storing or loading.
// Every value is raw little-endian with no tags or padding, so a record written
// here reads back byte for byte under MFC. `long` is 4 bytes as on Windows;
// `long long` is 8. Reads past the end, and length prefixes that claim more
// than the data left, throw CArchiveException(endOfFile) before allocating.
#pragma once

#include <type_traits>
#include <vector>

#include "platform/cfile.h"
#include "platform/cstring.h"
#include "platform/export.h"
#include "platform/wintypes.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "archives are written in host byte order");

class PLATFORM_API CArchiveException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        readOnly = 2,  // a write to a loading archive
        endOfFile = 3,
        writeOnly = 4,  // a read from a storing archive
        badIndex = 5,
        badClass = 6,
        badSchema = 7
    };

    explicit CArchiveException(int cause = none, LPCSTR lpszArchiveName = nullptr);
    ~CArchiveException() override;

    int m_cause;
    CString m_strFileName;
};

[[noreturn]] PLATFORM_API void AfxThrowArchiveException(int cause, LPCSTR lpszArchiveName = nullptr);

class PLATFORM_API CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

    // The file must outlive the archive. nBufSize below 128 is raised to 128.
    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    // Closes (flushing a storing archive) unless bNoFlushOnDelete was given.
    ~CArchive();

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    CFile* GetFile() const { return m_pFile; }

    // Returns fewer than nMax bytes only at the end of the data.
    UINT Read(void* lpBuf, UINT nMax);
    // Throws endOfFile unless all nCount bytes are there.
    void EnsureRead(void* lpBuf, UINT nCount);
    void Write(const void* lpBuf, UINT nMax);
    // Not MFC: throws endOfFile unless nCount elements of nElementSize bytes
    // are left, so a reader can vet a count taken from the data before it allocates.
    void EnsureAvailable(ULONGLONG nCount, UINT nElementSize = 1);

    // Storing: hands the buffered bytes to the file. Loading: moves the file
    // back over bytes read ahead, so the file position matches what was consumed.
    void Flush();
    void Close();
    // Detaches from the file without flushing; never throws.
    void Abort();

    // Text lines: WriteString writes the text as given (add "\n" yourself);
    // ReadString drops the "\n" or "\r\n" and returns FALSE at the end of the data.
    void WriteString(LPCSTR lpsz);
    BOOL ReadString(CString& rString);

    CArchive& operator<<(bool b) { return WriteValue<BYTE>(b ? 1 : 0); }
    CArchive& operator<<(char ch) { return WriteValue(ch); }
    CArchive& operator<<(BYTE by) { return WriteValue(by); }
    CArchive& operator<<(WORD w) { return WriteValue(w); }
    CArchive& operator<<(short w) { return WriteValue(w); }
    CArchive& operator<<(int i) { return WriteValue(i); }
    CArchive& operator<<(unsigned u) { return WriteValue(u); }
    CArchive& operator<<(long l) { return WriteValue(static_cast<int32_t>(l)); }
    CArchive& operator<<(unsigned long ul) { return WriteValue(static_cast<uint32_t>(ul)); }
    CArchive& operator<<(long long ll) { return WriteValue(ll); }
    CArchive& operator<<(unsigned long long ull) { return WriteValue(ull); }
    CArchive& operator<<(float f) { return WriteValue(f); }
    CArchive& operator<<(double d) { return WriteValue(d); }
    // Written as a CString; without it a string literal would pick the bool overload.
    CArchive& operator<<(LPCSTR lpsz);
    template <typename E, typename = std::enable_if_t<std::is_enum<E>::value>>
    CArchive& operator<<(E e) { return WriteValue(static_cast<int32_t>(e)); }

    // Any non-zero byte reads as true.
    CArchive& operator>>(bool& b) { return ReadConverted<BYTE>(b); }
    CArchive& operator>>(char& ch) { return ReadValue(ch); }
    CArchive& operator>>(BYTE& by) { return ReadValue(by); }
    CArchive& operator>>(WORD& w) { return ReadValue(w); }
    CArchive& operator>>(short& w) { return ReadValue(w); }
    CArchive& operator>>(int& i) { return ReadValue(i); }
    CArchive& operator>>(unsigned& u) { return ReadValue(u); }
    CArchive& operator>>(long& l) { return ReadConverted<int32_t>(l); }
    CArchive& operator>>(unsigned long& ul) { return ReadConverted<uint32_t>(ul); }
    CArchive& operator>>(long long& ll) { return ReadValue(ll); }
    CArchive& operator>>(unsigned long long& ull) { return ReadValue(ull); }
    CArchive& operator>>(float& f) { return ReadValue(f); }
    CArchive& operator>>(double& d) { return ReadValue(d); }
    template <typename E, typename = std::enable_if_t<std::is_enum<E>::value>>
    CArchive& operator>>(E& e) { return ReadConverted<int32_t>(e); }

    // Set from the file's path when the archive is made; named in exceptions.
    CString m_strFileName;

private:
    template <typename T>
    CArchive& WriteValue(T value) {
        Write(&value, sizeof value);
        return *this;
    }
    template <typename T>
    CArchive& ReadValue(T& value) {
        EnsureRead(&value, sizeof value);
        return *this;
    }
    // Reads the stored type, then converts to the caller's wider or enum type.
    template <typename Stored, typename T>
    CArchive& ReadConverted(T& value) {
        Stored stored;
        ReadValue(stored);
        value = static_cast<T>(stored);
        return *this;
    }

    void RequireDirection(bool bStoring) const;
    UINT TakeBuffered(BYTE* out, UINT nMax);
    void FlushBuffer();
    void DropReadAhead();
    ULONGLONG BytesLeft() const;

    CFile* m_pFile;
    UINT m_nMode;
    // Storing: bytes [0, m_end) wait for the file. Loading: [m_begin, m_end) are read ahead.
    std::vector<BYTE> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
};

// MFC's narrow-string length prefix: below 255 one byte; below 0xFFFE the byte
// 0xFF and a 16-bit length; else 0xFF, 0xFFFF and a 32-bit length (then
// 0xFFFFFFFF and a 64-bit length). bUnicode prepends the marker 0xFF 0xFFFE.
PLATFORM_API void AfxWriteStringLength(CArchive& ar, UINT_PTR nLength, BOOL bUnicode);
// Returns the length in characters; nCharSize is 1, or 2 after the Unicode marker.
PLATFORM_API UINT_PTR AfxReadStringLength(CArchive& ar, int& nCharSize);

PLATFORM_API CArchive& operator<<(CArchive& ar, const CString& string);
// A wide string is narrowed: characters above 0xFF become '?', as
// WideCharToMultiByte does for characters outside the code page.
PLATFORM_API CArchive& operator>>(CArchive& ar, CString& string);
