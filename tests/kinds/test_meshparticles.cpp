#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "MeshParticle/cmeshparticle.h"
#include "MeshParticle/cmeshparticleparamupdater.h"
#include "MeshParticle/cmeshparticlesystem.h"
#include "MeshParticle/cmeshparticlesystemparams.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "cmanager.h"
#include "particleeffect.h"
#include "platform/swdevice.h"
#include "utils/errorreport_capture.h"
#include "support/testdevice.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;

namespace {

// What the host's three functions were asked to do. Objects are heap strings
// holding their file name, so a leak or a double delete shows under the sanitizers.
struct HostLog {
    std::vector<std::string> events;  // "load <file>", "delete <file>", "draw <file>"
    std::vector<std::vector<SParticleRenderProperties>> draws;
    std::string nullFile = "missing.x";  // the loader gives nothing for this one
};
HostLog* g_host = nullptr;

void* LoadObject(const CString& file) {
    g_host->events.push_back("load " + file.str());
    return file.str() == g_host->nullFile ? nullptr : new std::string(file.str());
}

void DeleteObject(void* pObject) {
    std::string* pName = static_cast<std::string*>(pObject);
    g_host->events.push_back("delete " + *pName);
    delete pName;
}

void DrawObjects(SParticleRenderProperties* pProperties, int count, void* pObject) {
    g_host->events.push_back("draw " + *static_cast<std::string*>(pObject));
    g_host->draws.emplace_back(pProperties, pProperties + count);
}

// A particle without the mesh fields: writing them would overrun it.
class CBareParticle : public IParticle {
public:
    explicit CBareParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}
};

// A non-mesh kind that records its reset calls.
class CBareSystem : public IParticleSystem {
public:
    CBareSystem(CParticleSystemManager* pManager, std::vector<std::string>* pResets)
        : IParticleSystem(pManager, PST_POINTSPRITE), m_pResets(pResets) {}
    IParticle* CreateParticle() override { return new CBareParticle(this); }
    bool Resize() override { return true; }
    bool BeginReset() override { return Record("begin"); }
    bool EndReset() override { return Record("end"); }

private:
    bool Record(const char* what) {
        if (m_pResets) m_pResets->push_back(what);
        return true;
    }
    std::vector<std::string>* m_pResets;
};

struct XmlElement {
    CMyXMLParser parser{"test.xml"};
    CMyXMLNode root;
    explicit XmlElement(const char* name) : root(&parser, name) {}
    CMyXMLNode* get() { return &root; }
};

CString Attribute(const CMyXMLNode* pNode, const char* name) {
    CString value;
    EXPECT_TRUE(pNode->GetAttribute(name, value)) << name;
    return value;
}

std::vector<IParticle*> Walk(IParticleContainer* pContainer) {
    std::vector<IParticle*> order;
    for (IParticle* p = pContainer->First(); p; p = pContainer->Next()) order.push_back(p);
    return order;
}

D3DXMATRIXA16 Identity() {
    D3DXMATRIXA16 m;
    D3DXMatrixIdentity(&m);
    return m;
}

class MeshParticleTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_liveObjects = swdevice::LiveObjectCount();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        m_device = CreateTestDevice(m_d3d, WindowedParams(4, 4, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
        manager.reset(new CParticleSystemManager(m_device, &emitters, &params, nullptr, &textures, false));
        g_host = &host;
        RegisterHooks(&LoadObject, &DeleteObject, &DrawObjects);
    }

    void TearDown() override {
        manager.reset();
        params.Clear();
        RegisterHooks(nullptr, nullptr, nullptr);
        g_host = nullptr;
        ReleaseParticleSystemDXResources();
        EXPECT_EQ(m_device->Release(), 0u);
        EXPECT_EQ(m_d3d->Release(), 0u);
        EXPECT_EQ(m_liveObjects, swdevice::LiveObjectCount());
    }

    static void RegisterHooks(CMeshParticleSystem::ParticleLoaderFunction loader,
                              CMeshParticleSystem::ParticleDeleterFunction deleter,
                              CMeshParticleSystem::ParticleRenderFunction render) {
        CMeshParticleSystem::RegisterParticleLoaderFunction(loader);
        CMeshParticleSystem::RegisterParticleDeleterFunction(deleter);
        CMeshParticleSystem::RegisterParticleRenderFunction(render);
    }

    // A mesh system with a pool of cap, naming parameter set "p", showing "rock.x".
    std::unique_ptr<CMeshParticleSystem> MakeSystem(unsigned cap = 8) {
        std::unique_ptr<CMeshParticleSystem> system(new CMeshParticleSystem(manager.get()));
        system->Init(new CPoolParticleContainer(), "e", "p", cap, 0.0f, 0, "");
        system->SetParticleObjectFileName("rock.x");
        return system;
    }

    // A mesh set with lives of exactly life seconds, registered as "p".
    CMeshParticleSystemParams* AddParams(float life) {
        CMeshParticleSystemParams* pParams = new CMeshParticleSystemParams(life, life);
        params.Add("p", pParams);
        return pParams;
    }

    static IParticle* Bear(IParticleSystem& system, const D3DXVECTOR3& position, DWORD color = 0xFFFFFFFF) {
        IParticle* pParticle = system.GetParticleContainer()->Push();
        pParticle->SetLive(&system, position);
        pParticle->SetColor(color);
        return pParticle;
    }

    static CMeshParticle* FirstMesh(IParticleSystem& system) {
        return static_cast<CMeshParticle*>(system.GetParticleContainer()->First());
    }

    HostLog host;
    CEmitterManager emitters;
    CPSParamsManager params;
    CTextureManager textures;
    std::unique_ptr<CParticleSystemManager> manager;

private:
    size_t m_liveObjects = 0;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

// ---- Drawing ----

TEST_F(MeshParticleTest, RenderFunctionGetsEveryLiveParticleInOneCallInWalkOrder) {
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(1, 0, 0), 0xFF000001);
    Bear(*system, D3DXVECTOR3(2, 0, 0), 0xFF000002);
    Bear(*system, D3DXVECTOR3(3, 0, 0), 0xFF000003);
    host.events.clear();
    system->Render(Identity(), true, nullptr);
    ASSERT_EQ(std::vector<std::string>{"draw rock.x"}, host.events);
    ASSERT_EQ(3u, host.draws[0].size());
    const std::vector<IParticle*> walk = Walk(system->GetParticleContainer());
    for (size_t i = 0; i < walk.size(); ++i) {
        const SParticleRenderProperties& entry = host.draws[0][i];
        EXPECT_EQ(walk[i]->GetPos(), entry.vPosition) << "entry " << i;
        EXPECT_EQ(walk[i]->GetColor(), entry.dwColor) << "entry " << i;
        EXPECT_EQ(D3DXVECTOR3(1, 1, 1), entry.vSize) << "entry " << i;
        EXPECT_EQ(D3DXVECTOR3(0, 0, 0), entry.vRotation) << "entry " << i;
    }
}

TEST_F(MeshParticleTest, EntriesAreBroughtIntoTheMatrixSpaceOnlyWithoutUseWorld) {
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(1, 0, 0));
    D3DXMATRIXA16 scale, move;
    D3DXMatrixScaling(&scale, 2, 2, 2);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    const D3DXMATRIXA16 m = scale * move;
    system->Render(m, false, nullptr);
    system->Render(m, true, nullptr);
    ASSERT_EQ(2u, host.draws.size());
    EXPECT_EQ(D3DXVECTOR3(12, 0, 0), host.draws[0][0].vPosition);
    EXPECT_EQ(D3DXVECTOR3(2, 2, 2), host.draws[0][0].vSize);
    EXPECT_EQ(D3DXVECTOR3(1, 0, 0), host.draws[1][0].vPosition) << "useWorld keeps the entries as they are";
    EXPECT_EQ(D3DXVECTOR3(1, 1, 1), host.draws[1][0].vSize);
}

TEST_F(MeshParticleTest, WithoutObjectOrRenderFunctionTheSystemIsSimulatedButNeverDrawn) {
    struct Case {
        const char* label;
        bool loader;
        const char* file;
        bool render;
    };
    const Case cases[] = {
        {"no loader", false, "rock.x", true},
        {"loader gives null", true, "missing.x", true},
        {"no render function", true, "rock.x", false},
    };
    AddParams(10.0f)->GetVelocityKeyValues()->AddValue(0.0f, 1.0f, 1.0f);
    for (const Case& c : cases) {
        ErrorReportCapture reports;
        RegisterHooks(c.loader ? &LoadObject : nullptr, &DeleteObject, c.render ? &DrawObjects : nullptr);
        host.draws.clear();
        {
            std::unique_ptr<CMeshParticleSystem> system(new CMeshParticleSystem(manager.get()));
            system->Init(new CPoolParticleContainer(), "e", "p", 4, 0.0f, 0, "");
            system->SetParticleObjectFileName(c.file);
            Bear(*system, D3DXVECTOR3(0, 0, 0));
            EXPECT_TRUE(system->Update(0.5f, Identity(), false)) << c.label;
            EXPECT_EQ(1u, system->GetParticleCount()) << c.label;
            system->Render(Identity(), false, nullptr);
        }
        EXPECT_TRUE(host.draws.empty()) << c.label;
        EXPECT_TRUE(reports.reports.empty()) << c.label;
    }
}

