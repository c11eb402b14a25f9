#include <gtest/gtest.h>

#include <string>

#include "UtilsSrc/utility.h"

using Vastrel::Utils::Utility;

namespace {

struct PathCase {
    const char* label;
    std::string path;
    std::string reference;
    std::string expected;
};

std::string DeepFolder(int depth) {
    std::string folder = "/root";
    for (int i = 0; i < depth; ++i) folder += "/folder_with_a_long_name_" + std::to_string(i);
    return folder;
}

}  // namespace

TEST(Utility, RelativePathsStartWithDotOrDotDot) {
    const std::string deep = DeepFolder(20);
    const PathCase cases[] = {
        {"same folder", "data/effects/a.dds", "data/effects/fire.xml", ".\\a.dds"},
        {"sub folder", "data/effects/tex/fire.dds", "data/effects/fire.xml", ".\\tex\\fire.dds"},
        {"sibling", "data/tex/a.dds", "data/effects/fire.xml", "..\\tex\\a.dds"},
        {"two up", "data/a.dds", "data/effects/deep/fire.xml", "..\\..\\a.dds"},
        {"absolute", "/home/u/p/tex/a.dds", "/home/u/p/fx/fire.xml", "..\\tex\\a.dds"},
        {"both at the root", "/a.dds", "/fire.xml", ".\\a.dds"},
        {"drive", "C:\\art\\b.dds", "C:\\fx\\f.xml", "..\\art\\b.dds"},
        {"long paths", deep + "/x/y.dds", deep + "/fx/f.xml", "..\\x\\y.dds"},
        {"nothing shared", "tex/a.dds", "other/fire.xml", "tex/a.dds"},
        {"partial folder name", "database/a.dds", "data/fire.xml", "database/a.dds"},
        {"folders differ in case", "Data/a.dds", "data/fire.xml", "Data/a.dds"},
        {"reference without folder", "tex/a.dds", "fire.xml", "tex/a.dds"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(Utility::GetRelativePath(c.path.c_str(), c.reference.c_str()).str(), c.expected) << c.label;
    }
}

TEST(Utility, AbsolutePathsJoinTheReferenceFolderAndFoldDots) {
    const PathCase cases[] = {
        {"plain", "tex/fire.dds", "data/effects/fire.xml", "data\\effects\\tex\\fire.dds"},
        {"dot", ".\\a.dds", "data/effects/fire.xml", "data\\effects\\a.dds"},
        {"dot dot", "..\\tex\\a.dds", "data/effects/fire.xml", "data\\tex\\a.dds"},
        {"reference in the current folder", "tex/a.dds", "fire.xml", "tex\\a.dds"},
        {"climbing out of a relative folder", "../../../x.dds", "a/f.xml", "..\\..\\x.dds"},
        {"climbing above the root", "..\\..\\a.dds", "/d/f.xml", "\\a.dds"},
        {"reference at the root", "tex/a.dds", "/fire.xml", "\\tex\\a.dds"},
        {"rooted path", "/abs/a.dds", "data/fire.xml", "\\abs\\a.dds"},
        {"rooted path takes the drive", "\\x.dds", "C:\\data\\f.xml", "C:\\x.dds"},
        {"empty path", "", "data/fire.xml", "data"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(Utility::GetAbsolutePath(c.path.c_str(), c.reference.c_str()).str(), c.expected) << c.label;
    }
}

TEST(Utility, RelativeThenAbsoluteFindsTheSameFile) {
    const std::string deep = DeepFolder(12);
    const PathCase cases[] = {
        {"sibling", "/p/data/tex/a.dds", "/p/data/fx/f.xml", "\\p\\data\\tex\\a.dds"},
        {"below", "/p/data/fx/tex/a.dds", "/p/data/fx/f.xml", "\\p\\data\\fx\\tex\\a.dds"},
        {"deep", deep + "/a/b/c.dds", deep + "/x/y/z/f.xml", Utility::GetAbsolutePath((deep + "/a/b/c.dds").c_str(), "/").str()},
    };
    for (const PathCase& c : cases) {
        const CString relative = Utility::GetRelativePath(c.path.c_str(), c.reference.c_str());
        EXPECT_EQ(Utility::GetAbsolutePath(relative, c.reference.c_str()).str(), c.expected) << c.label;
    }
}

TEST(Utility, NativePathsUseSlashes) {
    EXPECT_STREQ(Utility::ToNativePath("data\\effects\\tex\\fire.dds"), "data/effects/tex/fire.dds");
    EXPECT_STREQ(Utility::ToNativePath("/already/native"), "/already/native");
}
