#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "UtilsSrc/memorymanager.h"
#include "errorreport_capture.h"

using Vastrel::Utils::CMemoryManager;

namespace {

// Never dereferenced or freed; the high bits show whether addresses print whole.
void* FakePointer(uintptr_t address) { return reinterpret_cast<void*>(address); }

const uintptr_t kAddress = 0x7f00deadbeefULL;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(CMemoryManager, FreeOfANewRecordReportsTheMismatchAndStillRemovesIt) {
    ErrorReportCapture capture;
    CMemoryManager tracker;
    tracker.SetDatas("host.cpp", 7);
    tracker.New(FakePointer(kAddress), 16, CMemoryManager::ALLOC_NEW);
    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_FREE);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].messageId, 0);
    EXPECT_EQ(capture.reports[0].description,
              "Ptr: 7f00deadbeef new Type (new) != delete type (free) !!! File: host.cpp Line: 7");

    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_FREE);
    EXPECT_EQ(capture.reports.size(), 1u);
}

TEST(CMemoryManager, OnlyFreesOfAnotherFamilyAreReported) {
    struct Row {
        CMemoryManager::AllocType allocated, released;
        bool reported;
    };
    const Row rows[] = {
        {CMemoryManager::ALLOC_NEW, CMemoryManager::ALLOC_DELETE, false},
        {CMemoryManager::ALLOC_NEW_ARRAY, CMemoryManager::ALLOC_DELETE_ARRAY, false},
        {CMemoryManager::ALLOC_MALLOC, CMemoryManager::ALLOC_FREE, false},
        {CMemoryManager::ALLOC_CALLOC, CMemoryManager::ALLOC_FREE, false},
        {CMemoryManager::ALLOC_REALLOC, CMemoryManager::ALLOC_FREE, false},
        {CMemoryManager::ALLOC_NEW_ARRAY, CMemoryManager::ALLOC_DELETE, true},
        {CMemoryManager::ALLOC_NEW, CMemoryManager::ALLOC_DELETE_ARRAY, true},
        {CMemoryManager::ALLOC_CALLOC, CMemoryManager::ALLOC_DELETE, true},
    };
    for (const Row& row : rows) {
        ErrorReportCapture capture;
        CMemoryManager tracker;
        tracker.New(FakePointer(kAddress), 4, row.allocated);
        tracker.Delete(FakePointer(kAddress), row.released);
        EXPECT_EQ(capture.reports.size(), row.reported ? 1u : 0u)
            << "allocated " << row.allocated << ", released " << row.released;
    }
}

TEST(CMemoryManager, UnknownPointerChangesNothingAndReportsNothing) {
    ErrorReportCapture capture;
    CMemoryManager tracker;
    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_FREE);
    tracker.New(FakePointer(kAddress), 4, CMemoryManager::ALLOC_NEW);
    tracker.Delete(FakePointer(kAddress + 8), CMemoryManager::ALLOC_FREE);
    EXPECT_TRUE(capture.reports.empty());

    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_FREE);
    EXPECT_EQ(capture.reports.size(), 1u) << "the record must still be there";
}

TEST(CMemoryManager, PointerRecordedTwiceIsReportedAsAlreadyDeletedAndKept) {
    ErrorReportCapture capture;
    CMemoryManager tracker;
    tracker.New(FakePointer(kAddress), 4, CMemoryManager::ALLOC_NEW);
    tracker.SetDatas("second.cpp", 21);
    tracker.New(FakePointer(kAddress), 4, CMemoryManager::ALLOC_NEW);
    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_DELETE);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].description,
              "Ptr: 7f00deadbeef already deleted, found again! File: second.cpp Line: 21");

    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_DELETE);
    EXPECT_EQ(capture.reports.size(), 1u);
    tracker.Delete(FakePointer(kAddress), CMemoryManager::ALLOC_FREE);
    EXPECT_EQ(capture.reports.size(), 1u) << "both records must be gone";
}

TEST(CMemoryManager, PendingFileAndLineApplyToTheNextRecordOnly) {
    ErrorReportCapture capture;
    CMemoryManager tracker;
    tracker.SetDatas("first.cpp", 3);
    tracker.New(FakePointer(kAddress), 4, CMemoryManager::ALLOC_NEW);
    tracker.New(FakePointer(kAddress + 8), 4, CMemoryManager::ALLOC_NEW);
    tracker.Delete(FakePointer(kAddress + 8), CMemoryManager::ALLOC_FREE);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_TRUE(Contains(capture.reports[0].description, "File: Unknown Line: 0"));
    tracker.Print();
    EXPECT_TRUE(tracker.m_recordsIdle && tracker.m_bulkIdle);
}

TEST(CMemoryManager, FreeAllReleasesEachRecordByItsTypeAndForgetsThem) {
    ErrorReportCapture capture;
    CMemoryManager tracker;
    void* scalar = new int(5);
    void* array = new char[8];
    void* block = std::malloc(8);
    void* zeroed = std::calloc(2, 8);
    void* grown = std::realloc(nullptr, 8);
    tracker.New(scalar, sizeof(int), CMemoryManager::ALLOC_NEW);
    tracker.New(array, 8, CMemoryManager::ALLOC_NEW_ARRAY);
    tracker.New(block, 8, CMemoryManager::ALLOC_MALLOC);
    tracker.New(zeroed, 16, CMemoryManager::ALLOC_CALLOC);
    tracker.New(grown, 8, CMemoryManager::ALLOC_REALLOC);
    tracker.FreeAll();
    EXPECT_TRUE(tracker.m_recordsIdle && tracker.m_bulkIdle);

    tracker.Delete(scalar, CMemoryManager::ALLOC_FREE);
    tracker.Delete(array, CMemoryManager::ALLOC_FREE);
    EXPECT_TRUE(capture.reports.empty());
}
