#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "afx.h"
#include "platform/d3dxarchive.h"

// Records the largest single allocation, so the corrupt-prefix tests can tell
// that no buffer was sized from the claimed length.
namespace {
size_t g_largestAllocation = 0;
}

void* operator new(size_t size) {
    if (size > g_largestAllocation) g_largestAllocation = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Out of line, so the compiler does not pair the inlined free() with new.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using Bytes = std::vector<BYTE>;

Bytes Store(const std::function<void(CArchive&)>& write, int bufferSize = 4096) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store, bufferSize);
        write(ar);
    }
    return Bytes(file.GetData(), file.GetData() + file.GetLength());
}

// Loads from a copy of the bytes attached as a fixed memory file.
void Load(Bytes bytes, const std::function<void(CArchive&)>& read, int bufferSize = 4096) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load, bufferSize);
    read(ar);
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (BYTE b : bytes) {
        std::snprintf(part, sizeof part, "%02X ", b);
        text += part;
    }
    return text;
}

template <typename T>
T LoadOne(const Bytes& bytes) {
    T value{};
    Load(bytes, [&](CArchive& ar) { ar >> value; });
    return value;
}

int ArchiveCause(const std::function<void()>& action) {
    try {
        action();
    } catch (const CArchiveException& e) {
        return e.m_cause;
    }
    return CArchiveException::none;
}

enum ETestKind { kindZero, kindThree = 3 };

class TempPath {
public:
    TempPath() : m_path(testing::TempDir() + "carchive_" + std::to_string(getpid()) + ".bin") {}
    ~TempPath() { std::remove(m_path.c_str()); }
    const char* c_str() const { return m_path.c_str(); }

private:
    std::string m_path;
};

}  // namespace

