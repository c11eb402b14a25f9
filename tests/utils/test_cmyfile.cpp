#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "UtilsSrc/cmyfile.h"
#include "errorreport_capture.h"

using Vastrel::Utils::CMyFile;

namespace {

const char kDigits[] = "0123456789";
const long kDigitCount = 10;

class CMyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = ::testing::TempDir() + "cmyfile_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CMyFile writer;
        writer.CreateBin(m_path.c_str(), CMyFile::CREATE_READWRITE);
        ASSERT_EQ(writer.WriteBin(kDigits, kDigitCount), kDigitCount);
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    CMyFile OpenDigits() {
        CMyFile file;
        EXPECT_TRUE(file.OpenBin(m_path.c_str(), CMyFile::OPEN_READWRITE));
        return file;
    }

    std::string m_path;
};

}  // namespace

TEST_F(CMyFileTest, ReadSucceedsUpToTheLastByteAndNotOneBeyond) {
    CMyFile file = OpenDigits();
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 6, 4), buffer);
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(file.Read(buffer, 0, kDigitCount), buffer);

    char untouched[16] = "unchanged";
    EXPECT_EQ(file.Read(untouched, 6, 5), nullptr);
    EXPECT_EQ(file.Read(untouched, kDigitCount + 1, 0), nullptr);
    EXPECT_EQ(file.Read(untouched, -1, 2), nullptr);
    EXPECT_EQ(file.Read(untouched, LONG_MAX, 1), nullptr);
    EXPECT_EQ(file.Read(untouched, 1, LONG_MAX), nullptr);
    EXPECT_STREQ(untouched, "unchanged");
}

TEST_F(CMyFileTest, LengthKeepsThePosition) {
    CMyFile file = OpenDigits();
    ASSERT_TRUE(file.SetPos(3));
    EXPECT_EQ(file.GetLength(), kDigitCount);
    EXPECT_EQ(file.GetPos(), 3);
}

TEST_F(CMyFileTest, ReadBinReadsFromThePositionAndZeroFillsPastTheEnd) {
    CMyFile file = OpenDigits();
    file.SetPos(7);
    std::unique_ptr<char[]> bytes(file.ReadBin(5));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::memcmp(bytes.get(), "789\0\0", 5), 0);
    EXPECT_EQ(file.ReadBin(-1), nullptr);
}

TEST_F(CMyFileTest, WriteAtAnOffsetOverwritesInPlace) {
    CMyFile file = OpenDigits();
    EXPECT_EQ(file.Write("ab", 4, 2), 2);
    char buffer[11] = {};
    EXPECT_EQ(file.Read(buffer, 0, kDigitCount), buffer);
    EXPECT_STREQ(buffer, "0123ab6789");
}

TEST_F(CMyFileTest, CopiesOwnTheirOwnDescriptor) {
    CMyFile original = OpenDigits();
    CMyFile copy(original);
    EXPECT_NE(copy.GetFileID(), original.GetFileID());
    original.Close();
    EXPECT_EQ(original.GetFileID(), -1);
    char buffer[3] = {};
    EXPECT_EQ(copy.Read(buffer, 0, 2), buffer);
    EXPECT_STREQ(buffer, "01");
}

TEST(CMyFile, OpenFailureReports116WithTheNameAndLeavesTheFileClosed) {
    ErrorReportCapture capture;
    CMyFile file;
    EXPECT_FALSE(file.Open("no/such/file.xml", CMyFile::OPEN_READ));
    EXPECT_FALSE(file.OpenBin("no/such/file.xml", CMyFile::OPEN_READ));
    EXPECT_EQ(file.GetFileID(), -1);
    ASSERT_EQ(capture.reports.size(), 2u);
    EXPECT_EQ(capture.reports[0].messageId, 116);
    EXPECT_EQ(capture.reports[0].description, "Don't find this file: no/such/file.xml");
}

TEST(CMyFile, ClosedFileRefusesEveryOperationQuietly) {
    CMyFile file;
    char buffer[4] = "abc";
    EXPECT_EQ(file.GetLength(), -1);
    EXPECT_EQ(file.Read(buffer, 0, 0), nullptr);
    EXPECT_EQ(file.WriteBin(buffer, 3), -1);
    EXPECT_EQ(file.ReadBin(buffer, 3), -1);
}
