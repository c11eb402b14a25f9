#include <memory>

#include <gtest/gtest.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "support_doubles.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

// A texture registry with counted doubles stands in for every CManager.
struct RegistryFixture : ::testing::Test {
    CTextureManager registry;
    int deaths = 0;

    ITexture* Make() { return new CTextureDouble(&deaths); }
};

std::unique_ptr<CMyXMLNode> MakeElement(const char* element, const char* name, const char* type) {
    auto node = std::make_unique<CMyXMLNode>(nullptr, element);
    if (name) node->SetAttribute("name", CString(name));
    if (type) node->SetAttribute("type", CString(type));
    return node;
}

}  // namespace

TEST_F(RegistryFixture, AddUnderTakenNameDeletesTheOldObjectButNotTheSameOne) {
    ITexture* first = Make();
    registry.Add("fire", first);
    registry.Add("fire", first);
    EXPECT_EQ(0, deaths);
    EXPECT_EQ(first, registry.Get("fire"));

    ITexture* second = Make();
    registry.Add("fire", second);
    EXPECT_EQ(1, deaths);
    EXPECT_EQ(1u, registry.GetCount());
    EXPECT_EQ(second, registry.Get("fire"));
}

TEST_F(RegistryFixture, LookupsOfUnknownNamesAndObjects) {
    EXPECT_EQ(nullptr, registry.GetByIndex(0));
    ITexture* first = Make();
    registry.Add("a", first);
    registry.Add("b", Make());
    CTextureDouble stranger;
    EXPECT_EQ(nullptr, registry.Get("c"));
    EXPECT_EQ(nullptr, registry.GetByIndex(registry.GetCount()));
    EXPECT_EQ(0u, registry.GetIndex(&stranger));
    EXPECT_EQ(0u, registry.GetIndex(first));
    EXPECT_EQ(1u, registry.GetIndex(registry.Get("b")));
    EXPECT_EQ(CString(""), registry.GetID(&stranger));
    EXPECT_EQ(CString("b"), registry.GetID(registry.Get("b")));
}

TEST_F(RegistryFixture, NamesAreWalkedInByteOrder) {
    for (const char* name : {"b", "A", "a"}) registry.Add(name, Make());
    std::vector<std::string> order;
    for (const auto& entry : registry.GetManagedClasses()) order.push_back(entry.first.str());
    EXPECT_EQ((std::vector<std::string>{"A", "a", "b"}), order);
    EXPECT_EQ(CString("a"), registry.GetID(registry.GetByIndex(1)));
}

TEST_F(RegistryFixture, RenameNeedsAnExistingOldAndAFreeNewName) {
    ITexture* smoke = Make();
    registry.Add("smoke", smoke);
    registry.Add("fire", Make());
    EXPECT_FALSE(registry.Rename("smoke", "smoke"));
    EXPECT_FALSE(registry.Rename("smoke", "fire"));
    EXPECT_FALSE(registry.Rename("mist", "haze"));
    EXPECT_EQ(0, deaths);
    EXPECT_TRUE(registry.Rename("smoke", "haze"));
    EXPECT_EQ(smoke, registry.Get("haze"));
    EXPECT_EQ(nullptr, registry.Get("smoke"));
    EXPECT_EQ(2u, registry.GetCount());
}

TEST_F(RegistryFixture, RemoveClearAndNullEntries) {
    registry.Add("empty", nullptr);
    registry.Add("fire", Make());
    registry.Add("smoke", Make());
    EXPECT_EQ(3u, registry.GetCount());
    EXPECT_FALSE(registry.Remove("mist"));
    EXPECT_TRUE(registry.Remove("fire"));
    EXPECT_EQ(1, deaths);
    registry.Add("empty", Make());  // replacing a null entry deletes nothing
    EXPECT_EQ(1, deaths);
    registry.Clear();
    EXPECT_EQ(3, deaths);
    EXPECT_EQ(0u, registry.GetCount());
}