TEST(CArchive, ScalarsAreRawLittleEndian) {
    struct Row {
        const char* label;
        std::function<void(CArchive&)> write;
        Bytes expected;
    };
    const Row rows[] = {
        {"bool true", [](CArchive& ar) { ar << true; }, {0x01}},
        {"bool false", [](CArchive& ar) { ar << false; }, {0x00}},
        {"char", [](CArchive& ar) { ar << 'A'; }, {0x41}},
        {"WORD", [](CArchive& ar) { ar << WORD(0x1234); }, {0x34, 0x12}},
        {"short -2", [](CArchive& ar) { ar << short(-2); }, {0xFE, 0xFF}},
        {"int -2", [](CArchive& ar) { ar << -2; }, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"DWORD", [](CArchive& ar) { ar << DWORD(0x11223344); }, {0x44, 0x33, 0x22, 0x11}},
        {"long is 4 bytes", [](CArchive& ar) { ar << -2L; }, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"unsigned long is 4 bytes", [](CArchive& ar) { ar << 0xFF000102UL; }, {0x02, 0x01, 0x00, 0xFF}},
        {"long long", [](CArchive& ar) { ar << -2LL; }, {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"enum", [](CArchive& ar) { ar << kindThree; }, {0x03, 0x00, 0x00, 0x00}},
        {"float 1.0", [](CArchive& ar) { ar << 1.0f; }, {0x00, 0x00, 0x80, 0x3F}},
        {"double 1.0", [](CArchive& ar) { ar << 1.0; }, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {"literal as string", [](CArchive& ar) { ar << "ab"; }, {0x02, 'a', 'b'}},
    };
    for (const Row& row : rows) EXPECT_EQ(Hex(Store(row.write)), Hex(row.expected)) << row.label;
}

TEST(CArchive, ScalarsRoundTripAndAnyNonZeroByteIsTrue) {
    const Bytes bytes = Store([](CArchive& ar) {
        ar << -7 << 4000000000u << -3L << 0xDEADBEEFUL << -5LL << 2.5f << -0.125 << kindThree << short(-9);
    });
    Load(bytes, [](CArchive& ar) {
        int i; unsigned u; long l; unsigned long ul; long long ll; float f; double d; ETestKind e; short s;
        ar >> i >> u >> l >> ul >> ll >> f >> d >> e >> s;
        EXPECT_EQ(i, -7); EXPECT_EQ(u, 4000000000u); EXPECT_EQ(l, -3L); EXPECT_EQ(ul, 0xDEADBEEFUL);
        EXPECT_EQ(ll, -5LL); EXPECT_EQ(f, 2.5f); EXPECT_EQ(d, -0.125); EXPECT_EQ(e, kindThree); EXPECT_EQ(s, -9);
    });
    for (BYTE b : {0x01, 0x02, 0x80, 0xFF}) EXPECT_TRUE(LoadOne<bool>({b})) << int(b);
    EXPECT_FALSE(LoadOne<bool>({0x00}));
}

TEST(CArchive, D3DXValuesAreRawFloatBlocks) {
    D3DXMATRIX matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i / 4][i % 4] = float(i + 1);
    const Bytes bytes = Store([&](CArchive& ar) { ar << D3DXVECTOR3(1.0f, 2.0f, 3.0f) << matrix; });
    ASSERT_EQ(bytes.size(), 12u + 64u);
    EXPECT_EQ(Hex(Bytes(bytes.begin(), bytes.begin() + 12)), "00 00 80 3F 00 00 00 40 00 00 40 40 ");
    EXPECT_EQ(Hex(Bytes(bytes.begin() + 16, bytes.begin() + 20)), "00 00 00 40 ") << "_12 follows _11";
    EXPECT_EQ(Hex(Bytes(bytes.end() - 4, bytes.end())), "00 00 80 41 ") << "_44 = 16 is last";

    const D3DXVECTOR2 v2(-1.0f, 0.5f);
    const D3DXVECTOR4 v4(1.0f, 2.0f, 3.0f, 4.0f);
    const D3DXQUATERNION q(0.0f, 0.0f, 0.7071f, 0.7071f);
    Load(Store([&](CArchive& ar) { ar << v2 << v4 << q << matrix; }), [&](CArchive& ar) {
        D3DXVECTOR2 r2; D3DXVECTOR4 r4; D3DXQUATERNION rq; D3DXMATRIXA16 rm;
        ar >> r2 >> r4 >> rq >> rm;
        EXPECT_EQ(r2, v2); EXPECT_EQ(r4, v4); EXPECT_EQ(rq, q); EXPECT_EQ(D3DXMATRIX(rm), matrix);
    });
}

TEST(CArchive, StringLengthPrefixesMatchMfc) {
    struct Row {
        size_t length;
        Bytes prefix;
    };
    const Row rows[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Row& row : rows) {
        std::string text(row.length, 'x');
        if (!text.empty()) text.back() = 'z';
        const CString original(text);
        // A small buffer sends long strings past it straight to the file.
        const Bytes bytes = Store([&](CArchive& ar) { ar << original; }, 128);
        ASSERT_EQ(bytes.size(), row.prefix.size() + row.length) << "length " << row.length;
        EXPECT_EQ(Hex(Bytes(bytes.begin(), bytes.begin() + row.prefix.size())), Hex(row.prefix))
            << "length " << row.length;
        CString loaded("stale");
        Load(bytes, [&](CArchive& ar) { ar >> loaded; }, 128);
        EXPECT_EQ(loaded, original) << "length " << row.length;
    }
}

TEST(CArchive, WideStringsAreNarrowedWithoutCrashing) {
    EXPECT_EQ(Hex(Store([](CArchive& ar) { AfxWriteStringLength(ar, 3, TRUE); })), "FF FE FF 03 ");
    const Bytes wide = {0xFF, 0xFE, 0xFF, 0x03, 'a', 0x00, 0xE9, 0x00, 0xA9, 0x03};
    Load(wide, [](CArchive& ar) {
        int charSize = 0;
        EXPECT_EQ(AfxReadStringLength(ar, charSize), 3u);
        EXPECT_EQ(charSize, 2);
    });
    EXPECT_EQ(LoadOne<CString>(wide), "a\xE9?");
}

TEST(CArchive, WrongDirectionThrowsWithCauseAndFileName) {
    TempPath path;
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    struct Row {
        const char* label;
        UINT mode;
        int cause;
        std::function<void(CArchive&)> action;
    };
    const Row rows[] = {
        {"int to loading", CArchive::load, CArchiveException::readOnly, [](CArchive& ar) { ar << 1; }},
        {"block to loading", CArchive::load, CArchiveException::readOnly, [](CArchive& ar) { ar.Write("x", 1); }},
        {"string to loading", CArchive::load, CArchiveException::readOnly, [](CArchive& ar) { ar << CString("x"); }},
        {"vector to loading", CArchive::load, CArchiveException::readOnly,
         [](CArchive& ar) { ar << D3DXVECTOR3(0, 0, 0); }},
        {"int from storing", CArchive::store, CArchiveException::writeOnly, [](CArchive& ar) { int i; ar >> i; }},
        {"bool from storing", CArchive::store, CArchiveException::writeOnly, [](CArchive& ar) { bool b; ar >> b; }},
        {"block from storing", CArchive::store, CArchiveException::writeOnly,
         [](CArchive& ar) { char c; ar.Read(&c, 1); }},
        {"string from storing", CArchive::store, CArchiveException::writeOnly,
         [](CArchive& ar) { CString s; ar >> s; }},
        {"matrix from storing", CArchive::store, CArchiveException::writeOnly,
         [](CArchive& ar) { D3DXMATRIX m; ar >> m; }},
    };
    for (const Row& row : rows) {
        CArchive ar(&file, row.mode);
        try {
            row.action(ar);
            ADD_FAILURE() << row.label << ": no exception";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, row.cause) << row.label;
            EXPECT_EQ(e.m_strFileName, file.GetFilePath()) << row.label;
            EXPECT_FALSE(e.m_strFileName.IsEmpty()) << row.label;
        }
    }
}

