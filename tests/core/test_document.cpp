#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "particleeffect.h"
#include "support_doubles.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;

namespace {

namespace fs = std::filesystem;

// Pieces that write their own "type", as the real kinds do, so that a saved
// document loads again through the factories below.
class CSavedEmitter : public CPointDouble {
public:
    using CPointDouble::CPointDouble;
    void Save(CMyXMLNode* pNode) const override {
        IEmitter::Save(pNode);
        pNode->SetAttribute("type", "TESTPOINT");
    }
};

class CSavedParams : public CParamsDouble {
public:
    CSavedParams() : CParamsDouble(1.0f) {}
    void Save(CMyXMLNode* pNode) const override { pNode->SetAttribute("type", "TESTPARAMS"); }
};

class CSavedTexture : public CTextureDouble {
public:
    void Save(CMyXMLNode* pNode) const override { pNode->SetAttribute("type", "TESTTEXTURE"); }
};

// Reads only the name of its "Emitter" child, which is all the loader's
// behaviour depends on.
class CSavedSystem : public CSystemDouble {
public:
    CSavedSystem(CParticleSystemManager* pManager, int* pDeaths) : CSystemDouble(pManager, "loaded", pDeaths) {}
    void Init(const CMyXMLNode* pNode) override {
        CString emitter;
        for (const CMyXMLNode* pChild : pNode->GetChildrens())
            if (pChild->GetName() == "Emitter" && pChild->GetAttribute("name", emitter)) SetEmitter(emitter);
    }
    void Save(CMyXMLNode* pNode) const override { pNode->SetAttribute("type", "TESTSYSTEM"); }
};

class CSavedEmitterFactory : public IEmitterFactory {
public:
    CSavedEmitterFactory(CEmitterManager* pRegistry, int* pDeaths)
        : IEmitterFactory(pRegistry, "TESTPOINT"), m_pDeaths(pDeaths) {}
    IEmitter* Create(IDirect3DDevice9* pDevice, const CMyXMLNode*) const override {
        return new CSavedEmitter(pDevice, m_pDeaths);
    }

private:
    int* m_pDeaths;
};

class CSavedParamsFactory : public IPSParamsFactory {
public:
    explicit CSavedParamsFactory(CPSParamsManager* pRegistry) : IPSParamsFactory(pRegistry, "TESTPARAMS") {}
    IParticleSystemParams* Create(IDirect3DDevice9*, CEmitterManager*, const CMyXMLNode*) const override {
        return new CSavedParams();
    }
};

class CSavedTextureFactory : public ITextureFactory {
public:
    explicit CSavedTextureFactory(CTextureManager* pRegistry) : ITextureFactory(pRegistry, "TESTTEXTURE") {}
    ITexture* Create(IDirect3DDevice9*, const CMyXMLNode*) const override { return new CSavedTexture(); }
};

class CSavedSystemFactory : public IParticleSystemFactory {
public:
    CSavedSystemFactory(CParticleSystemManager* pRegistry, int* pDeaths)
        : IParticleSystemFactory(pRegistry, "TESTSYSTEM"), m_pDeaths(pDeaths) {}
    IParticleSystem* Create(CParticleSystemManager* pManager) const override {
        return new CSavedSystem(pManager, m_pDeaths);
    }

private:
    int* m_pDeaths;
};

// A document that uses every test kind.
const char* const kFullDocument =
    "<ParticleSystems version=\"1.0\">"
    "<ParticleSystem name=\"fire\" type=\"TESTSYSTEM\"><Emitter name=\"core\"/></ParticleSystem>"
    "<Emitter name=\"core\" type=\"TESTPOINT\"/>"
    "<Emitter name=\"rim\" type=\"TESTPOINT\"/>"
    "<ParticleSystemParams name=\"flame\" type=\"TESTPARAMS\"/>"
    "<Texture name=\"glow\" type=\"TESTTEXTURE\"/>"
    "</ParticleSystems>";

template <typename T>
std::vector<std::string> NamesOf(const std::map<CString, T*>& map) {
    std::vector<std::string> names;
    for (const auto& entry : map) names.push_back(entry.first.str());
    return names;
}

// A manager with its own registries and the test kinds installed.
struct SDocumentManager {
    explicit SDocumentManager(IDirect3DDevice9* pDevice) : manager(pDevice, nullptr, nullptr, nullptr, nullptr, false) {
        new CSavedEmitterFactory(manager.GetEmitterManager(), &emitterDeaths);
        new CSavedParamsFactory(manager.GetParamsManager());
        new CSavedTextureFactory(manager.GetTextureManager());
        new CSavedSystemFactory(&manager, &systemDeaths);
    }

