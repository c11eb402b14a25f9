// CFile and CMemFile with the MFC names, over POSIX file descriptors and a
// growable heap buffer, and the MFC exception classes they throw.
// Exceptions are thrown by value and caught by type (catch (const CFileException&)).
#pragma once

#include "platform/cstring.h"
#include "platform/export.h"
#include "platform/wintypes.h"

class PLATFORM_API CException {
public:
    CException() = default;
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;
    virtual ~CException();

    // MFC frees heap-thrown exceptions here; ours are values, so nothing to do.
    void Delete() {}
};

class PLATFORM_API CMemoryException : public CException {
public:
    ~CMemoryException() override;
};

class PLATFORM_API CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14
    };

    // lOsError is the errno value behind the failure, -1 when there is none.
    explicit CFileException(int cause = none, LONG lOsError = -1, LPCSTR lpszArchiveName = nullptr);
    ~CFileException() override;

    static int ErrnoToException(int nErrno);
    [[noreturn]] static void ThrowErrno(int nErrno, LPCSTR lpszFileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] PLATFORM_API void AfxThrowFileException(int cause, LONG lOsError = -1,
                                                     LPCSTR lpszFileName = nullptr);
[[noreturn]] PLATFORM_API void AfxThrowMemoryException();

class PLATFORM_API CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };
    static const int hFileNull = -1;

    CFile();
    // Throws CFileException when the file cannot be opened, as MFC does.
    CFile(LPCSTR lpszFileName, UINT nOpenFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Name with extension, without the directory.
    virtual CString GetFileName() const;
    // Absolute path of the open file; empty for memory files.
    virtual CString GetFilePath() const;

    // Share flags have no POSIX counterpart and are accepted without effect;
    // typeText is treated as binary (no newline translation on this platform).
    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetLength() const;

    // Returns fewer than nCount bytes only at the end of the file.
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing, whatever the state.
    virtual void Abort();

    int m_hFile;

protected:
    CString m_strFileName;

private:
    [[noreturn]] void ThrowLastError() const;
};

// A file in a heap buffer. Growable files own their buffer (malloc'd; Detach
// hands it to the caller, who frees it with free()). A buffer attached with
// nGrowBytes 0 is a fixed, readable file of nBufferSize bytes; attached with a
// grow size it starts empty and is copied to an owned buffer when it outgrows
// the caller's, which is never reallocated or freed.
class PLATFORM_API CMemFile : public CFile {
public:
    explicit CMemFile(UINT nGrowBytes = 1024);
    CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    ~CMemFile() override;

    void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    BYTE* Detach();
    // Not MFC: the file's bytes, valid until the next write, Detach or Close.
    const BYTE* GetData() const { return m_lpBuffer; }

    ULONGLONG GetPosition() const override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetLength() const override;
    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    void Flush() override {}
    void Close() override;
    void Abort() override;

protected:
    UINT m_nGrowBytes;
    size_t m_nPosition = 0;
    size_t m_nBufferSize = 0;
    size_t m_nFileSize = 0;
    BYTE* m_lpBuffer = nullptr;
    BOOL m_bAutoDelete = TRUE;

private:
    void GrowFile(size_t nNewSize);
    void FreeBuffer();
    void ResetToEmpty();
};
