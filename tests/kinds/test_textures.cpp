#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "UtilsSrc/cmyxmlparser.h"
#include "itexture.h"
#include "platform/swdevice.h"
#include "utils/errorreport_capture.h"
#include "support/testdevice.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;
using Vastrel::Utils::IXMLParser;

namespace fs = std::filesystem;

namespace {

// The images the test loader can give, by path; it records every request.
struct ImageLibrary {
    std::map<std::string, IDirect3DTexture9*> images;
    std::vector<std::string> requests;
};
ImageLibrary* g_library = nullptr;

void TestLoader(const CString& file, IDirect3DTexture9** ppTexture) {
    g_library->requests.push_back(file.str());
    const auto found = g_library->images.find(file.str());
    if (found != g_library->images.end()) *ppTexture = found->second;
}

std::vector<std::string> Strings(const std::vector<CString>& names) {
    return std::vector<std::string>(names.begin(), names.end());
}

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        m_device = CreateTestDevice(m_d3d, WindowedParams(4, 4, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
        for (IDirect3DTexture9*& frame : m_frames) {
            ASSERT_EQ(m_device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &frame, nullptr), D3D_OK);
        }
        g_library = &m_library;
        ITexture::RegisterTextureLoaderFunction(&TestLoader);
    }
    void TearDown() override {
        ITexture::RegisterTextureLoaderFunction(nullptr);
        g_library = nullptr;
        m_device->SetTexture(0, nullptr);
        for (IDirect3DTexture9* frame : m_frames) EXPECT_EQ(frame->Release(), 0u);
        EXPECT_EQ(m_device->Release(), 0u);
        EXPECT_EQ(m_d3d->Release(), 0u);
    }

    void Offer(const std::string& path, int frame) { m_library.images[path] = m_frames[frame]; }

    // What stage 0 holds after the texture binds itself there.
    IDirect3DBaseTexture9* BoundBy(const ITexture& texture) {
        texture.Enable(0, nullptr);
        IDirect3DBaseTexture9* bound = nullptr;
        m_device->GetTexture(0, &bound);
        if (bound) bound->Release();
        return bound;
    }

