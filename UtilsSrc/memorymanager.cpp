#include "UtilsSrc/memorymanager.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "UtilsSrc/cmylog.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/initorder.h"

namespace Vastrel {
namespace Utils {

// The process-wide tracker; constructed after the logs at library load and
// destroyed (printing its leak report) at unload.
CMemoryManager CMemoryManager::m_memoryManager PYRELUNE_INIT_TRACKER;

namespace {

enum class Family { None, Scalar, Array, Malloc };

struct TypeInfo {
    const char* name;
    Family allocatedAs;  // family when the type allocates
    Family releasedAs;   // family when the type frees
};

const TypeInfo kTypes[] = {
    {"new", Family::Scalar, Family::None},     {"new []", Family::Array, Family::None},
    {"malloc", Family::Malloc, Family::None},  {"calloc", Family::Malloc, Family::None},
    {"realloc", Family::Malloc, Family::None}, {"delete", Family::None, Family::Scalar},
    {"delete []", Family::None, Family::Array}, {"free", Family::None, Family::Malloc},
};
static_assert(sizeof kTypes / sizeof kTypes[0] == CMemoryManager::ALLOC_FREE + 1,
              "one row per AllocType");

const TypeInfo kUnknownType = {"unknown", Family::None, Family::None};

const TypeInfo& InfoOf(CMemoryManager::AllocType type) {
    const bool known = type >= CMemoryManager::ALLOC_NEW && type <= CMemoryManager::ALLOC_FREE;
    return known ? kTypes[type] : kUnknownType;
}

// Pointers are printed in full as 64-bit hexadecimal; they do not fit "%x".
unsigned long long AddressOf(const void* pointer) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer));
}

void Release(const CMemoryManager::SAllocRecord& record) {
    switch (record.type) {
        case CMemoryManager::ALLOC_NEW: ::operator delete(record.pointer); break;
        case CMemoryManager::ALLOC_NEW_ARRAY: ::operator delete[](record.pointer); break;
        default: std::free(record.pointer); break;
    }
}

}  // namespace

CMemoryManager::~CMemoryManager() { Print(); }

CMemoryManager* CMemoryManager::GetMemoryManager() { return &m_memoryManager; }

void CMemoryManager::SetDatas(const CString& sourceFile, DWORD line) {
    m_pendingFile = sourceFile;
    m_pendingLine = line;
}

void CMemoryManager::SetBreakAlloc(DWORD allocation) { m_breakAlloc = allocation; }

void CMemoryManager::New(void* pointer, DWORD size, AllocType type) {
    m_recordsIdle = false;
    ++m_allocCount;
    m_records.push_back({m_allocCount, pointer, size, m_pendingFile, m_pendingLine, type});
    m_pendingFile = "Unknown";
    m_pendingLine = 0;
    m_recordsIdle = true;
}

void CMemoryManager::Delete(void* pointer, AllocType type) {
    if (m_records.empty()) return;
    m_recordsIdle = false;
    const auto holds = [pointer](const SAllocRecord& record) { return record.pointer == pointer; };
    const auto first = std::find_if(m_records.begin(), m_records.end(), holds);
    if (first != m_records.end()) {
        ReportMismatch(*first, type);
        ReportDuplicates(m_records.erase(first), pointer);
    }
    m_recordsIdle = true;
}

void CMemoryManager::Print() {
    if (m_records.empty()) return;
    m_recordsIdle = m_bulkIdle = false;
    unsigned long long total = 0;
    for (const SAllocRecord& record : m_records) total += record.size;
    CMyLog log("memleaks.txt");
    log.Add("\nMemory Leak Count: %d", static_cast<int>(m_records.size()));
    log.Add("Memory Leak Byte Size: %llu", total);
    log.Add("\n%s\n", CString('*', 58).GetString());
    for (const SAllocRecord& record : m_records) {
        log.Add("Memory Leak %d: Pointer: %llx, Size: %d, Type: %s, File: %s, Line: %d",
                static_cast<int>(record.id), AddressOf(record.pointer),
                static_cast<int>(record.size), InfoOf(record.type).name,
                record.sourceFile.GetString(), static_cast<int>(record.line));
    }
    m_recordsIdle = m_bulkIdle = true;
}

void CMemoryManager::FreeAll() {
    m_recordsIdle = m_bulkIdle = false;
    for (const SAllocRecord& record : m_records) Release(record);
    m_records.clear();
    m_recordsIdle = m_bulkIdle = true;
}

void CMemoryManager::ReportMismatch(const SAllocRecord& record, AllocType deleteType) const {
    const TypeInfo& allocated = InfoOf(record.type);
    const TypeInfo& released = InfoOf(deleteType);
    if (allocated.allocatedAs == released.releasedAs) return;
    detail::ReportText(__FILE__, __LINE__,
                       "Ptr: %llx new Type (%s) != delete type (%s) !!! File: %s Line: %d",
                       AddressOf(record.pointer), allocated.name, released.name,
                       record.sourceFile.GetString(), static_cast<int>(record.line));
}

void CMemoryManager::ReportDuplicates(RecordList::const_iterator from, const void* pointer) const {
    for (auto it = from; it != m_records.end(); ++it) {
        if (it->pointer != pointer) continue;
        detail::ReportText(__FILE__, __LINE__,
                           "Ptr: %llx already deleted, found again! File: %s Line: %d",
                           AddressOf(pointer), it->sourceFile.GetString(),
                           static_cast<int>(it->line));
    }
}

}  // namespace Utils
}  // namespace Vastrel
