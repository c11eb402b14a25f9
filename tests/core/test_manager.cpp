#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <platform/crt_rand.h>

#include "particleeffect.h"
#include "support_doubles.h"

namespace {

struct ManagerFixture : ::testing::Test {
    CTestDevice device;
    CEmitterManager emitters;
    CPSParamsManager params;
    CTextureManager textures;
    std::unique_ptr<CParticleSystemManager> manager;
    D3DXMATRIXA16 identity;
    int deaths = 0;

    void SetUp() override {
        Journal().clear();
        D3DXMatrixIdentity(&identity);
        manager.reset(new CParticleSystemManager(device.Get(), &emitters, &params, nullptr, &textures, false));
    }

    void TearDown() override {
        manager.reset();
        emitters.Clear();
        ReleaseParticleSystemDXResources();
    }

    CSystemDouble* AddSystem(const std::string& name) {
        auto* system = new CSystemDouble(manager.get(), name, &deaths);
        manager->Add(name.c_str(), system);
        return system;
    }

    // A system whose emitter stands at distance along x from the origin camera.
    CSystemDouble* AddPlacedSystem(const std::string& name, float distance, bool sortsParticles) {
        auto* emitter = new CPointDouble(device.Get());
        D3DXMATRIX placement;
        emitter->SetMatrix(*D3DXMatrixTranslation(&placement, distance, 0.0f, 0.0f));
        emitters.Add(name.c_str(), emitter);
        CSystemDouble* system = AddSystem(name);
        system->SetEmitter(name.c_str());
        system->SetSortingParticles(sortsParticles);
        return system;
    }

    std::vector<std::string> Rendered() {
        Journal().clear();
        manager->Render(identity, false, nullptr);
        return Journal();
    }
};

}  // namespace

TEST_F(ManagerFixture, UpdateWalksLastNameFirstAndDeletesFinishedSystemsAtOnce) {
    AddSystem("a")->onUpdate = [] { return false; };
    AddSystem("b");
    AddSystem("c");
    manager->Update(0.1f, identity, false);
    EXPECT_EQ((std::vector<std::string>{"update c", "update b", "update a"}), Journal());
    EXPECT_EQ(nullptr, manager->Get("a"));
    EXPECT_EQ(1, deaths);
    EXPECT_EQ(2u, manager->GetCount());
}

TEST_F(ManagerFixture, SystemsMayAddAndRemoveSystemsDuringTheWalk) {
    AddSystem("a");
    AddSystem("b");
    AddSystem("c")->onUpdate = [this] {
        manager->Remove("b");
        AddSystem("0");
        return true;
    };
    manager->Update(0.1f, identity, false);
    EXPECT_EQ((std::vector<std::string>{"update c", "update a"}), Journal());
    EXPECT_EQ(1, deaths);
    EXPECT_EQ(3u, manager->GetCount());
}

TEST_F(ManagerFixture, NullEntriesAreSkippedByEveryWalk) {
    manager->Add("null", nullptr);
    AddSystem("a");
    manager->Update(0.1f, identity, false);
    manager->Render(identity, false, nullptr);
    EXPECT_TRUE(manager->BeginReset());
    EXPECT_EQ((std::vector<std::string>{"update a", "render a", "reset a"}), Journal());
}

TEST_F(ManagerFixture, AutoSortingOrdersByEmitterDistanceAndParticleSorting) {
    struct Row {
        const char* label;
        bool sortsNear;
        bool sortsFar;
        std::vector<std::string> order;
    };
    const Row rows[] = {
        {"neither sorts: nearest first", false, false, {"render near", "render far"}},
        {"both sort: farthest first", true, true, {"render far", "render near"}},
        {"only the near one sorts: it goes last", true, false, {"render far", "render near"}},
    };
    for (const Row& row : rows) {
        manager->Clear();
        AddPlacedSystem("near", 2.0f, row.sortsNear);
        AddPlacedSystem("far", 5.0f, row.sortsFar);
        manager->SetAutoSortingByEmitterCameraDistance(true);
        manager->Update(0.0f, identity, false);
        EXPECT_EQ(row.order, Rendered()) << row.label;
    }
}