    // Four frames "f0".."f3" as a list texture.
    CAnimTexture FourFrames(bool loop) {
        for (int i = 0; i < 4; ++i) Offer("f" + std::to_string(i), i);
        const CString names[] = {"f0", "f1", "f2", "f3"};
        return CAnimTexture(m_device, names, 4, 2.0f, loop);
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    IDirect3DTexture9* m_frames[4] = {};
    ImageLibrary m_library;
    ErrorReportCapture m_reports;
};

// ==== Frames ====

TEST_F(TextureTest, SetFrameWrapsClampsOrKeepsTheBoundFrame) {
    struct Case {
        const char* label;
        bool loop;
        float frame;
        float expectedFrame;
        int expectedBound;
    };
    const Case cases[] = {
        {"wraps when looping", true, 5.5f, 1.5f, 1},
        {"clamps to the last frame", false, 5.5f, 3.0f, 3},
        {"negative keeps the frame bound before", true, -1.0f, -1.0f, 2},
        {"inside truncates", false, 2.9f, 2.9f, 2},
    };
    for (const Case& c : cases) {
        CAnimTexture texture = FourFrames(c.loop);
        texture.SetFrame(2.0f);
        texture.SetFrame(c.frame);
        EXPECT_FLOAT_EQ(texture.GetCurrentFrame(), c.expectedFrame) << c.label;
        EXPECT_EQ(BoundBy(texture), m_frames[c.expectedBound]) << c.label;
    }
}

TEST_F(TextureTest, UpdateMovesBySpeedAndUnbindsOutsideTheFrames) {
    CAnimTexture texture = FourFrames(false);
    texture.Update(0.5f);
    EXPECT_FLOAT_EQ(texture.GetCurrentFrame(), 1.0f);
    EXPECT_EQ(BoundBy(texture), m_frames[1]);

    texture.SetSpeed(-4.0f);
    texture.Update(0.5f);
    EXPECT_FLOAT_EQ(texture.GetCurrentFrame(), -1.0f);
    EXPECT_EQ(BoundBy(texture), nullptr);
}

TEST_F(TextureTest, ClearForgetsFramesNamesAndTheBinding) {
    CAnimTexture texture = FourFrames(true);
    texture.SetFrame(1.0f);
    texture.Clear();
    EXPECT_EQ(texture.GetFrameCount(), 0u);
    EXPECT_TRUE(texture.GetFileNames().empty());
    EXPECT_EQ(BoundBy(texture), nullptr);
}

// ==== Loading ====

TEST_F(TextureTest, ListKeepsEveryNameButOnlyTheLoadedFrames) {
    Offer("/fx/tex/a.dds", 0);
    Offer("/fx/tex/c.dds", 2);
    CMyXMLParser parser("/fx/fire.xml");
    CMyXMLNode element(&parser, "Texture");
    for (const char* name : {"tex/a.dds", "tex/b.dds", "tex/c.dds"}) element.AddChildren("AddTexture")->SetContent(name);
    element.AddChildren("Comment");

    const CAnimTexture texture(m_device, &element);
    EXPECT_EQ(Strings(texture.GetFileNames()), (std::vector<std::string>{"tex/a.dds", "tex/b.dds", "tex/c.dds", ""}));
    EXPECT_EQ(texture.GetFrameCount(), 2u);
    EXPECT_FLOAT_EQ(texture.GetSpeed(), 1.0f);
    EXPECT_TRUE(texture.GetLoop());
    ASSERT_EQ(m_reports.reports.size(), 2u) << "the missing file and the empty entry";
    EXPECT_EQ(m_reports.reports[0].messageId, 101);
    EXPECT_EQ(m_reports.reports[0].sourceFile, "src/itexture");
    EXPECT_NE(m_reports.reports[0].description.find("/fx/tex/b.dds"), std::string::npos);
}

TEST_F(TextureTest, NumberedFormLoadsZeroPaddedNamesBesideTheDocument) {
    CMyXMLParser parser("/data/fx/fire.xml");
    CMyXMLNode element(&parser, "Texture");
    element.SetAttribute("baseFileName", "../tex/smoke");
    element.SetAttribute("ext", "dds");
    element.SetAttribute("start", 1);
    element.SetAttribute("count", 3);
    element.SetAttribute("step", 2);

    const CAnimTexture texture(m_device, &element);
    EXPECT_EQ(Strings(texture.GetFileNames()),
              (std::vector<std::string>{"../tex/smoke0001.dds", "../tex/smoke0003.dds", "../tex/smoke0005.dds"}));
    EXPECT_EQ(m_library.requests, (std::vector<std::string>{"/data/tex/smoke0001.dds", "/data/tex/smoke0003.dds",
                                                            "/data/tex/smoke0005.dds"}));
    EXPECT_EQ(texture.GetBaseFileName().str(), "../tex/smoke");
    EXPECT_EQ(texture.GetStepSize(), 2);
}

TEST_F(TextureTest, NegativeOrAbsurdCountIsReportedAndLoadsNothing) {
    for (const char* count : {"-1", "10001", "2147483647"}) {
        m_reports.reports.clear();
        CMyXMLNode element(nullptr, "Texture");
        element.SetAttribute("baseFileName", "smoke");
        element.SetAttribute("count", count);
        const CAnimTexture texture(m_device, &element);
        EXPECT_EQ(texture.GetFrameCount(), 0u) << count;
        EXPECT_TRUE(texture.GetFileNames().empty()) << count;
        ASSERT_EQ(m_reports.reports.size(), 1u) << count;
        EXPECT_EQ(m_reports.reports[0].messageId, 0) << count;
        EXPECT_NE(m_reports.reports[0].description.find("'smoke'"), std::string::npos) << count;
    }
    EXPECT_TRUE(m_library.requests.empty());
}

TEST_F(TextureTest, AbsurdCountFromTheHostKeepsTheFramesLoadedBefore) {
    CAnimTexture texture = FourFrames(true);
    texture.Set("f", "dds", 0, 0xFFFFFFFFu, 1);
    EXPECT_EQ(texture.GetFrameCount(), 4u);
    EXPECT_EQ(m_reports.reports.size(), 1u);
}

TEST_F(TextureTest, WithoutLoaderEveryFileIsReportedAndNamesAreKept) {
    ITexture::RegisterTextureLoaderFunction(nullptr);
    const CTexture single(m_device, "a.png");
    const CString names[] = {"b.png", "c.png"};
    const CAnimTexture animated(m_device, names, 2, 1.0f, true);

    EXPECT_EQ(single.GetFileName().str(), "a.png");
    EXPECT_EQ(animated.GetFileNames().size(), 2u);
    EXPECT_EQ(animated.GetFrameCount(), 0u);
    ASSERT_EQ(m_reports.reports.size(), 3u);
    for (const CapturedReport& report : m_reports.reports) EXPECT_EQ(report.messageId, 101);
    EXPECT_EQ(BoundBy(single), nullptr);
}

// ==== Binding and kinds ====

TEST_F(TextureTest, EnableReachesTheStageOrTheEffectAndDisableClearsTheStage) {
    Offer("a.png", 1);
    const CTexture texture(m_device, "a.png");
    EXPECT_EQ(BoundBy(texture), m_frames[1]);
    texture.Disable(0);
    IDirect3DBaseTexture9* bound = m_frames[0];
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    const char text[] = "texture DiffuseTex;\ntechnique T { pass P { } }\n";
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(m_device, text, sizeof(text) - 1, nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    texture.Enable(0, effect);
    IDirect3DBaseTexture9* parameter = nullptr;
    effect->GetTexture("DiffuseTex", &parameter);
    EXPECT_EQ(parameter, m_frames[1]);
    if (parameter) parameter->Release();
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr) << "the effect path leaves the stage alone";
    effect->Release();
}

TEST_F(TextureTest, QueryInterfaceAnswersOnlyItsOwnKind) {
    CTexture single(m_device);
    CAnimTexture animated(m_device);
    void* out = &animated;
    EXPECT_FALSE(single.QueryInterface(1, &out));
    EXPECT_EQ(out, &animated) << "a refused query leaves the output alone";
    EXPECT_TRUE(single.QueryInterface(0, &out));
    EXPECT_EQ(out, &single);
    EXPECT_FALSE(animated.QueryInterface(0, &out));
    EXPECT_TRUE(animated.QueryInterface(1, &out));
    EXPECT_EQ(out, &animated);
}

// ==== Archive records ====

std::vector<unsigned char> Stored(const std::function<void(CArchive&)>& write) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        write(ar);
    }
    const unsigned char* data = file.GetData();
    return std::vector<unsigned char>(data, data + file.GetLength());
}

