#include <gtest/gtest.h>

#include <cstring>

#include "platform/resources.h"

namespace {

const unsigned char kEffect[] = {'f', 'x', '!'};
const ResourceStringEntry kStrings[] = {{722, "Error"}, {0, nullptr}};
const ResourceBlobEntry kBlobs[] = {{101, kEffect, 3}, {0, nullptr, 0}};

}  // namespace

TEST(Resources, ModulesAreFoundByNameWhileRegistered) {
    EXPECT_EQ(GetModuleHandleA("Lib"), nullptr);
    {
        ModuleResourceRegistrar registrar("Lib", kStrings, kBlobs);
        EXPECT_EQ(GetModuleHandleA("Lib"), registrar.Module());
        EXPECT_EQ(GetModuleHandleA("lib"), nullptr);
        EXPECT_EQ(GetModuleHandleA(nullptr), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("Lib"), nullptr);
}

TEST(Resources, LoadStringCopiesAndTerminates) {
    ModuleResourceRegistrar registrar("Lib", kStrings, kBlobs);
    char buffer[4];
    EXPECT_EQ(LoadStringA(registrar.Module(), 722, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "Err");
    EXPECT_EQ(LoadStringA(registrar.Module(), 1, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    const char* text = nullptr;
    EXPECT_EQ(LoadStringA(registrar.Module(), 722, reinterpret_cast<LPSTR>(&text), 0), 5);
    EXPECT_STREQ(text, "Error");
}

TEST(Resources, BinaryResourcesByIntegerId) {
    ModuleResourceRegistrar registrar("Lib", kStrings, kBlobs);
    HMODULE module = registrar.Module();
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(101), RT_RCDATA);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(module, info), 3u);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(module, info)), "fx!", 3), 0);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(102), RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(101), RT_STRING), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(101), RT_RCDATA), nullptr);
}