    // Every registry's names in walk order, one group per registry.
    std::vector<std::vector<std::string>> AllNames() const {
        return {NamesOf(manager.GetEmitterManager()->GetManagedClasses()),
                NamesOf(manager.GetParamsManager()->GetManagedClasses()),
                NamesOf(manager.GetTextureManager()->GetManagedClasses()), NamesOf(manager.GetManagedClasses())};
    }

    unsigned int PieceCount() const {
        return manager.GetEmitterManager()->GetCount() + manager.GetParamsManager()->GetCount() +
               manager.GetTextureManager()->GetCount() + manager.GetCount();
    }

    int emitterDeaths = 0;
    int systemDeaths = 0;
    CParticleSystemManager manager;
};

// A fresh folder of real files per test, removed afterwards.
struct DocumentFixture : ::testing::Test {
    CTestDevice device;
    std::unique_ptr<SDocumentManager> loaded;
    fs::path folder;

    void SetUp() override {
        Journal().clear();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / ("pyrelune_doc_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(folder);
        loaded = std::make_unique<SDocumentManager>(device.Get());
    }

    void TearDown() override {
        loaded.reset();
        ReleaseParticleSystemDXResources();
        fs::remove_all(folder);
    }

    CParticleSystemManager& Manager() { return loaded->manager; }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

    bool Load(const std::string& bytes) {
        return Manager().LoadParticleSystemsFromFile(WriteFile("in.xml", bytes).c_str());
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }
};

std::string Document(const std::string& children) {
    return "<ParticleSystems version=\"1.0\">" + children + "</ParticleSystems>";
}

}  // namespace

TEST_F(DocumentFixture, UnreadableFilesAndForeignRootsLoadNothing) {
    struct {
        const char* label;
        const char* bytes;  // null: the file does not exist
    } cases[] = {
        {"lower-case root", "<particleSystems><Emitter name=\"a\" type=\"TESTPOINT\"/></particleSystems>"},
        {"other root", "<Effects><Emitter name=\"a\" type=\"TESTPOINT\"/></Effects>"},
        {"not XML", "<ParticleSystems><Emitter name=\"a\" type=\"TESTPOINT\">"},
        {"empty file", ""},
        {"missing file", nullptr},
    };
    Manager().AddTimer(1.0f, IPSTimer::TIMER_START);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        CReportCatcher reports;
        const std::string path = row.bytes ? WriteFile("in.xml", row.bytes) : PathOf("absent.xml");
        EXPECT_FALSE(Manager().LoadParticleSystemsFromFile(path.c_str()));
        EXPECT_EQ(0u, loaded->PieceCount());
        EXPECT_EQ(1, Manager().GetTimesCount());
    }
}

TEST_F(DocumentFixture, RootWithoutChildrenLoads) {
    CReportCatcher reports;
    EXPECT_TRUE(Load("<ParticleSystems/>"));
    EXPECT_EQ(0u, loaded->PieceCount());
    EXPECT_TRUE(reports.ids.empty());
}

TEST_F(DocumentFixture, LoadingAddsAndReplacesOnlySameNamedOnes) {
    Manager().GetEmitterManager()->Add("earlier", new CSavedEmitter(device.Get(), &loaded->emitterDeaths));
    ASSERT_TRUE(Load(kFullDocument));
    IEmitter* firstCore = Manager().GetEmitterManager()->Get("core");
    ASSERT_TRUE(Load(kFullDocument));
    EXPECT_EQ(2, loaded->emitterDeaths);
    EXPECT_EQ(1, loaded->systemDeaths);
    EXPECT_EQ((std::vector<std::string>{"core", "earlier", "rim"}), loaded->AllNames()[0]);
    EXPECT_EQ(1u, Manager().GetCount());
    EXPECT_NE(firstCore, Manager().GetEmitterManager()->Get("core"));
}