TEST(CArchive, TruncatedDataThrowsEndOfFile) {
    struct Row {
        const char* label;
        Bytes bytes;
        std::function<void(CArchive&)> read;
    };
    const Row rows[] = {
        {"int of 3 bytes", {1, 2, 3}, [](CArchive& ar) { int i; ar >> i; }},
        {"empty bool", {}, [](CArchive& ar) { bool b; ar >> b; }},
        {"vector of 8 bytes", Bytes(8, 0), [](CArchive& ar) { D3DXVECTOR3 v; ar >> v; }},
        {"string short of its length", {5, 'a', 'b'}, [](CArchive& ar) { CString s; ar >> s; }},
        {"prefix cut inside its word", {0xFF, 0xFF}, [](CArchive& ar) { CString s; ar >> s; }},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ArchiveCause([&] { Load(row.bytes, row.read); }), CArchiveException::endOfFile) << row.label;
    }
}

TEST(CArchive, HugeLengthPrefixThrowsBeforeAllocating) {
    const Bytes prefixes[] = {
        {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'},                     // 4 GB narrow
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},                 // 2 G wide
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0, 'a'},       // 64-bit length
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    TempPath path;
    for (const Bytes& bytes : prefixes) {
        g_largestAllocation = 0;
        EXPECT_EQ(ArchiveCause([&] { Load(bytes, [](CArchive& ar) { CString s; ar >> s; }); }),
                  CArchiveException::endOfFile) << Hex(bytes);
        {
            CFile out(path.c_str(), CFile::modeCreate | CFile::modeWrite);
            out.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        }
        CFile in(path.c_str(), CFile::modeRead);
        EXPECT_EQ(ArchiveCause([&] { CArchive ar(&in, CArchive::load); CString s; ar >> s; }),
                  CArchiveException::endOfFile) << "file " << Hex(bytes);
        EXPECT_LT(g_largestAllocation, 1u << 20) << Hex(bytes);
    }
}

TEST(CArchive, RecordRoundTripsThroughFileAndMemoryAlike) {
    const CString name(std::string(300, 'n'));
    const D3DXVECTOR3 position(1.5f, -2.0f, 8.0f);
    auto write = [&](CArchive& ar) { ar << 42 << true << name << position << 0.25f; };
    auto read = [&](CArchive& ar) {
        int i; bool b; CString s; D3DXVECTOR3 v; float f;
        ar >> i >> b >> s >> v >> f;
        EXPECT_EQ(i, 42); EXPECT_TRUE(b); EXPECT_EQ(s, name); EXPECT_EQ(v, position); EXPECT_EQ(f, 0.25f);
    };
    TempPath path;
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
        CArchive ar(&file, CArchive::store, 128);
        write(ar);
        ar.Close();
    }
    CFile file(path.c_str(), CFile::modeRead | CFile::shareDenyNone);
    const Bytes memoryBytes = Store(write);
    Bytes fileBytes(static_cast<size_t>(file.GetLength()));
    file.Read(fileBytes.data(), static_cast<UINT>(fileBytes.size()));
    EXPECT_EQ(fileBytes, memoryBytes);
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load, 128);
    read(ar);
    Load(memoryBytes, read);
}

TEST(CArchive, CloseLeavesTheFileAtTheConsumedPosition) {
    CMemFile file;
    file.Write("\x01\x00\x00\x00\x02\x00\x00\x00", 8);
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    int first = 0;
    ar >> first;
    ar.Close();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(file.GetPosition(), 4u);
}

TEST(CArchive, DestructorFlushesUnlessTold) {
    CMemFile flushed;
    { CArchive(&flushed, CArchive::store) << 7; }
    EXPECT_EQ(flushed.GetLength(), 4u);
    CMemFile dropped;
    { CArchive(&dropped, CArchive::store | CArchive::bNoFlushOnDelete) << 7; }
    EXPECT_EQ(dropped.GetLength(), 0u);
}

TEST(CArchive, TextLinesDropTheirEndings) {
    const Bytes bytes = Store([](CArchive& ar) { ar.WriteString("first\r\nsecond\nlast"); });
    Load(bytes, [](CArchive& ar) {
        CString line;
        EXPECT_TRUE(ar.ReadString(line)); EXPECT_EQ(line, "first");
        EXPECT_TRUE(ar.ReadString(line)); EXPECT_EQ(line, "second");
        EXPECT_TRUE(ar.ReadString(line)); EXPECT_EQ(line, "last");
        EXPECT_FALSE(ar.ReadString(line));
    });
}
