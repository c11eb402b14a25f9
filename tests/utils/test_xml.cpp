#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "UtilsSrc/cmyxmlparser.h"
#include "utils/errorreport_capture.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;
using Vastrel::Utils::IXMLParser;

namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class XmlFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() / ("pyrelune_xml_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string PathOf(const std::string& name) const { return (m_folder / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    fs::path m_folder;
};

// Reads a file and hands its root to check; the parser lives for the check.
void ReadTree(const std::string& path, const std::function<void(const CMyXMLNode*)>& check) {
    CMyXMLParser parser(path.c_str());
    IXMLParser* implementation = parser.Create();
    parser.Read(nullptr);
    check(implementation->GetRoot());
}

std::string WriteTree(const std::string& path, CMyXMLNode& root) {
    CMyXMLParser parser(path.c_str());
    parser.Create();
    parser.Write(&root, 1);
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string ContentOf(const std::function<void(CMyXMLNode&)>& set) {
    CMyXMLNode node(nullptr, "n");
    set(node);
    return node.GetContent().GetString();
}

}  // namespace

TEST(CMyXMLNode, WritesEachTypeInItsTextFormat) {
    const struct {
        const char* label;
        std::function<void(CMyXMLNode&)> set;
        const char* expected;
    } cases[] = {
        {"int", [](CMyXMLNode& n) { n.SetContent(-42); }, "-42"},
        {"unsigned above INT_MAX", [](CMyXMLNode& n) { n.SetContent(4294967295u); }, "-1"},
        {"float rounds to 5 places", [](CMyXMLNode& n) { n.SetContent(1.234567f); }, "1.23457"},
        {"float without exponent", [](CMyXMLNode& n) { n.SetContent(1e10f); }, "10000000000.00000"},
        {"bool true", [](CMyXMLNode& n) { n.SetContent(true); }, "TRUE"},
        {"bool false", [](CMyXMLNode& n) { n.SetContent(false); }, "FALSE"},
        {"colour is r g b a", [](CMyXMLNode& n) { n.SetContent(0x80FF0000ul); }, "255 0 0 128"},
        {"vector2", [](CMyXMLNode& n) { n.SetContent(D3DXVECTOR2(0.5f, -1)); }, "0.50000 -1.00000"},
        {"vector3", [](CMyXMLNode& n) { n.SetContent(D3DXVECTOR3(1, 2, 3)); }, "1.00000 2.00000 3.00000"},
        {"vector4", [](CMyXMLNode& n) { n.SetContent(D3DXVECTOR4(1, 2, 3, 4)); },
         "1.00000 2.00000 3.00000 4.00000"},
        {"literal text", [](CMyXMLNode& n) { n.SetContent("abc"); }, "abc"},
    };
    for (const auto& c : cases) EXPECT_EQ(ContentOf(c.set), c.expected) << c.label;
}

TEST(CMyXMLNode, AttributesUseTheSameFormatsAsContent) {
    CMyXMLNode node(nullptr, "n");
    node.SetAttribute("v", D3DXVECTOR3(1, 2, 3));
    node.SetAttribute("c", 0x80FF0000ul);
    node.SetAttribute("s", "BOX");
    CString text;
    ASSERT_TRUE(node.GetAttribute("v", text));
    EXPECT_STREQ(text, "1.00000 2.00000 3.00000");
    ASSERT_TRUE(node.GetAttribute("c", text));
    EXPECT_STREQ(text, "255 0 0 128");
    ASSERT_TRUE(node.GetAttribute("s", text));
    EXPECT_STREQ(text, "BOX") << "a string literal must not be taken for a bool";
}