TEST_F(DocumentFixture, UnknownTypesAndElementsAreSkippedSilently) {
    CReportCatcher reports;
    EXPECT_TRUE(Load(Document("<ParticleSystem name=\"ghost\" type=\"NOSUCHKIND\"/>"
                              "<ParticleSystem name=\"shout\" type=\"testsystem\"/>"
                              "<emitter name=\"lower\" type=\"TESTPOINT\"/>"
                              "<Comment name=\"other\" type=\"TESTSYSTEM\"/>"
                              "<ParticleSystem name=\"fire\" type=\"TESTSYSTEM\"/>")));
    EXPECT_TRUE(reports.ids.empty());
    EXPECT_EQ((std::vector<std::string>{"fire"}), NamesOf(Manager().GetManagedClasses()));
    EXPECT_EQ(0u, Manager().GetEmitterManager()->GetCount());
}

TEST_F(DocumentFixture, SystemNamedBeforeItsEmitterFindsItAfterTheLoad) {
    ASSERT_TRUE(Load(kFullDocument));
    IParticleSystem* fire = Manager().Get("fire");
    ASSERT_NE(nullptr, fire);
    EXPECT_NE(nullptr, fire->GetEmitter());
    EXPECT_EQ(Manager().GetEmitterManager()->Get("core"), fire->GetEmitter());
}

