#include "platform/cfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

// ==== Exceptions ====

CException::~CException() = default;

CMemoryException::~CMemoryException() = default;

CFileException::CFileException(int cause, LONG lOsError, LPCSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName) {}

CFileException::~CFileException() = default;

namespace {

struct SErrnoCause {
    int nErrno;
    int cause;
};

const SErrnoCause kErrnoCauses[] = {
    {ENOENT, CFileException::fileNotFound},     {ENOTDIR, CFileException::badPath},
    {ENAMETOOLONG, CFileException::badPath},    {ELOOP, CFileException::badPath},
    {EMFILE, CFileException::tooManyOpenFiles}, {ENFILE, CFileException::tooManyOpenFiles},
    {EACCES, CFileException::accessDenied},     {EPERM, CFileException::accessDenied},
    {EISDIR, CFileException::accessDenied},     {EROFS, CFileException::accessDenied},
    {EBADF, CFileException::invalidFile},       {EINVAL, CFileException::badSeek},
    {ESPIPE, CFileException::badSeek},          {EIO, CFileException::hardIO},
    {EBUSY, CFileException::sharingViolation},  {ETXTBSY, CFileException::sharingViolation},
    {ENOLCK, CFileException::lockViolation},    {ENOSPC, CFileException::diskFull},
    {EDQUOT, CFileException::diskFull},         {EFBIG, CFileException::diskFull},
};

}  // namespace

int CFileException::ErrnoToException(int nErrno) {
    for (const SErrnoCause& row : kErrnoCauses) {
        if (row.nErrno == nErrno) return row.cause;
    }
    return genericException;
}

void CFileException::ThrowErrno(int nErrno, LPCSTR lpszFileName) {
    AfxThrowFileException(ErrnoToException(nErrno), nErrno, lpszFileName);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCSTR lpszFileName) {
    throw CFileException(cause, lOsError, lpszFileName);
}

void AfxThrowMemoryException() { throw CMemoryException(); }

// ==== CFile ====

namespace {

int AccessFlags(UINT nOpenFlags) {
    switch (nOpenFlags & 0x3) {
        case CFile::modeWrite: return O_WRONLY;
        case CFile::modeReadWrite: return O_RDWR;
        default: return O_RDONLY;
    }
}

int CreationFlags(UINT nOpenFlags) {
    if (!(nOpenFlags & CFile::modeCreate)) return 0;
    return O_CREAT | ((nOpenFlags & CFile::modeNoTruncate) ? 0 : O_TRUNC);
}

int PosixOpenFlags(UINT nOpenFlags) {
    const int inherit = (nOpenFlags & CFile::modeNoInherit) ? O_CLOEXEC : 0;
    return AccessFlags(nOpenFlags) | CreationFlags(nOpenFlags) | inherit;
}

// Windows refuses to open a directory as a file; open(2) would accept it for reading.
int OpenRegularFile(LPCSTR lpszFileName, UINT nOpenFlags) {
    const int fd = ::open(lpszFileName, PosixOpenFlags(nOpenFlags), 0666);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return CFile::hFileNull;
    }
    return fd;
}

CString AbsolutePath(LPCSTR lpszFileName) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(lpszFileName, error);
    return CString(error ? std::string(lpszFileName) : path.lexically_normal().string());
}

}  // namespace

CFile::CFile() : m_hFile(hFileNull) {}

CFile::CFile(LPCSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull) {
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error)) throw error;
}

CFile::~CFile() { Abort(); }

CString CFile::GetFileName() const {
    const int slash = m_strFileName.ReverseFind('/');
    return m_strFileName.Mid(slash + 1);
}

CString CFile::GetFilePath() const { return m_strFileName; }

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    Abort();
    m_hFile = OpenRegularFile(lpszFileName, nOpenFlags);
    if (m_hFile == hFileNull) {
        if (pError) *pError = CFileException(CFileException::ErrnoToException(errno), errno, lpszFileName);
        return FALSE;
    }
    m_strFileName = AbsolutePath(lpszFileName);
    return TRUE;
}