TEST(CMyXMLNode, ScannersShareOnePositionAcrossNumbers) {
    const struct {
        const char* text;
        D3DXVECTOR4 expected;
    } cases[] = {
        {"-2.5, 4", D3DXVECTOR4(-2.5f, 4, 0, 0)},
        {"1e5 2", D3DXVECTOR4(1, 5, 2, 0)},
        {"abc12 x3", D3DXVECTOR4(12, 3, 0, 0)},
        {"1.2.3 4", D3DXVECTOR4(1.2f, 4, 0, 0)},
        {"5-3", D3DXVECTOR4(5, 3, 0, 0)},
        {"--7", D3DXVECTOR4(0, 7, 0, 0)},
        {"", D3DXVECTOR4(0, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        CMyXMLNode node(nullptr, "n");
        node.SetContent(c.text);
        D3DXVECTOR4 got(9, 9, 9, 9);
        node.GetVector4DContent(got);
        EXPECT_EQ(got, c.expected) << '"' << c.text << "\" read as " << got.x << ' ' << got.y << ' ' << got.z << ' '
                                   << got.w;
    }
}

TEST(CMyXMLNode, IntegerTextReadsTheFirstIntegerToken) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"abc12", 12}, {"3.7", 3}, {"-15", -15}, {"x", 0}, {"-", 0}, {"99999999999", 2147483647}};
    for (const auto& c : cases) {
        CMyXMLNode node(nullptr, "n");
        node.SetContent(c.text);
        int got = 7;
        node.GetIntContent(got);
        EXPECT_EQ(got, c.expected) << '"' << c.text << '"';
    }
}

TEST(CMyXMLNode, BoolTextIsTrueOnlyForTrueOrOne) {
    const struct {
        const char* text;
        bool expected;
    } cases[] = {{"TRUE", true}, {"true", true}, {"True", true}, {"1", true},
                 {"yes", false}, {"0", false}, {" TRUE", false}, {"10", false}};
    for (const auto& c : cases) {
        CMyXMLNode node(nullptr, "n");
        node.SetContent(c.text);
        bool got = !c.expected;
        node.GetBoolContent(got);
        EXPECT_EQ(got, c.expected) << '"' << c.text << '"';
    }
}

TEST(CMyXMLNode, ColourTextKeepsLowBitsAndDefaultsMissingAlphaToZero) {
    CMyXMLNode node(nullptr, "n");
    node.SetContent(0x80FF0000ul);
    unsigned long colour = 0;
    node.GetColorContent(colour);
    EXPECT_EQ(colour, 0x80FF0000ul);
    node.SetContent("256 1 2");
    node.GetColorContent(colour);
    EXPECT_EQ(colour, 0x00000102ul);
}

TEST(CMyXMLNode, TypedAttributeGettersReportPresence) {
    CMyXMLNode node(nullptr, "n");
    node.SetAttribute("bad", CString("zz"));
    int value = 17;
    EXPECT_FALSE(node.GetIntAttribute("missing", value));
    EXPECT_EQ(value, 17);
    EXPECT_TRUE(node.GetIntAttribute("bad", value));
    EXPECT_EQ(value, 0);
    D3DXVECTOR3 vector(5, 5, 5);
    node.SetAttribute("v", CString("1 2"));
    EXPECT_TRUE(node.GetVector3DAttribute("v", vector));
    EXPECT_EQ(vector, D3DXVECTOR3(1, 2, 0));
}

TEST(CMyXMLNode, AttributesAreOrderedByByteWiseName) {
    CMyXMLNode node(nullptr, "n");
    node.SetAttribute("b", 1);
    node.SetAttribute("a", 2);
    node.SetAttribute("B", 3);
    node.SetAttribute("a", 4);
    CString name, value;
    const char* expected[][2] = {{"B", "3"}, {"a", "4"}, {"b", "1"}};
    ASSERT_EQ(node.GetAttributeCount(), 3u);
    for (unsigned int i = 0; i < 3; ++i) {
        ASSERT_TRUE(node.GetAttribute(i, name, value));
        EXPECT_STREQ(name, expected[i][0]);
        EXPECT_STREQ(value, expected[i][1]);
    }
    EXPECT_FALSE(node.GetAttribute(3, name, value));
    EXPECT_STREQ(name, "b") << "out of range leaves the outputs alone";
}

TEST(CMyXMLNode, ChildrenKnowTheirParentAndParser) {
    CMyXMLParser parser("x.xml");
    CMyXMLNode root(&parser, "root");
    CMyXMLNode* first = root.AddChildren("a");
    root.AddChildren("b");
    EXPECT_EQ(first->GetParent(), &root);
    EXPECT_EQ(first->GetParser(), &parser);
    EXPECT_EQ(root.GetParent(), nullptr);
    EXPECT_EQ(root.GetChildren(1)->GetName(), CString("b"));
    EXPECT_EQ(root.GetChildren(2), nullptr);
    EXPECT_EQ(root.GetChildren(5), nullptr);
}