// ---- The object ----

TEST_F(MeshParticleTest, ANewFileNameDeletesTheOldObjectBeforeLoadingAndTheSystemDeletesTheLast) {
    {
        CMeshParticleSystem system(manager.get());
        system.SetParticleObjectFileName("a.x");
        system.SetParticleObjectFileName("b.x");
        EXPECT_EQ(CString("b.x"), system.GetParticleObjectFileName());
    }
    EXPECT_EQ((std::vector<std::string>{"load a.x", "delete a.x", "load b.x", "delete b.x"}), host.events);
}

TEST_F(MeshParticleTest, InitReadsMeshFileNameAndLoadsIt) {
    XmlElement element("ParticleSystem");
    element.root.SetAttribute("maxParticle", 4);
    element.root.SetAttribute("emitPerSec", 1.0f);
    element.root.SetAttribute("particlePerEmit", 1);
    element.root.SetAttribute("MeshFileName", "meshes\\rock.x");
    CMeshParticleSystem system(manager.get());
    ErrorReportCapture reports;  // no emitter or set is named
    system.Init(element.get());
    EXPECT_EQ(CString("meshes\\rock.x"), system.GetParticleObjectFileName());
    EXPECT_EQ(std::vector<std::string>{"load meshes\\rock.x"}, host.events);
    EXPECT_EQ(4u, system.GetMaxParticle());
    ASSERT_EQ(2u, reports.reports.size());
    EXPECT_EQ(115, reports.reports[0].messageId);
    EXPECT_EQ(114, reports.reports[1].messageId);
}

// ---- Element and archive ----

TEST_F(MeshParticleTest, SavedElementCarriesTheBaseElementThenTypeAndFileNameAsStored) {
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem(5);
    system->SetParticleObjectFileName("meshes\\rock.x");
    XmlElement saved("ParticleSystem");
    system->Save(saved.get());
    EXPECT_EQ(CString("MESH"), Attribute(saved.get(), "type"));
    EXPECT_EQ(CString("meshes\\rock.x"), Attribute(saved.get(), "MeshFileName"));
    EXPECT_EQ(CString("5"), Attribute(saved.get(), "maxParticle"));
    EXPECT_EQ(CString("POOL"), Attribute(saved.get(), "containerType"));
    std::vector<std::string> children;
    for (const CMyXMLNode* pChild : saved.root.GetChildrens()) children.push_back(pChild->GetName().str());
    EXPECT_EQ((std::vector<std::string>{"Blend", "ParticleSystemParams", "Emitter", "Texture"}), children);
}

