#include <cmath>
#include <algorithm>
#include <string>
#include <vector>

#include "support_particles.h"

namespace {

struct Containers : CoreFixture {
    std::unique_ptr<CTestSystem> system{new CTestSystem(manager.get())};

    std::vector<IParticle*> Births(IParticleContainer& container, int count) {
        std::vector<IParticle*> born;
        for (int i = 0; i < count; ++i) born.push_back(container.Push());
        return born;
    }
};

// Retires the particles for which dies() holds, walking as the system does.
template <typename Dies>
std::vector<IParticle*> WalkRetiring(IParticleContainer& container, Dies dies) {
    std::vector<IParticle*> visited;
    IParticle* p = container.First();
    while (p) {
        visited.push_back(p);
        p = dies(p) ? container.PopCurrent() : container.Next();
    }
    return visited;
}

}  // namespace

TEST_F(Containers, PoolMakesEveryParticleUpFrontAndStartsEmpty) {
    CPoolParticleContainer pool;
    pool.Init(system.get(), 5);
    EXPECT_EQ(5, CTestParticle::liveCount);
    EXPECT_EQ(0u, pool.GetActiveParticle());
    EXPECT_EQ(nullptr, pool.First());
    EXPECT_EQ(nullptr, pool.Current());
}

TEST_F(Containers, PoolRetirementKeepsOrderAndTheRetiredObjectIsTheNextBirth) {
    CPoolParticleContainer pool;
    pool.Init(system.get(), 5);
    std::vector<IParticle*> born = Births(pool, 5);
    EXPECT_EQ(nullptr, pool.Push()) << "no spare left";
    WalkRetiring(pool, [&](IParticle* p) { return p == born[1]; });
    EXPECT_EQ((std::vector<IParticle*>{born[0], born[2], born[3], born[4]}), Walk(pool));
    EXPECT_EQ(born[1], pool.Push());
}

TEST_F(Containers, WalkVisitsTheParticleAfterARetiredOneInTheSameWalk) {
    for (bool pooled : {true, false}) {
        std::unique_ptr<IParticleContainer> container(pooled ? static_cast<IParticleContainer*>(new CPoolParticleContainer())
                                                             : new CSimpleParticleContainer());
        container->Init(system.get(), 3);
        std::vector<IParticle*> abc = Births(*container, 3);
        std::vector<IParticle*> visited = WalkRetiring(*container, [&](IParticle* p) { return p == abc[1]; });
        EXPECT_EQ(abc, visited) << (pooled ? "pool" : "simple");
        EXPECT_EQ((std::vector<IParticle*>{abc[0], abc[2]}), Walk(*container)) << (pooled ? "pool" : "simple");
    }
}

// Any pattern of deaths, including runs and the last particle, keeps the
// survivors in order and the count right, in the walk and afterwards.
TEST_F(Containers, ManyDeathsInOneWalkKeepSurvivorsInOrder) {
    for (bool pooled : {true, false}) {
        std::unique_ptr<IParticleContainer> container(pooled ? static_cast<IParticleContainer*>(new CPoolParticleContainer())
                                                             : new CSimpleParticleContainer());
        container->Init(system.get(), 100);
        std::vector<IParticle*> born = Births(*container, 100);
        std::vector<IParticle*> survivors;
        int index = 0;
        std::vector<IParticle*> visited = WalkRetiring(*container, [&](IParticle* p) {
            const bool dies = index % 3 != 0 || index >= 97;
            if (!dies) survivors.push_back(p);
            ++index;
            return dies;
        });
        EXPECT_EQ(born, visited);
        EXPECT_EQ(survivors.size(), container->GetActiveParticle());
        EXPECT_EQ(survivors, Walk(*container));
        EXPECT_EQ(pooled ? 100 : 33, CTestParticle::liveCount) << (pooled ? "pool keeps spares" : "simple frees");
        container.reset();
        EXPECT_EQ(0, CTestParticle::liveCount);
    }
}

TEST_F(Containers, CountDropsDuringTheWalkAndInsertionComesUnderTheCursor) {
    CPoolParticleContainer pool;
    pool.Init(system.get(), 6);
    std::vector<IParticle*> born = Births(pool, 4);
    pool.First();
    pool.Next();
    EXPECT_EQ(born[2], pool.PopCurrent());
    EXPECT_EQ(3u, pool.GetActiveParticle());
    IParticle* inserted = pool.InsertBeforeCurrent();
    EXPECT_EQ(born[1], inserted) << "the last entry of the list is the one just retired";
    EXPECT_EQ(inserted, pool.Current());
    EXPECT_EQ(born[2], pool.Next());
    EXPECT_EQ(born[3], pool.Next());
    EXPECT_EQ(nullptr, pool.Next());
    EXPECT_EQ(nullptr, pool.Current());
    EXPECT_EQ((std::vector<IParticle*>{born[0], born[1], born[2], born[3]}), Walk(pool));
}