// ==== Matrices ====

namespace {

void ExpectMatrixNear(const D3DXMATRIX& got, const D3DXMATRIX& expected, const char* label) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], expected.m[r][c], 1e-5f) << label << " [" << r << c << "]";
    }
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXMATRIX Multiply(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, &a, &b);
    return out;
}

}  // namespace

TEST(CMyXMLNode, MatrixChildrenRoundTripThroughTheRows) {
    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13.5f, -14, 15, 1);
    CMyXMLNode root(nullptr, "root");
    root.AddMatrixChildren("Matrix", m);
    const CMyXMLNode* element = root.GetChildren(0);
    ASSERT_EQ(element->GetChildrenCount(), 4u);
    EXPECT_STREQ(element->GetChildren(3)->GetName(), "Pos");
    EXPECT_STREQ(element->GetChildren(3)->GetContent(), "13.50000 -14.00000 15.00000 1.00000");
    D3DXMATRIX got = Identity();
    element->GetMatrixContent(got);
    ExpectMatrixNear(got, m, "rows");
}

TEST(CMyXMLNode, MatrixStepsApplyInDocumentOrderAndKeepTheTranslation) {
    CMyXMLNode element(nullptr, "Matrix");
    element.AddChildren("Pos")->SetContent("1 2 3 1");
    CMyXMLNode* scale = element.AddChildren("Scale");
    scale->SetAttribute("x", 2.0f);
    scale->SetAttribute("y", 3.0f);
    scale->SetAttribute("z", 4.0f);
    element.AddChildren("RotateXYZ")->SetAttribute("z", 90.0f);
    element.AddChildren("Unknown")->SetContent("9 9 9 9");

    D3DXMATRIX scaling, rotation;
    D3DXMatrixScaling(&scaling, 2, 3, 4);
    D3DXMatrixRotationZ(&rotation, 90 * 0.017453292f);
    D3DXMATRIX expected = Multiply(scaling, rotation);
    expected._41 = 1, expected._42 = 2, expected._43 = 3;

    D3DXMATRIX got = Identity();
    element.GetMatrixContent(got);
    ExpectMatrixNear(got, expected, "scale then rotate");
}

TEST(CMyXMLNode, MatrixStepEdgeCases) {
    CMyXMLNode flatten(nullptr, "Matrix");
    flatten.AddChildren("Scale")->SetAttribute("x", 2.0f);
    D3DXMATRIX got = Identity();
    flatten.GetMatrixContent(got);
    ExpectMatrixNear(got, D3DXMATRIX(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1), "missing scale is 0");

    CMyXMLNode noAngle(nullptr, "Matrix");
    noAngle.AddChildren("RotateAxis")->SetAttribute("axis", D3DXVECTOR3(0, 1, 0));
    got = Identity();
    noAngle.GetMatrixContent(got);
    ExpectMatrixNear(got, Identity(), "axis without angle");

    CMyXMLNode axis(nullptr, "Matrix");
    CMyXMLNode* step = axis.AddChildren("RotateAxis");
    step->SetAttribute("axis", D3DXVECTOR3(0, 0, 2));
    step->SetAttribute("angle", 90.0f);
    got = Identity();
    axis.GetMatrixContent(got);
    D3DXMATRIX expected;
    D3DXMatrixRotationZ(&expected, 90 * 0.017453292f);
    ExpectMatrixNear(got, expected, "axis rotation");
}

// ==== Files ====