TEST_F(DocumentFixture, SystemWithoutNameOrTypeIsReportedAndSkipped) {
    struct {
        const char* label;
        const char* attributes;
        std::vector<int> reports;
    } cases[] = {
        {"no name", "type=\"TESTSYSTEM\"", {117, 118}},
        {"no name, no type", "", {117, 118}},
        {"empty name, no type", "name=\"\"", {117, 118}},
        {"no type", "name=\"fire\"", {118}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        CReportCatcher reports;
        EXPECT_TRUE(Load(Document(std::string("<ParticleSystem ") + row.attributes + "/>")));
        EXPECT_EQ(row.reports, reports.ids);
        EXPECT_EQ(0u, Manager().GetCount());
    }
}

TEST_F(DocumentFixture, SystemWithEmptyNameIsRegisteredUnderIt) {
    CReportCatcher reports;
    EXPECT_TRUE(Load(Document("<ParticleSystem name=\"\" type=\"TESTSYSTEM\"/>")));
    EXPECT_TRUE(reports.ids.empty());
    EXPECT_NE(nullptr, Manager().Get(""));
}

TEST_F(DocumentFixture, TimerElementsAddToTheManagerTimeline) {
    Manager().AddTimer(0.5f, IPSTimer::TIMER_START);
    ASSERT_TRUE(Load(Document("<Timer Loop=\"FALSE\" LoopTime=\"0.25\">"
                              "<Time time=\"1.0\" type=\"PAUSE\"/><Time time=\"2.0\" type=\"END\"/></Timer>"
                              "<Timer><Time time=\"3.0\" type=\"START\"/></Timer>")));
    std::vector<float> times;
    for (const IPSTimer::TimerProps& event : Manager().GetTimes()) times.push_back(event.fTime);
    EXPECT_EQ((std::vector<float>{0.5f, 1.0f, 2.0f, 3.0f}), times);
    float loopTime = 0.0f;
    EXPECT_FALSE(Manager().GetLoop(loopTime));
    EXPECT_FLOAT_EQ(0.25f, loopTime);
}

TEST_F(DocumentFixture, ReplacingALoadedSystemEmptiesTheDrawingOrder) {
    ASSERT_TRUE(Load(kFullDocument));
    Manager().SetAutoSortingByEmitterCameraDistance(true);
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    Manager().Update(0.1f, identity, false);
    ASSERT_TRUE(Load(kFullDocument));
    Journal().clear();
    Manager().Render(identity, false, nullptr);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(DocumentFixture, EmptyManagerSavesOnlyTheVersionedRoot) {
    Manager().SaveParticleSystems(PathOf("out.xml").c_str());
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<ParticleSystems version=\"1.0\"/>\n", ReadFile(PathOf("out.xml")));
}

TEST_F(DocumentFixture, SaveWritesTimerThenEachGroupInByteOrder) {
    for (const char* name : {"b", "A", "a"}) {
        Manager().GetEmitterManager()->Add(name, new CSavedEmitter(device.Get()));
        Manager().GetTextureManager()->Add(name, new CSavedTexture());
        Manager().Add(name, new CSavedSystem(&Manager(), nullptr));
    }
    Manager().GetParamsManager()->Add("p", new CSavedParams());
    Manager().Add("null", nullptr);
    Manager().AddTimer(1.0f, IPSTimer::TIMER_START);
    Manager().SaveParticleSystems(PathOf("out.xml").c_str());

    CMyXMLParser parser(PathOf("out.xml").c_str());
    const Vastrel::Utils::IXMLParser* pReader = parser.Create();
    parser.Read(nullptr);
    ASSERT_NE(nullptr, pReader->GetRoot());
    std::vector<std::string> written;
    for (const CMyXMLNode* pChild : pReader->GetRoot()->GetChildrens()) {
        CString name, type;
        pChild->GetAttribute("name", name);
        pChild->GetAttribute("type", type);
        written.push_back(pChild->GetName().str() + " " + name.str() + " " + type.str());
    }
    EXPECT_EQ((std::vector<std::string>{"Timer  ", "Emitter A TESTPOINT", "Emitter a TESTPOINT",
                                        "Emitter b TESTPOINT", "ParticleSystemParams p TESTPARAMS",
                                        "Texture A TESTTEXTURE", "Texture a TESTTEXTURE", "Texture b TESTTEXTURE",
                                        "ParticleSystem A TESTSYSTEM", "ParticleSystem a TESTSYSTEM",
                                        "ParticleSystem b TESTSYSTEM"}),
              written);
}

TEST_F(DocumentFixture, SaveThenLoadIntoAFreshManagerKeepsTheNames) {
    ASSERT_TRUE(Load(kFullDocument));
    Manager().AddTimer(2.0f, IPSTimer::TIMER_END);
    Manager().SaveParticleSystems(PathOf("out.xml").c_str());

    SDocumentManager fresh(device.Get());
    CReportCatcher reports;
    EXPECT_TRUE(fresh.manager.LoadParticleSystemsFromFile(PathOf("out.xml").c_str()));
    EXPECT_TRUE(reports.ids.empty());
    EXPECT_EQ(loaded->AllNames(), fresh.AllNames());
    EXPECT_EQ(1, fresh.manager.GetTimesCount());
}

namespace {

// One triangle in the y = 0 plane, in managed buffers the caller releases.
struct STriangleBuffers {
    explicit STriangleBuffers(IDirect3DDevice9* pDevice) {
        const D3DXVECTOR3 corners[3] = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
        const WORD indices[3] = {0, 1, 2};
        pDevice->CreateVertexBuffer(sizeof(corners), 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &pVB, nullptr);
        pDevice->CreateIndexBuffer(sizeof(indices), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &pIB, nullptr);
        Fill(pVB, corners, sizeof(corners));
        Fill(pIB, indices, sizeof(indices));
    }
    ~STriangleBuffers() {
        if (pVB) pVB->Release();
        if (pIB) pIB->Release();
    }

    template <typename Buffer>
    static void Fill(Buffer* pBuffer, const void* pData, UINT size) {
        void* pLocked = nullptr;
        ASSERT_NE(nullptr, pBuffer);
        ASSERT_EQ(D3D_OK, pBuffer->Lock(0, size, &pLocked, 0));
        std::memcpy(pLocked, pData, size);
        pBuffer->Unlock();
    }

    IDirect3DVertexBuffer9* pVB = nullptr;
    IDirect3DIndexBuffer9* pIB = nullptr;
};

}  // namespace

TEST_F(DocumentFixture, SetMeshToEmittersReachesEveryStaticMeshEmitterAndNothingElse) {
    CEmitterManager& emitters = *Manager().GetEmitterManager();
    emitters.Add("a mesh", new CStaticMeshEmitter(device.Get()));
    emitters.Add("b point", new CPointDouble(device.Get()));
    emitters.Add("c empty", nullptr);
    emitters.Add("d mesh", new CStaticMeshEmitter(device.Get()));
    STriangleBuffers triangle(device.Get());
    D3DXMATRIXA16 up;
    D3DXMatrixTranslation(&up, 0.0f, 10.0f, 0.0f);

    Manager().SetMeshToEmitters(triangle.pVB, triangle.pIB, &up);

    EXPECT_FLOAT_EQ(10.0f, emitters.Get("a mesh")->GetEmitPoint().y);
    EXPECT_FLOAT_EQ(10.0f, emitters.Get("d mesh")->GetEmitPoint().y);
    EXPECT_FLOAT_EQ(0.0f, emitters.Get("b point")->GetEmitPoint().y);
}