TEST_F(ManagerFixture, SystemsWithoutEmitterComeFirstAndHiddenOnesAreLeftOut) {
    AddPlacedSystem("a", 1.0f, false);
    AddSystem("b");
    AddSystem("c")->SetNeedRender(false);
    manager->SetAutoSortingByEmitterCameraDistance(true);
    EXPECT_TRUE(Rendered().empty());  // nothing until the next Update rebuilds the order
    manager->Update(0.0f, identity, false);
    EXPECT_EQ((std::vector<std::string>{"render b", "render a"}), Rendered());
    manager->Remove("b");
    EXPECT_TRUE(Rendered().empty());
    EXPECT_FALSE(manager->Remove("b"));
}

// Replacing a system under its name deletes the old one; the drawing order
// must not keep it (the sanitizer build catches a use after free here).
TEST_F(ManagerFixture, ReplacingASystemEmptiesTheDrawingOrder) {
    AddSystem("a");
    manager->SetAutoSortingByEmitterCameraDistance(true);
    manager->Update(0.0f, identity, false);
    EXPECT_EQ((std::vector<std::string>{"render a"}), Rendered());
    AddSystem("a");
    EXPECT_TRUE(Rendered().empty());
    manager->Update(0.0f, identity, false);
    EXPECT_EQ((std::vector<std::string>{"render a"}), Rendered());
}

TEST_F(ManagerFixture, ClearEmptiesHostRegistriesAndTheTimeline) {
    AddSystem("a");
    emitters.Add("e", new CPointDouble(device.Get()));
    params.Add("p", new CParamsDouble(1.0f));
    textures.Add("t", new CTextureDouble());
    manager->AddTimer(1.0f, IPSTimer::TIMER_START);
    manager->Clear();
    EXPECT_EQ(0u, manager->GetCount());
    EXPECT_EQ(0u, emitters.GetCount());
    EXPECT_EQ(0u, params.GetCount());
    EXPECT_EQ(0u, textures.GetCount());
    EXPECT_EQ(0, manager->GetTimesCount());
}

TEST_F(ManagerFixture, ResetStopsAtTheFirstFailingSystem) {
    EXPECT_TRUE(manager->BeginReset());
    EXPECT_TRUE(manager->EndReset());
    AddSystem("a");
    AddSystem("b")->resetSucceeds = false;
    AddSystem("c");
    EXPECT_FALSE(manager->BeginReset());
    EXPECT_EQ((std::vector<std::string>{"reset a", "reset b"}), Journal());
}

TEST_F(ManagerFixture, StatisticsOverSystems) {
    EXPECT_EQ(0.0f, manager->GetMaxLifeTime());
    params.Add("short", new CParamsDouble(1.5f));
    params.Add("long", new CParamsDouble(4.0f));
    AddSystem("a")->SetParticleSystemParams("short");
    CSystemDouble* b = AddSystem("b");
    b->SetParticleSystemParams("long");
    AddSystem("c")->SetParticleSystemParams("missing");
    EXPECT_EQ(4.0f, manager->GetMaxLifeTime());
    b->SetParticleContainer(new CContainerDouble(7));
    manager->Get("a")->SetParticleContainer(new CContainerDouble(5));
    EXPECT_EQ(12u, manager->GetActiveParticleCount());
}