TEST_F(MeshParticleTest, ArchiveRecordIsTheBaseRecordThenTheFileNameAndRoundTrips) {
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem(7);
    system->SetSrcBlend(D3DBLEND_ONE);
    system->SetScale(2.5f);
    CMemFile first, second;
    {
        CArchive store(&first, CArchive::store);
        system->Copy(store);
    }
    EXPECT_EQ(129u + 1u + 6u, first.GetLength()) << "base record, then \"rock.x\" with its length byte";
    first.SeekToBegin();
    host.events.clear();
    CArchive load(&first, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(PST_MESH, type);
    CMeshParticleSystem copy(manager.get(), load);
    EXPECT_EQ(std::vector<std::string>{"load rock.x"}, host.events);
    EXPECT_EQ(7u, copy.GetMaxParticle());
    EXPECT_EQ(DWORD(D3DBLEND_ONE), copy.GetSrcBlend());
    EXPECT_EQ(2.5f, copy.GetScale());
    {
        CArchive store(&second, CArchive::store);
        copy.Copy(store);
    }
    ASSERT_EQ(first.GetLength(), second.GetLength());
    EXPECT_EQ(0, std::memcmp(first.GetData(), second.GetData(), size_t(first.GetLength())));
}

// ---- Cap and reset ----

TEST_F(MeshParticleTest, SetMaxParticleChangesOnlyTheCapAndTheContainer) {
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem(8);
    for (int i = 0; i < 5; ++i) Bear(*system, D3DXVECTOR3(float(i), 0, 0));
    system->Render(Identity(), true, nullptr);
    host.events.clear();
    system->SetMaxParticle(3);
    EXPECT_EQ(3u, system->GetMaxParticle());
    EXPECT_EQ(3u, system->GetParticleCount());
    EXPECT_TRUE(host.events.empty()) << "the object is neither deleted nor reloaded";
    system->Render(Identity(), true, nullptr);
    ASSERT_EQ(2u, host.draws.size());
    EXPECT_EQ(5u, host.draws[0].size());
    EXPECT_EQ(3u, host.draws[1].size()) << "only the live entries of the grown scratch array";
}

TEST_F(MeshParticleTest, ResetsSucceedSoTheManagerResetsTheSystemsAfterIt) {
    std::vector<std::string> resets;
    manager->Add("a", new CMeshParticleSystem(manager.get()));
    manager->Add("b", new CBareSystem(manager.get(), &resets));
    EXPECT_TRUE(manager->BeginReset());
    EXPECT_TRUE(manager->EndReset());
    EXPECT_EQ((std::vector<std::string>{"begin", "end"}), resets);
}

// ---- Parameter set and updater ----

TEST_F(MeshParticleTest, MortalCurvesFollowTheFractionOfLife) {
    CMeshParticleSystemParams* pParams = AddParams(2.0f);
    pParams->GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(1, 1, 1));
    pParams->GetSizeKeyValues()->AddValue(1.0f, D3DXVECTOR3(3, 5, 7), D3DXVECTOR3(3, 5, 7));
    pParams->GetRotateAngleKeyValues()->AddValue(1.0f, D3DXVECTOR3(0, 4, 0), D3DXVECTOR3(0, 4, 0));
    pParams->GetRotationKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    pParams->GetRotationKeyValues()->AddValue(1.0f, D3DXVECTOR3(8, 0, 0), D3DXVECTOR3(8, 0, 0));
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(0, 0, 0));
    system->Update(1.0f, Identity(), false);
    const CMeshParticle* pParticle = FirstMesh(*system);
    EXPECT_EQ(D3DXVECTOR3(2, 3, 4), pParticle->GetSize());
    EXPECT_EQ(D3DXVECTOR3(0, 4, 0), pParticle->GetRotateAngle());
    EXPECT_EQ(D3DXVECTOR3(4, 0, 0), pParticle->GetRotation());
}

TEST_F(MeshParticleTest, EternalSizeRunsOnItsOwnClockWhileRotationStaysOnAgeOverLife) {
    CMeshParticleSystemParams* pParams = AddParams(4.0f);
    pParams->SetEternal(ETERNAL_END);
    pParams->GetSizeKeyValues()->SetLoop(false, 0.0f);
    pParams->GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    pParams->GetSizeKeyValues()->AddValue(1.0f, D3DXVECTOR3(2, 2, 2), D3DXVECTOR3(2, 2, 2));
    pParams->GetRotationKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    pParams->GetRotationKeyValues()->AddValue(1.0f, D3DXVECTOR3(0, 0, 4), D3DXVECTOR3(0, 0, 4));
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(0, 0, 0));
    system->Update(0.5f, Identity(), false);
    system->Update(0.5f, Identity(), false);
    const CMeshParticle* pParticle = FirstMesh(*system);
    EXPECT_EQ(D3DXVECTOR3(2, 2, 2), pParticle->GetSize()) << "one second on the size clock";
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), pParticle->GetRotation()) << "age 1 of life 4";
}

TEST_F(MeshParticleTest, RotateAngleCurveWithoutSizeKeysIsStillApplied) {
    AddParams(1.0f)->GetRotateAngleKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(1, 2, 3));
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(0, 0, 0));
    const auto* pUpdater = static_cast<CMeshParticleParamUpdater*>(FirstMesh(*system)->GetParamUpdater());
    EXPECT_EQ(nullptr, pUpdater->GetSizeInterpolator());
    EXPECT_NE(nullptr, pUpdater->GetRotateAngleInterpolator());
    system->Update(0.25f, Identity(), false);
    EXPECT_EQ(D3DXVECTOR3(1, 2, 3), FirstMesh(*system)->GetRotateAngle());
    EXPECT_EQ(D3DXVECTOR3(1, 1, 1), FirstMesh(*system)->GetSize());
}

