// CMyFile: a thin wrapper over one low-level file descriptor.
#pragma once

#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Text and binary mode are the same on this platform; the *Bin operations
// exist so that callers read as they would on Windows. Offsets and counts are
// in bytes. Failed operations leave the descriptor as it was.
class PYRELUNE_API CMyFile {
public:
    // Permission bits for a created file (values of creat()).
    enum CreateMode { CREATE_READ = 0444, CREATE_WRITE = 0200, CREATE_READWRITE = 0644 };
    // Access flags for an existing file (values of open()).
    enum OpenMode { OPEN_READ = 0, OPEN_WRITE = 1, OPEN_READWRITE = 2 };

    CMyFile() = default;
    // Copies own a duplicate of the descriptor, so each closes its own.
    CMyFile(const CMyFile& other);
    CMyFile& operator=(const CMyFile& other);
    ~CMyFile();

    // Creates or truncates; always true (a failed create leaves the file
    // closed, and later calls on it fail quietly).
    bool Create(const char* name, CreateMode mode);
    bool CreateBin(const char* name, CreateMode mode);
    // False, with report 116 naming the file, when it cannot be opened.
    bool Open(const char* name, OpenMode mode);
    bool OpenBin(const char* name, OpenMode mode);

    // Reads count bytes at offset into buffer and returns buffer; null, with
    // nothing read, when the range does not lie inside the file.
    char* Read(char* buffer, long offset, long count);
    // A new[] array of count bytes (caller deletes), filled from the current
    // position; bytes past the end of the file are zero. Null for count < 0.
    char* ReadBin(long count);
    // Bytes read from the current position, or -1.
    long ReadBin(char* buffer, long count);
    // Bytes written, or -1.
    long Write(const char* data, long offset, long count);
    long WriteBin(const char* data, long count);

    // -1 when closed; the position is kept.
    long GetLength();
    long GetPos();
    bool SetPos(long pos);
    int GetFileID() const { return m_fileID; }
    void Close();

private:
    int m_fileID = -1;  // -1 while closed
};

}  // namespace Utils
}  // namespace Vastrel
