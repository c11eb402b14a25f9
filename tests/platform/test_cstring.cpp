#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <map>
#include <string>

#include "platform/cstring.h"
#include "platform/resources.h"

TEST(CString, ConstructionAndLength) {
    EXPECT_EQ(CString().GetLength(), 0);
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_EQ(CString("abcdef", 3), "abc");
    EXPECT_EQ(CString('x', 3), "xxx");
    CString s("hello");
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, OrdersByteWiseUpperCaseFirst) {
    std::map<CString, int> names{{"b", 0}, {"A", 0}, {"a", 0}};
    std::string walk;
    for (const auto& entry : names) walk += entry.first.GetString();
    EXPECT_EQ(walk, "Aab");
    EXPECT_LT(CString("Z"), CString("a"));
    EXPECT_TRUE(std::less<CString>()(CString("ab"), CString("abc")));
    EXPECT_EQ(CString("abc").Compare("abd"), -1);
    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
    EXPECT_GT(CString("abd").CompareNoCase("ABC"), 0);
}

TEST(CString, ConcatenationAndComparisonOperators) {
    CString s = CString("ab") + "cd" + 'e';
    s += CString("f");
    s += 'g';
    EXPECT_EQ(s, "abcdefg");
    EXPECT_TRUE("abcdefg" == s);
    EXPECT_TRUE(s != "x");
    EXPECT_EQ('<' + CString("tag"), "<tag");
}

TEST(CString, FormatHasNoLengthLimitAndIgnoresLocale) {
    CString s;
    s.Format("%d-%s-%.5f", 42, "x", 1.5);
    EXPECT_EQ(s, "42-x-1.50000");
    const std::string longText(5000, 'q');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ(s.GetLength(), 5002);

    // A host running under a comma-decimal locale still gets '.'.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        s.Format("%.2f", 2.25);
        EXPECT_EQ(s, "2.25");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(CString, Substrings) {
    const CString s("data/effects/fire.xml");
    EXPECT_EQ(s.Left(4), "data");
    EXPECT_EQ(s.Mid(5, 7), "effects");
    EXPECT_EQ(s.Mid(13), "fire.xml");
    EXPECT_EQ(s.Right(3), "xml");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Mid(100), "");
    EXPECT_EQ(s.Right(-1), "");
}

TEST(CString, FindAndReplace) {
    CString s("a/b/c");
    EXPECT_EQ(s.Find('/'), 1);
    EXPECT_EQ(s.Find('/', 2), 3);
    EXPECT_EQ(s.Find("b/c"), 2);
    EXPECT_EQ(s.Find('z'), -1);
    EXPECT_EQ(s.ReverseFind('/'), 3);
    EXPECT_EQ(s.Replace('/', '\\'), 2);
    EXPECT_EQ(s, "a\\b\\c");
    CString t("aaa");
    EXPECT_EQ(t.Replace("a", "bb"), 3);
    EXPECT_EQ(t, "bbbbbb");
    EXPECT_EQ(t.Replace("", "x"), 0);
}

TEST(CString, TrimAndCase) {
    CString s("  \tMixed Case\n ");
    s.Trim();
    EXPECT_EQ(s, "Mixed Case");
    EXPECT_EQ(CString("xxhixx").Trim("x"), "hi");
    EXPECT_EQ(CString("   ").TrimLeft(), "");
    EXPECT_EQ(CString(s).MakeUpper(), "MIXED CASE");
    EXPECT_EQ(CString(s).MakeLower(), "mixed case");
}

TEST(CString, LoadStringFromRegisteredModule) {
    const ResourceStringEntry strings[] = {{7, "seven"}, {0, nullptr}};
    const ResourceBlobEntry blobs[] = {{0, nullptr, 0}};
    ModuleResourceRegistrar registrar("TestModule", strings, blobs);

    CString s;
    EXPECT_TRUE(s.LoadString(GetModuleHandleA("TestModule"), 7));
    EXPECT_EQ(s, "seven");
    EXPECT_FALSE(s.LoadString(GetModuleHandleA("TestModule"), 8));
    EXPECT_EQ(s, "seven");
    CString any;
    EXPECT_TRUE(any.LoadString(7));
    EXPECT_EQ(any, "seven");
}