TEST_F(XmlFiles, WritesIndentedWithAttributesInNameOrder) {
    CMyXMLNode root(nullptr, "Root");
    root.SetContent("root text is not written");
    root.SetAttribute("version", 2);
    CMyXMLNode* child = root.AddChildren("Emitter");
    child->SetAttribute("name", CString("fire & <smoke>"));
    child->SetAttribute("alpha", 0.5f);
    child->AddChildren("Blank")->SetContent(" \t\n ");
    child->AddChildren("Size")->SetContent(" 1 2 ");
    const std::string written = WriteTree(PathOf("out.xml"), root);
    EXPECT_EQ(written,
              "<?xml version=\"1.0\"?>\n"
              "<Root version=\"2\">\n"
              "  <Emitter alpha=\"0.50000\" name=\"fire &amp; &lt;smoke&gt;\">\n"
              "    <Blank/>\n"
              "    <Size> 1 2 </Size>\n"
              "  </Emitter>\n"
              "</Root>\n");
}

TEST_F(XmlFiles, EmptyRootIsWrittenWithoutItsContent) {
    CMyXMLNode root(nullptr, "Root");
    root.SetContent("text");
    EXPECT_EQ(WriteTree(PathOf("out.xml"), root), "<?xml version=\"1.0\"?>\n<Root/>\n");
}

TEST_F(XmlFiles, StringsRoundTripByteForByte) {
    const struct {
        const char* label;
        std::string text;
    } cases[] = {
        {"ascii with markup", "a<b>&\"c\"'d'"},
        {"utf-8", "t\xC3\xBCz \xE2\x82\xAC"},
        {"ansi code page", "t\xFBz \xE1rv\xED\x80"},
    };
    for (const auto& c : cases) {
        CMyXMLNode root(nullptr, "Root");
        CMyXMLNode* child = root.AddChildren("Item");
        child->SetAttribute("value", CString(c.text));
        child->SetContent(CString(c.text));
        WriteTree(PathOf("strings.xml"), root);
        ReadTree(PathOf("strings.xml"), [&](const CMyXMLNode* read) {
            ASSERT_NE(read, nullptr) << c.label;
            CString value;
            ASSERT_TRUE(read->GetChildren(0)->GetAttribute("value", value));
            EXPECT_EQ(value.str(), c.text) << c.label;
            EXPECT_EQ(read->GetChildren(0)->GetContent().str(), c.text) << c.label;
        });
    }
}

TEST_F(XmlFiles, ReadingKeepsElementsAttributesAndTheLastText) {
    const std::string path = WriteFile("in.xml",
                                       "<?xml version=\"1.0\"?>\n"
                                       "<!-- leading comment -->\n"
                                       "<Root z=\"1\" a=\"\">first<A k=\"v\">x &amp; y</A>"
                                       "<!-- c --><![CDATA[ignored]]><?pi data?>last</Root>\n");
    ReadTree(path, [&](const CMyXMLNode* root) {
        ASSERT_NE(root, nullptr);
        EXPECT_STREQ(root->GetName(), "Root");
        EXPECT_STREQ(root->GetContent(), "last");
        EXPECT_EQ(root->GetAttributeCount(), 2u);
        CString value("unset");
        EXPECT_TRUE(root->GetAttribute("a", value));
        EXPECT_STREQ(value, "");
        ASSERT_EQ(root->GetChildrenCount(), 1u);
        EXPECT_STREQ(root->GetChildren(0)->GetContent(), "x & y");
        EXPECT_EQ(root->GetChildren(0)->GetParent(), root);
    });
}

TEST_F(XmlFiles, WrittenTreeReadsBackEqual) {
    CMyXMLNode root(nullptr, "Root");
    CMyXMLNode* system = root.AddChildren("ParticleSystem");
    system->SetAttribute("maxParticle", 500u);
    system->SetAttribute("colour", 0x11223344ul);
    system->AddMatrixChildren("Matrix", D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1));
    const std::string path = PathOf("sub\\..\\tree.xml");
    fs::create_directories(PathOf("sub"));
    WriteTree(path, root);
    ReadTree(path, [&](const CMyXMLNode* read) {
        ASSERT_NE(read, nullptr) << "a name with '\\' separators opens on this platform";
        const CMyXMLNode* readSystem = read->GetChildren(0);
        unsigned long colour = 0;
        int count = 0;
        EXPECT_TRUE(readSystem->GetColorAttribute("colour", colour));
        EXPECT_TRUE(readSystem->GetIntAttribute("maxParticle", count));
        EXPECT_EQ(colour, 0x11223344ul);
        EXPECT_EQ(count, 500);
        D3DXMATRIX m = Identity();
        readSystem->GetChildren(0)->GetMatrixContent(m);
        EXPECT_EQ(m._41 + m._42 + m._43, 15.0f);
    });
}

