// CMemoryManager: the allocation tracker a host can hook its allocations into.
#pragma once

#include <list>

#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Records allocations the host announces with New and matches them against
// the frees it announces with Delete, reporting frees of the wrong family
// (new / new [] / the malloc family) and pointers recorded twice. Print lists
// what is still recorded as leaked; the process-wide instance prints when the
// library unloads. Not locked: meant for the host's main thread.
class PYRELUNE_API CMemoryManager {
public:
    enum AllocType {
        ALLOC_NEW = 0,
        ALLOC_NEW_ARRAY = 1,
        ALLOC_MALLOC = 2,
        ALLOC_CALLOC = 3,
        ALLOC_REALLOC = 4,
        ALLOC_DELETE = 5,
        ALLOC_DELETE_ARRAY = 6,
        ALLOC_FREE = 7,
    };

    struct SAllocRecord {
        DWORD id;
        void* pointer;
        DWORD size;
        CString sourceFile;
        DWORD line;
        AllocType type;
    };

    CMemoryManager() = default;
    ~CMemoryManager();

    static CMemoryManager* GetMemoryManager();

    // File and line given to the next New; reset by it.
    void SetDatas(const CString& sourceFile, DWORD line);
    void SetBreakAlloc(DWORD allocation);
    void New(void* pointer, DWORD size, AllocType type);
    // A pointer that no record holds is ignored.
    void Delete(void* pointer, AllocType type);
    // The leak report, into the log "memleaks.txt".
    void Print();
    // Releases every recorded pointer as its record's type says, then forgets
    // them all.
    void FreeAll();

    // The host's allocation hooks skip tracking while a flag is false, so the
    // tracker's own allocations are not recorded. Both are true when idle.
    bool m_recordsIdle = true;  // false while the records change or are walked
    bool m_bulkIdle = true;     // false while Print or FreeAll run

    static CMemoryManager m_memoryManager;

private:
    typedef std::list<SAllocRecord> RecordList;

    void ReportMismatch(const SAllocRecord& record, AllocType deleteType) const;
    void ReportDuplicates(RecordList::const_iterator from, const void* pointer) const;

    RecordList m_records;
    CString m_pendingFile = "Unknown";
    DWORD m_pendingLine = 0;
    DWORD m_breakAlloc = 0;  // stored for the host's debugger; not used here
    DWORD m_allocCount = 0;
};

}  // namespace Utils
}  // namespace Vastrel