ULONGLONG CFile::GetPosition() const {
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0) ThrowLastError();
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (nFrom > end) AfxThrowFileException(CFileException::badSeek, EINVAL, m_strFileName);
    const off_t position = ::lseek(m_hFile, lOff, kWhence[nFrom]);
    if (position < 0) ThrowLastError();
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetLength() const {
    struct stat info;
    if (::fstat(m_hFile, &info) != 0) ThrowLastError();
    return static_cast<ULONGLONG>(info.st_size);
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    BYTE* out = static_cast<BYTE*>(lpBuf);
    UINT done = 0;
    while (done < nCount) {
        const ssize_t got = ::read(m_hFile, out + done, nCount - done);
        if (got == 0) break;
        if (got < 0 && errno != EINTR) ThrowLastError();
        if (got > 0) done += static_cast<UINT>(got);
    }
    return done;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    const BYTE* in = static_cast<const BYTE*>(lpBuf);
    UINT done = 0;
    while (done < nCount) {
        const ssize_t put = ::write(m_hFile, in + done, nCount - done);
        if (put < 0 && errno != EINTR) ThrowLastError();
        if (put > 0) done += static_cast<UINT>(put);
    }
}

// EINVAL: the descriptor is a pipe or device that cannot be synchronised.
void CFile::Flush() {
    if (::fsync(m_hFile) != 0 && errno != EINVAL) ThrowLastError();
}

void CFile::Close() {
    if (m_hFile == hFileNull) return;
    const int result = ::close(m_hFile);
    const CString fileName = m_strFileName;
    m_hFile = hFileNull;
    m_strFileName.Empty();
    if (result != 0 && errno != EINTR) CFileException::ThrowErrno(errno, fileName);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) ::close(m_hFile);
    m_hFile = hFileNull;
    m_strFileName.Empty();
}

void CFile::ThrowLastError() const { CFileException::ThrowErrno(errno, m_strFileName); }

// ==== CMemFile ====

CMemFile::CMemFile(UINT nGrowBytes) : m_nGrowBytes(nGrowBytes) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : m_nGrowBytes(0) {
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() { FreeBuffer(); }

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
    FreeBuffer();
    m_lpBuffer = lpBuffer;
    m_nBufferSize = nBufferSize;
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_nGrowBytes = nGrowBytes;
    m_nPosition = 0;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
    BYTE* buffer = m_lpBuffer;
    m_bAutoDelete = FALSE;
    ResetToEmpty();
    return buffer;
}

ULONGLONG CMemFile::GetPosition() const { return m_nPosition; }

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
    const LONGLONG origins[] = {0, static_cast<LONGLONG>(m_nPosition), static_cast<LONGLONG>(m_nFileSize)};
    LONGLONG position = 0;
    if (nFrom > end || __builtin_add_overflow(origins[nFrom], lOff, &position) || position < 0) {
        AfxThrowFileException(CFileException::badSeek, EINVAL);
    }
    m_nPosition = static_cast<size_t>(position);
    return m_nPosition;
}

ULONGLONG CMemFile::GetLength() const { return m_nFileSize; }

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
    if (m_nPosition >= m_nFileSize || nCount == 0) return 0;
    const size_t count = std::min<size_t>(nCount, m_nFileSize - m_nPosition);
    std::memcpy(lpBuf, m_lpBuffer + m_nPosition, count);
    m_nPosition += count;
    return static_cast<UINT>(count);
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    if (nCount > std::numeric_limits<size_t>::max() - m_nPosition) AfxThrowMemoryException();
    const size_t newEnd = m_nPosition + nCount;
    GrowFile(newEnd);
    // A write after a seek past the end leaves a zero-filled gap.
    if (m_nPosition > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = newEnd;
    m_nFileSize = std::max(m_nFileSize, newEnd);
}

void CMemFile::Close() {
    ResetToEmpty();
    m_nGrowBytes = 0;
}

void CMemFile::Abort() { Close(); }

// Grows geometrically, in whole steps of m_nGrowBytes, so long writes stay linear.
void CMemFile::GrowFile(size_t nNewSize) {
    if (nNewSize <= m_nBufferSize) return;
    if (m_nGrowBytes == 0) AfxThrowMemoryException();
    const size_t steps = nNewSize / m_nGrowBytes + 1;
    const size_t size = std::max(steps * m_nGrowBytes, m_nBufferSize * 2);
    BYTE* grown = size >= nNewSize ? static_cast<BYTE*>(std::malloc(size)) : nullptr;
    if (!grown) AfxThrowMemoryException();
    if (m_nFileSize) std::memcpy(grown, m_lpBuffer, m_nFileSize);
    FreeBuffer();
    m_lpBuffer = grown;
    m_nBufferSize = size;
    m_bAutoDelete = TRUE;
}

void CMemFile::FreeBuffer() {
    if (m_bAutoDelete) std::free(m_lpBuffer);
    m_lpBuffer = nullptr;
    m_nBufferSize = 0;
}

void CMemFile::ResetToEmpty() {
    FreeBuffer();
    m_nFileSize = m_nPosition = 0;
    m_bAutoDelete = TRUE;
}
