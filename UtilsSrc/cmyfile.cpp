#include "UtilsSrc/cmyfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "UtilsSrc/errorreport.h"

namespace Vastrel {
namespace Utils {

static_assert(CMyFile::CREATE_READ == (S_IRUSR | S_IRGRP | S_IROTH), "creat() read bits");
static_assert(CMyFile::CREATE_WRITE == S_IWUSR, "creat() write bit");
static_assert(CMyFile::OPEN_READ == O_RDONLY && CMyFile::OPEN_WRITE == O_WRONLY &&
                  CMyFile::OPEN_READWRITE == O_RDWR,
              "open() access flags");

namespace {

const int kFileNotFoundMessage = 116;

int Duplicate(int fileID) { return fileID == -1 ? -1 : ::dup(fileID); }

// Loops over short reads and signals; stops at the end of the file.
long ReadFully(int fileID, char* buffer, long count) {
    long done = 0;
    while (done < count) {
        const ssize_t got = ::read(fileID, buffer + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

long WriteFully(int fileID, const char* data, long count) {
    long done = 0;
    while (done < count) {
        const ssize_t put = ::write(fileID, data + done, static_cast<size_t>(count - done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return -1;
        done += put;
    }
    return done;
}

}  // namespace

CMyFile::CMyFile(const CMyFile& other) : m_fileID(Duplicate(other.m_fileID)) {}

CMyFile& CMyFile::operator=(const CMyFile& other) {
    if (this != &other) {
        Close();
        m_fileID = Duplicate(other.m_fileID);
    }
    return *this;
}

CMyFile::~CMyFile() { Close(); }

bool CMyFile::Create(const char* name, CreateMode mode) {
    Close();
    m_fileID = ::open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode));
    return true;
}

bool CMyFile::CreateBin(const char* name, CreateMode mode) { return Create(name, mode); }

bool CMyFile::Open(const char* name, OpenMode mode) {
    Close();
    m_fileID = ::open(name, static_cast<int>(mode) | O_CLOEXEC);
    if (m_fileID != -1) return true;
    ReportError(__FILE__, __LINE__, kFileNotFoundMessage, name);
    return false;
}

bool CMyFile::OpenBin(const char* name, OpenMode mode) { return Open(name, mode); }

char* CMyFile::Read(char* buffer, long offset, long count) {
    const long length = GetLength();
    // Written as a subtraction so that huge offsets or counts cannot overflow.
    if (offset < 0 || count < 0 || offset > length - count) return nullptr;
    if (!SetPos(offset) || ReadFully(m_fileID, buffer, count) != count) return nullptr;
    return buffer;
}

char* CMyFile::ReadBin(long count) {
    if (count < 0) return nullptr;
    char* buffer = new char[static_cast<size_t>(count)]();
    ReadBin(buffer, count);
    return buffer;
}

long CMyFile::ReadBin(char* buffer, long count) {
    return count < 0 ? -1 : ReadFully(m_fileID, buffer, count);
}

long CMyFile::Write(const char* data, long offset, long count) {
    return SetPos(offset) ? WriteBin(data, count) : -1;
}

long CMyFile::WriteBin(const char* data, long count) {
    return count < 0 ? -1 : WriteFully(m_fileID, data, count);
}

long CMyFile::GetLength() {
    const off_t pos = ::lseek(m_fileID, 0, SEEK_CUR);
    if (pos < 0) return -1;
    const off_t end = ::lseek(m_fileID, 0, SEEK_END);
    ::lseek(m_fileID, pos, SEEK_SET);
    return static_cast<long>(end);
}

long CMyFile::GetPos() { return static_cast<long>(::lseek(m_fileID, 0, SEEK_CUR)); }

bool CMyFile::SetPos(long pos) { return ::lseek(m_fileID, pos, SEEK_SET) == pos; }

void CMyFile::Close() {
    if (m_fileID != -1) ::close(m_fileID);
    m_fileID = -1;
}

}  // namespace Utils
}  // namespace Vastrel