TEST_F(Containers, SimpleInsertionBeforeTheCursorSurvivesGrowth) {
    CSimpleParticleContainer simple;
    simple.Init(system.get(), 0);
    std::vector<IParticle*> born = Births(simple, 1);
    simple.First();
    std::vector<IParticle*> inserted;
    for (int i = 0; i < 50; ++i) inserted.push_back(simple.InsertBeforeCurrent());
    EXPECT_EQ(inserted.back(), simple.Current());
    EXPECT_EQ(51u, simple.GetActiveParticle());
    std::vector<IParticle*> order = Walk(simple);
    EXPECT_EQ(born[0], order.back());
    EXPECT_EQ(inserted.back(), order.front());
}

TEST_F(Containers, PoolResizeKeepsTheHeadOfTheListAndCutsTheLiveCount) {
    CPoolParticleContainer pool;
    pool.Init(system.get(), 100);
    std::vector<IParticle*> born = Births(pool, 100);
    pool.Resize(150);
    EXPECT_EQ(150, CTestParticle::liveCount);
    EXPECT_EQ(born, Walk(pool));
    Births(pool, 20);
    pool.Resize(100);
    EXPECT_EQ(100u, pool.GetActiveParticle());
    EXPECT_EQ(100, CTestParticle::liveCount);
    EXPECT_EQ(born, Walk(pool));
}

TEST_F(Containers, SimpleResizeOnlyShrinks) {
    CSimpleParticleContainer simple;
    simple.Init(system.get(), 0);
    std::vector<IParticle*> born = Births(simple, 5);
    simple.Resize(50);
    EXPECT_EQ(5u, simple.GetActiveParticle());
    simple.Resize(3);
    EXPECT_EQ((std::vector<IParticle*>{born[0], born[1], born[2]}), Walk(simple));
    EXPECT_EQ(3, CTestParticle::liveCount);
}

TEST_F(Containers, SortPutsTheFarthestFirstInTheSystemsSpace) {
    CPoolParticleContainer pool;
    pool.Init(system.get(), 3);
    std::vector<IParticle*> born = Births(pool, 3);
    const float distances[] = {1.0f, 5.0f, 3.0f};
    for (int i = 0; i < 3; ++i) born[i]->SetPos(D3DXVECTOR3(distances[i] + 10.0f, 0, 0));
    D3DXMATRIX shift;
    system->SetMatrix(*D3DXMatrixTranslation(&shift, -10.0f, 0, 0));  // camera at the origin is x = 10 locally
    pool.Sort();
    EXPECT_EQ((std::vector<IParticle*>{born[1], born[2], born[0]}), Walk(pool));
}

TEST_F(Containers, SortToleratesNanPositions) {
    CSimpleParticleContainer simple;
    simple.Init(system.get(), 0);
    std::vector<IParticle*> born = Births(simple, 40);
    for (size_t i = 0; i < born.size(); ++i)
        born[i]->SetPos(D3DXVECTOR3(i % 4 == 0 ? std::nanf("") : static_cast<float>(i), 0, 0));
    simple.Sort();
    std::vector<IParticle*> order = Walk(simple);
    EXPECT_EQ(40u, order.size());
    EXPECT_EQ(born[39], order.front());
}

TEST_F(Containers, TypeNamesAreTheRegistryKeys) {
    EXPECT_STREQ("SIMPLE", CSimpleParticleContainer().GetTypeName());
    EXPECT_STREQ("POOL", CPoolParticleContainer().GetTypeName());
    CParticleContainerManager registry;
    for (const char* name : {"SIMPLE", "POOL"}) {
        std::unique_ptr<IParticleContainer> made(registry.CreateParticleContainer(name));
        ASSERT_NE(nullptr, made) << name;
        EXPECT_STREQ(name, made->GetTypeName());
    }
}

TEST_F(Containers, TimelineEventsReachEveryLiveParticle) {
    AddParams("p", 1.0f, 1.0f)->SetEternal(ETERNAL_END);
    system->SetParticleSystemParams("p");
    CPoolParticleContainer pool;
    pool.Init(system.get(), 3);
    for (IParticle* p : Births(pool, 2)) p->SetLive(system.get(), D3DXVECTOR3(0, 0, 0));
    pool.OnTimer(IPSTimer::TIMER_END);
    for (IParticle* p : Walk(pool)) {
        EXPECT_TRUE(p->Update(0.5f));
        EXPECT_FALSE(p->Update(0.5f)) << "the END event made the eternal particle mortal";
    }
}