TEST(Registry, DestructionDeletesEveryObject) {
    int deaths = 0;
    {
        CTextureManager registry;
        registry.Add("a", new CTextureDouble(&deaths));
        registry.Add("b", new CTextureDouble(&deaths));
        registry.Add("null", nullptr);
    }
    EXPECT_EQ(2, deaths);
}

TEST(FactoryRegistry, FactoriesRegisterThemselvesAndSameNameReplaces) {
    int deaths = 0;
    CTestDevice device;
    {
        CEmitterManager registry;
        auto* first = new CEmitterFactoryDouble(&registry, "BOX", &deaths);
        auto box = MakeElement("Emitter", "e1", "BOX");
        registry.LoadEmitter(device.Get(), box.get());
        EXPECT_EQ(1, first->created);

        auto* replacement = new CEmitterFactoryDouble(&registry, "BOX", &deaths);
        EXPECT_EQ(1, deaths);
        registry.LoadEmitter(device.Get(), box.get());
        EXPECT_EQ(1, replacement->created);
        EXPECT_EQ(1u, registry.GetCount());
        new CEmitterFactoryDouble(&registry, "SPHERE", &deaths);
    }
    EXPECT_EQ(3, deaths);
}

TEST(FactoryRegistry, TypeNamesAreCaseSensitive) {
    CEmitterManager registry;
    auto* factory = new CEmitterFactoryDouble(&registry, "BOX");
    CReportCatcher reports;
    auto lower = MakeElement("Emitter", "e1", "box");
    registry.LoadEmitter(nullptr, lower.get());
    EXPECT_EQ(0, factory->created);
    EXPECT_EQ(0u, registry.GetCount());
    EXPECT_TRUE(reports.ids.empty());
}

TEST(FactoryRegistry, ContainerRegistryCreatesByTypeName) {
    CParticleContainerManager registry;
    new CContainerFactoryDouble(&registry, "POOL");
    IParticleContainer* container = registry.CreateParticleContainer("POOL");
    ASSERT_NE(nullptr, container);
    delete container;
    EXPECT_EQ(nullptr, registry.CreateParticleContainer("pool"));
}

TEST(PieceLoading, MissingNameOrTypeIsReportedAndNothingIsMade) {
    struct Row {
        const char* label;
        const char* name;
        const char* type;
        std::vector<int> reports;
        unsigned int registered;
    };
    const Row rows[] = {
        {"no name, with type", nullptr, "SINGLE", {112, 121}, 0},
        {"name, no type", "t", nullptr, {121}, 0},
        {"neither", nullptr, nullptr, {112, 121}, 0},
        {"empty name accepted", "", "SINGLE", {}, 1},
        {"unknown type", "t", "NOSUCHTYPE", {}, 0},
    };
    for (const Row& row : rows) {
        CTextureManager registry;
        new CTextureFactoryDouble(&registry, "SINGLE");
        CReportCatcher reports;
        auto node = MakeElement("Texture", row.name, row.type);
        registry.LoadTexture(nullptr, node.get());
        EXPECT_EQ(row.reports, reports.ids) << row.label;
        EXPECT_EQ(row.registered, registry.GetCount()) << row.label;
    }
}

TEST(PieceLoading, EachPieceHasItsOwnMessages) {
    CReportCatcher reports;
    CMyXMLNode nameless(nullptr, "Any");
    CEmitterManager emitters;
    CPSParamsManager params;
    emitters.LoadEmitter(nullptr, &nameless);
    params.LoadParams(nullptr, &emitters, &nameless);
    EXPECT_EQ((std::vector<int>{111, 119, 110, 120}), reports.ids);
}

TEST(PieceLoading, LoadingTheSameNameAgainReplacesTheParameterSet) {
    CPSParamsManager params;
    new CParamsFactoryDouble(&params, "STANDARD");
    auto node = MakeElement("ParticleSystemParams", "p", "STANDARD");
    params.LoadParams(nullptr, nullptr, node.get());
    IParticleSystemParams* first = params.Get("p");
    params.LoadParams(nullptr, nullptr, node.get());
    EXPECT_EQ(1u, params.GetCount());
    EXPECT_NE(first, params.Get("p"));
}