TEST_F(XmlFiles, NumberTextIgnoresTheHostLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "hu_HU.UTF-8"};
    bool switched = false;
    for (const char* name : commaLocales) switched = switched || std::setlocale(LC_ALL, name) != nullptr;
    if (!switched && std::system(("localedef -i de_DE -f UTF-8 " + PathOf("de_DE.UTF-8") + " 2>/dev/null").c_str()) == 0) {
        ::setenv("LOCPATH", m_folder.c_str(), 1);
        switched = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma on this machine";
    CMyXMLNode node(nullptr, "n");
    node.SetContent(D3DXVECTOR2(1.5f, -0.25f));
    D3DXVECTOR2 read(0, 0);
    node.GetVector2DContent(read);
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    EXPECT_STREQ(node.GetContent(), "1.50000 -0.25000");
    EXPECT_EQ(read, D3DXVECTOR2(1.5f, -0.25f));
}

// ==== Failures and hostile documents ====

TEST_F(XmlFiles, UnreadableDocumentsReport102WithTheFileName) {
    fs::create_directories(PathOf("folder"));
    std::string manyAttributes = "<r";
    for (int i = 0; i < 1000000; ++i) manyAttributes += " a" + std::to_string(i) + "=\"1\"";
    manyAttributes += "/>";
    const struct {
        const char* label;
        std::string path;
    } cases[] = {
        {"missing", PathOf("missing.xml")},
        {"directory", PathOf("folder")},
        {"empty", WriteFile("empty.xml", "")},
        {"binary", WriteFile("binary.xml", std::string("\x00\xFF\xFE\x01\x89PNG\r\n", 10))},
        {"truncated", WriteFile("truncated.xml", "<Root><Child a=\"1\"><Inner>")},
        {"no root element", WriteFile("declaration.xml", "<?xml version=\"1.0\"?>\n")},
        {"million attributes", WriteFile("many.xml", manyAttributes)},
        {"billion laughs", WriteFile("laughs.xml",
                                     "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
                                     "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                                     "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                                     "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                                     "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                                     "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
                                     "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                                     "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
                                     "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
                                     "<r v=\"&i;\">&i;</r>")},
    };
    for (const auto& c : cases) {
        ErrorReportCapture capture;
        ReadTree(c.path, [](const CMyXMLNode* root) { EXPECT_EQ(root, nullptr); });
        ASSERT_EQ(capture.reports.size(), 1u) << c.label;
        EXPECT_EQ(capture.reports[0].messageId, 102) << c.label;
        EXPECT_EQ(capture.reports[0].sourceFile, "UtilsSrc/cmyxmlparser") << c.label;
        EXPECT_EQ(capture.reports[0].description,
                  "\"Ez az XML dokumentum nem letezik, vagy nem XML formatumu: " + c.path + "\"")
            << c.label;
    }
}

TEST_F(XmlFiles, ExternalEntitiesAndDtdsAreNotLoaded) {
    const std::string secret = WriteFile("secret.txt", "SECRET");
    const std::string path = WriteFile("xxe.xml",
                                       "<?xml version=\"1.0\"?>\n"
                                       "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/none.dtd\" [\n"
                                       "<!ENTITY leak SYSTEM \"file://" + secret + "\">]>\n"
                                       "<r a=\"x\">before &leak; after</r>\n");
    ErrorReportCapture capture;
    ReadTree(path, [](const CMyXMLNode* root) {
        if (!root) return;
        EXPECT_EQ(root->GetContent().Find("SECRET"), -1);
    });
}

TEST_F(XmlFiles, ReadingTwiceReplacesTheTree) {
    const std::string path = WriteFile("twice.xml", "<Root><A/></Root>");
    CMyXMLParser parser(path.c_str());
    IXMLParser* implementation = parser.Create();
    parser.Read(nullptr);
    parser.Read(nullptr);
    ASSERT_NE(implementation->GetRoot(), nullptr);
    EXPECT_EQ(implementation->GetRoot()->GetChildrenCount(), 1u);
}