TEST_F(MeshParticleTest, MeshSetOnAnotherKindOnlyRunsTheStandardStep) {
    CMeshParticleSystemParams* pParams = AddParams(10.0f);
    const D3DXVECTOR3 big(9, 9, 9);
    pParams->GetSizeKeyValues()->AddValue(0.0f, big, big);
    pParams->GetRotateAngleKeyValues()->AddValue(0.0f, big, big);
    pParams->GetRotationKeyValues()->AddValue(0.0f, big, big);
    pParams->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 1, 0));
    pParams->GetVelocityKeyValues()->AddValue(0.0f, 2.0f, 2.0f);
    CBareSystem system(manager.get(), nullptr);
    system.Init(new CPoolParticleContainer(), "e", "p", 4, 0.0f, 0, "");
    for (int i = 0; i < 4; ++i) Bear(system, D3DXVECTOR3(0, 0, 0));
    for (int step = 0; step < 3; ++step) EXPECT_TRUE(system.Update(0.5f, Identity(), false));
    for (IParticle* pParticle : Walk(system.GetParticleContainer()))
        EXPECT_EQ(D3DXVECTOR3(0, 3, 0), pParticle->GetPos()) << "velocity still moves it";
}

TEST_F(MeshParticleTest, MeshSystemWithAStandardSetKeepsTheParticleDefaults) {
    params.Add("p", new CStandardParticleSystemParams(10.0f, 10.0f, PSPT_STANDARD));
    std::unique_ptr<CMeshParticleSystem> system = MakeSystem();
    Bear(*system, D3DXVECTOR3(0, 0, 0));
    system->Update(0.5f, Identity(), false);
    system->Render(Identity(), true, nullptr);
    ASSERT_EQ(1u, host.draws.size());
    EXPECT_EQ(D3DXVECTOR3(1, 1, 1), host.draws[0][0].vSize);
}

TEST(CMeshParticleSystemParams, ElementRoundTripWritesOneTypeAndBothCurves) {
    CMeshParticleSystemParams set(1.0f, 2.0f);
    set.GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(2, 2, 2));
    set.GetRotateAngleKeyValues()->AddValue(0.5f, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 3, 0));
    XmlElement saved("ParticleSystemParams");
    set.Save(saved.get());
    EXPECT_EQ(CString("MESH"), Attribute(saved.get(), "type"));
    ASSERT_EQ(2u, saved.root.GetChildrenCount());
    EXPECT_EQ(CString("SizeKeyValues"), saved.root.GetChildren(0)->GetName());
    EXPECT_EQ(CString("RotateAngleKeyValues"), saved.root.GetChildren(1)->GetName());
    CMeshParticleSystemParams reread(nullptr, saved.get());
    EXPECT_EQ(PSPT_MESH, reread.GetPSParamsType());
    EXPECT_EQ(2.0f, reread.GetMaxLifeTime());
    ASSERT_EQ(1u, reread.GetSizeKeyValues()->GetCount());
    EXPECT_EQ(D3DXVECTOR3(2, 2, 2), reread.GetSizeKeyValues()->GetValues()[0].max);
    ASSERT_EQ(1u, reread.GetRotateAngleKeyValues()->GetCount());
    EXPECT_EQ(0.5f, reread.GetRotateAngleKeyValues()->GetValues()[0].key);
}

TEST(CMeshParticleSystemParams, ArchiveRecordIsTypeThreeAndTheStandardRecordWithoutTheCurves) {
    CMeshParticleSystemParams set(1.0f, 2.0f);
    set.SetEternal(ETERNAL_PAUSE);
    set.GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
    set.GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(1, 1, 1));
    CMemFile mesh, standard;
    {
        CArchive store(&mesh, CArchive::store);
        set.Copy(store);
        CArchive storeStandard(&standard, CArchive::store);
        set.CStandardParticleSystemParams::Copy(storeStandard);
    }
    ASSERT_EQ(standard.GetLength() + 4, mesh.GetLength());
    EXPECT_EQ(0, std::memcmp(standard.GetData(), mesh.GetData() + 4, size_t(standard.GetLength())));
    mesh.SeekToBegin();
    CArchive load(&mesh, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(PSPT_MESH, type);
    CMeshParticleSystemParams copy(0.0f, 0.0f, load);
    EXPECT_EQ(ETERNAL_PAUSE, copy.GetEternal());
    EXPECT_EQ(1u, copy.GetColorKeyValues()->GetCount());
    EXPECT_EQ(0u, copy.GetSizeKeyValues()->GetCount());
}

}  // namespace