TEST_F(TextureTest, SingleRecordIsTypeWordThenFileName) {
    Offer("a.png", 0);
    const CTexture texture(m_device, "a.png");
    std::vector<unsigned char> bytes = Stored([&](CArchive& ar) { texture.Copy(ar); });
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0, 0, 0, 0, 5, 'a', '.', 'p', 'n', 'g'}));

    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    int type = -1;
    ar >> type;
    const CTexture copy(m_device, ar);
    EXPECT_EQ(copy.GetFileName().str(), "a.png");
    EXPECT_EQ(BoundBy(copy), m_frames[0]);
}

TEST_F(TextureTest, AnimatedRecordHoldsOneNamePerLoadedFrameThenSpeedAndLoop) {
    Offer("a", 0);
    Offer("c", 2);
    const CString names[] = {"a", "b", "c"};
    const CAnimTexture texture(m_device, names, 3, 2.0f, true);
    std::vector<unsigned char> bytes = Stored([&](CArchive& ar) { texture.Copy(ar); });
    EXPECT_EQ(bytes, (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 1, 'a', 1, 'b', 0, 0, 0, 0x40, 1}))
        << "the first names of the list, one per loaded frame";

    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    int type = -1;
    ar >> type;
    const CAnimTexture copy(m_device, ar);
    EXPECT_EQ(Strings(copy.GetFileNames()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(copy.GetFrameCount(), 1u);
    EXPECT_FLOAT_EQ(copy.GetSpeed(), 2.0f);
    EXPECT_TRUE(copy.GetLoop());
}

TEST_F(TextureTest, AnimatedRecordWithACountBeyondItsDataThrowsBeforeLoading) {
    std::vector<unsigned char> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 1, 'a'};
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    EXPECT_THROW(CAnimTexture(m_device, ar), CArchiveException);
    EXPECT_TRUE(m_library.requests.empty());
}

// ==== Documents ====

class TextureDocumentTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() / ("pyrelune_tex_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(m_folder / "fx");
        fs::create_directories(m_folder / "saved");
    }
    void TearDown() override {
        fs::remove_all(m_folder);
        TextureTest::TearDown();
    }

    std::string Path(const std::string& relative) const { return (m_folder / relative).string(); }

    // Reads the file, hands its root to make, and returns the result.
    template <class T>
    T ReadTexture(const std::string& path) {
        CMyXMLParser parser(path.c_str());
        IXMLParser* implementation = parser.Create();
        parser.Read(nullptr);
        EXPECT_NE(implementation->GetRoot(), nullptr) << path;
        return T(m_device, implementation->GetRoot());
    }

    template <class T>
    void WriteTexture(const T& texture, const std::string& path) {
        CMyXMLParser parser(path.c_str());
        parser.Create();
        CMyXMLNode root(&parser, "Texture");
        texture.Save(&root);
        parser.Write(&root, 1);
    }

    static std::string Text(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path m_folder;
};

