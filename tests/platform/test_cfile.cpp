#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "afx.h"

namespace {

class TempPath {
public:
    TempPath() : m_path(testing::TempDir() + "cfile_" + std::to_string(getpid()) + ".bin") {}
    ~TempPath() { std::remove(m_path.c_str()); }
    const char* c_str() const { return m_path.c_str(); }

private:
    std::string m_path;
};

std::string ReadAll(CFile& file) {
    std::string text(static_cast<size_t>(file.GetLength()), '\0');
    file.SeekToBegin();
    EXPECT_EQ(file.Read(&text[0], static_cast<UINT>(text.size())), text.size());
    return text;
}

}  // namespace

TEST(CFile, OpenFailuresReportCauseAndName) {
    const std::string missing = testing::TempDir() + "no_such_dir/file.bin";
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_strFileName, missing.c_str());
    EXPECT_FALSE(file.Open(testing::TempDir().c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied) << "directories are not files";
    try {
        CFile thrown(missing.c_str(), CFile::modeRead);
        ADD_FAILURE() << "constructor did not throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    }
}

TEST(CFile, WritesSeeksAndReportsItsPath) {
    TempPath path;
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    file.Write("hello world", 11);
    EXPECT_EQ(file.GetLength(), 11u);
    EXPECT_EQ(file.Seek(-5, CFile::end), 6u);
    char word[6] = {};
    EXPECT_EQ(file.Read(word, 10), 5u) << "short only at the end";
    EXPECT_STREQ(word, "world");
    EXPECT_EQ(file.SeekToEnd(), 11u);
    EXPECT_EQ(file.GetFileName(), CString(path.c_str()).Mid(CString(path.c_str()).ReverseFind('/') + 1));
    EXPECT_EQ(file.GetFilePath().Left(1), "/");
    EXPECT_THROW(file.Seek(-1, CFile::begin), CFileException);
    file.Close();
    EXPECT_TRUE(file.GetFilePath().IsEmpty());
}

TEST(CFile, CreateTruncatesUnlessNoTruncate) {
    TempPath path;
    { CFile(path.c_str(), CFile::modeCreate | CFile::modeWrite).Write("abcdef", 6); }
    {
        CFile kept(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        EXPECT_EQ(ReadAll(kept), "abcdef");
    }
    CFile truncated(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(truncated.GetLength(), 0u);
}

TEST(CMemFile, GrowsAndZeroFillsGapsAfterSeekingPastTheEnd) {
    CMemFile file(4);
    file.Write("abcdefghij", 10);
    file.Seek(3, CFile::end);
    file.Write("z", 1);
    ASSERT_EQ(file.GetLength(), 14u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.GetData()), 14), std::string("abcdefghij\0\0\0z", 14));
    EXPECT_THROW(file.Seek(-1, CFile::begin), CFileException);
    BYTE* owned = file.Detach();
    EXPECT_EQ(file.GetLength(), 0u);
    std::free(owned);
}

TEST(CMemFile, AttachedBuffersAreReadFixedOrCopiedWhenOutgrown) {
    BYTE fixed[4] = {1, 2, 3, 4};
    CMemFile reader(fixed, sizeof fixed);
    BYTE got[8] = {};
    EXPECT_EQ(reader.Read(got, 8), 4u);
    EXPECT_EQ(got[3], 4);
    EXPECT_THROW(reader.Write("x", 1), CMemoryException) << "a fixed buffer cannot grow";

    BYTE small[2] = {0, 0};
    CMemFile writer;
    writer.Attach(small, sizeof small, 16);
    EXPECT_EQ(writer.GetLength(), 0u) << "a growable attachment starts empty";
    writer.Write("abcd", 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(writer.GetData()), 4), "abcd");
    EXPECT_EQ(small[0], 0) << "the caller's buffer is left alone once outgrown";
    EXPECT_EQ(reader.Detach(), fixed);
}