TEST_F(ManagerFixture, ManagerEventsRestartOrStopEverySystemThenCallTheHost) {
    struct Seen {
        int calls = 0;
        IPSTimer::TimerEnums type = IPSTimer::TIMER_START;
    } seen;
    manager->RegisterPMTimerCallback(
        [](CParticleSystemManager*, const IPSTimer::TimerProps& props, float, void* user) {
            auto* s = static_cast<Seen*>(user);
            ++s->calls;
            s->type = props.eType;
        },
        &seen);
    AddSystem("a");
    CSystemDouble* b = AddSystem("b");
    manager->OnTimer({0.0f, IPSTimer::TIMER_START}, 0.0f);
    EXPECT_TRUE(b->IsNeedEmit());
    // A system's own START restarts its empty timeline, which echoes one START back.
    EXPECT_EQ((std::vector<std::string>{"rewind b", "event 0 b", "event 0 b", "rewind a", "event 0 a", "event 0 a"}),
              Journal());
    Journal().clear();
    manager->OnTimer({2.0f, IPSTimer::TIMER_END}, 0.0f);
    EXPECT_FALSE(b->IsNeedEmit());
    EXPECT_EQ(2, seen.calls);
    EXPECT_EQ(IPSTimer::TIMER_END, seen.type);
}

TEST_F(ManagerFixture, AHostCallbackMayRemoveSystemsDuringTheEventWalk) {
    manager->RegisterPSTimerCallback(
        [](IParticleSystem* system, const IPSTimer::TimerProps&, float, void*) {
            system->GetManager()->Remove("a");
        },
        nullptr);
    AddSystem("a");
    AddSystem("b");
    manager->AddTimer(0.5f, IPSTimer::TIMER_PAUSE);
    manager->StartTimer();
    manager->Update(1.0f, identity, false);
    EXPECT_EQ(nullptr, manager->Get("a"));
    EXPECT_EQ((std::vector<std::string>{"rewind b", "event 1 b", "rewind b", "update b"}), Journal());
}

TEST_F(ManagerFixture, CameraRowsAndCameraFromView) {
    manager->SetCameraPos(D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    manager->SetCameraAt(D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(1.0f, manager->GetCameraMatrix()._44);
    EXPECT_EQ(0.0f, manager->GetCameraMatrix()._34);
    EXPECT_EQ(D3DXVECTOR3(1.0f, 2.0f, 3.0f), manager->GetCameraPos());

    D3DXMATRIX view;
    const D3DXVECTOR3 eye(4.0f, 5.0f, -6.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    manager->SetCameraMatrixFromViewMatrix(*D3DXMatrixLookAtLH(&view, &eye, &at, &up));
    const D3DXVECTOR3 position = manager->GetCameraPos();
    EXPECT_NEAR(4.0f, position.x, 1e-4f);
    EXPECT_NEAR(5.0f, position.y, 1e-4f);
    EXPECT_NEAR(-6.0f, position.z, 1e-4f);

    D3DXMATRIX singular;
    memset(&singular, 0, sizeof(singular));
    manager->SetCameraMatrixFromViewMatrix(singular);
    EXPECT_NEAR(4.0f, manager->GetCameraPos().x, 1e-4f);
}

TEST(Manager, OwnsOnlyTheRegistriesItCreatedAndSeedsWithZero) {
    CTestDevice device;
    CTextureManager hostTextures;
    crt::srand(99);
    {
        CParticleSystemManager manager(device.Get(), nullptr, nullptr, nullptr, &hostTextures, true);
        EXPECT_NE(nullptr, manager.GetEmitterManager());
        EXPECT_NE(nullptr, manager.GetParticleContainerManager());
        EXPECT_EQ(&hostTextures, manager.GetTextureManager());
        const int first = crt::rand();
        crt::srand(0);
        EXPECT_EQ(crt::rand(), first);
    }
    hostTextures.Add("still usable", new CTextureDouble());
    ReleaseParticleSystemDXResources();
}

TEST(Manager, HostSystemFactoriesAreOwnedAndDestroyedWithTheManager) {
    CTestDevice device;
    int deaths = 0;
    {
        CParticleSystemManager manager(device.Get(), nullptr, nullptr, nullptr, nullptr, false);
        new CSystemFactoryDouble(&manager, "CUSTOM", &deaths);
        new CSystemFactoryDouble(&manager, "CUSTOM", &deaths);
        EXPECT_EQ(1, deaths);
    }
    EXPECT_EQ(2, deaths);
    ReleaseParticleSystemDXResources();
}