TEST_F(TextureDocumentTest, SingleTextureRoundTripsWithAPathRelativeToEachDocument) {
    Offer(Path("tex/a.png"), 3);
    std::ofstream(Path("fx/in.xml")) << "<Texture name=\"t\" type=\"SINGLE\" fileName=\"../tex/a.png\"/>\n";
    const CTexture texture = ReadTexture<CTexture>(Path("fx/in.xml"));
    EXPECT_EQ(BoundBy(texture), m_frames[3]);

    WriteTexture(texture, Path("saved/out.xml"));
    EXPECT_NE(Text(Path("saved/out.xml")).find("fileName=\"..\\tex\\a.png\""), std::string::npos)
        << Text(Path("saved/out.xml"));
    const CTexture copy = ReadTexture<CTexture>(Path("saved/out.xml"));
    EXPECT_EQ(copy.GetFileName().str(), texture.GetFileName().str());
    EXPECT_EQ(BoundBy(copy), m_frames[3]);
    EXPECT_TRUE(m_reports.reports.empty());
}

TEST_F(TextureDocumentTest, NumberedTextureIsSavedAsAListAndReadsBackTheSame) {
    for (int i = 0; i < 3; ++i) Offer(Path("fx/tex/smoke000" + std::to_string(i) + ".png"), i);
    std::ofstream(Path("fx/in.xml")) << "<Texture type=\"ANIMATED\" baseFileName=\"tex/smoke\" ext=\"png\" "
                                        "count=\"3\" speed=\"4.0\" loop=\"FALSE\"/>\n";
    const CAnimTexture texture = ReadTexture<CAnimTexture>(Path("fx/in.xml"));
    ASSERT_EQ(texture.GetFrameCount(), 3u);

    WriteTexture(texture, Path("fx/out.xml"));
    const std::string saved = Text(Path("fx/out.xml"));
    EXPECT_EQ(saved.find("baseFileName"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<AddTexture>.\\tex\\smoke0002.png</AddTexture>"), std::string::npos) << saved;

    const CAnimTexture copy = ReadTexture<CAnimTexture>(Path("fx/out.xml"));
    EXPECT_EQ(copy.GetFileNames().size(), texture.GetFileNames().size());
    EXPECT_EQ(copy.GetFrameCount(), 3u);
    EXPECT_FLOAT_EQ(copy.GetSpeed(), 4.0f);
    EXPECT_FALSE(copy.GetLoop());
    EXPECT_TRUE(m_reports.reports.empty());
}

// Frame names are written relative to the document being saved, wherever it
// lies, so a document saved into another folder still finds its frames.
TEST_F(TextureDocumentTest, AnimatedTextureSavedElsewhereStillFindsItsFrames) {
    Offer(Path("fx/tex/a.png"), 0);
    Offer(Path("fx/tex/b.png"), 1);
    std::ofstream(Path("fx/in.xml")) << "<Texture type=\"ANIMATED\"><AddTexture>tex/a.png</AddTexture>"
                                        "<AddTexture>tex/b.png</AddTexture></Texture>\n";
    const CAnimTexture texture = ReadTexture<CAnimTexture>(Path("fx/in.xml"));
    ASSERT_EQ(texture.GetFrameCount(), 2u);

    fs::create_directories(Path("saved/deeper"));
    WriteTexture(texture, Path("saved/deeper/out.xml"));
    const std::string saved = Text(Path("saved/deeper/out.xml"));
    EXPECT_NE(saved.find("<AddTexture>..\\..\\fx\\tex\\b.png</AddTexture>"), std::string::npos) << saved;
    const CAnimTexture copy = ReadTexture<CAnimTexture>(Path("saved/deeper/out.xml"));
    EXPECT_EQ(copy.GetFrameCount(), 2u);
    EXPECT_TRUE(m_reports.reports.empty());
}

TEST_F(TextureDocumentTest, EmptyAnimatedTextureSavesTheNumberedForm) {
    const CAnimTexture texture(m_device);
    WriteTexture(texture, Path("fx/out.xml"));
    const CAnimTexture copy = ReadTexture<CAnimTexture>(Path("fx/out.xml"));
    EXPECT_EQ(copy.GetFrameCount(), 0u);
    EXPECT_EQ(copy.GetStepSize(), 1);
    EXPECT_NE(Text(Path("fx/out.xml")).find("count=\"0\""), std::string::npos);
}

}  // namespace
