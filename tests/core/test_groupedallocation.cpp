#include <cstdint>

#include "support_particles.h"

namespace {

struct GroupedAllocation : CoreFixture {
    CStandardParticleSystemParams* set;

    GroupedAllocation() {
        AddEmitter("e");
        set = AddParams("p", 1.0f, 2.0f);
        set->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
        set->GetVelocityKeyValues()->AddValue(0.0f, 1.0f, 2.0f);
    }

    static std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

    void RunFrames(IParticleSystem& system, int frames) {
        for (int frame = 0; frame < frames; ++frame) system.Update(0.25f, identity, false);
    }
};

}  // namespace

TEST_F(GroupedAllocation, PoolPutsEachParticlesUpdaterAndCurvesRightBehindIt) {
    auto system = MakeSystem(3, 0.0f, 0);
    for (IParticle* p = system->GetParticleContainer()->Push(); p; p = system->GetParticleContainer()->Push()) {
        auto* pUpdater = static_cast<CStandardParticleParamUpdater*>(p->GetParamUpdater());
        EXPECT_GT(Address(pUpdater), Address(p));
        EXPECT_LT(Address(pUpdater->GetColorInterpolator()), Address(p) + 512);
        EXPECT_LT(Address(pUpdater->GetVelocityInterpolator()), Address(p) + 512);
    }
}

TEST_F(GroupedAllocation, ShrinkingAndGrowingThePoolWhileParticlesLiveKeepsThemIntact) {
    auto system = MakeSystem(200, 400.0f, 1);
    system->StartEmit();
    const unsigned caps[] = {50, 3000, 7, 0, 120, 2500};
    for (unsigned cap : caps) {
        system->SetMaxParticle(cap);
        RunFrames(*system, 6);
        EXPECT_LE(system->GetParticleCount(), cap) << "cap " << cap;
        for (IParticle* p : Walk(*system->GetParticleContainer())) EXPECT_EQ(0xFFFF0000u, p->GetColor());
    }
}

TEST_F(GroupedAllocation, UpdatersReplacedAfterTheSetIsDestroyedComeFromTheHeap) {
    auto system = MakeSystem(64, 100.0f, 1);
    system->StartEmit();
    RunFrames(*system, 4);
    CStandardParticleSystemParams* fresh = AddParams("p", 1.0f, 2.0f);
    fresh->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(0, 1, 0, 1), D3DXVECTOR4(0, 1, 0, 1));
    RunFrames(*system, 4);
    for (IParticle* p : Walk(*system->GetParticleContainer())) EXPECT_EQ(0xFF00FF00u, p->GetColor());
    system->SetParticleContainer(nullptr);
}

TEST_F(GroupedAllocation, ObjectsDyingDuringTheFillLeaveTheBlockUsable) {
    detail::CGroupedAllocation fill;
    IInterpolator<float>* first = new CLinearInterpolator<float>(nullptr);
    delete first;
    IInterpolator<float>* second = new CLinearInterpolator<float>(nullptr);
    second->AddValue(0.0f, 4.0f);
    float value = 0.0f;
    EXPECT_TRUE(second->GetValue(0.5f, value, false));
    EXPECT_EQ(4.0f, value);
    EXPECT_EQ(2 * sizeof(CLinearInterpolator<float>), fill.CarvedBytes());
    delete second;
}

TEST_F(GroupedAllocation, AnInnerFillLeavesTheOuterOneInCharge) {
    detail::CGroupedAllocation outer;
    IInterpolator<float>* first = new CLinearInterpolator<float>(nullptr);
    {
        detail::CGroupedAllocation inner;
        delete new CLinearInterpolator<float>(nullptr);
        EXPECT_EQ(0u, inner.CarvedBytes());
    }
    EXPECT_EQ(2 * sizeof(CLinearInterpolator<float>), outer.CarvedBytes());
    delete first;
}

// A large pool's blocks grow to huge pages; the unused tail of each block is
// given back, and all of it goes back to the system with the particles.
TEST_F(GroupedAllocation, LargePoolsHoldLittleMoreThanTheirParticlesAndReturnIt) {
    const unsigned cap = 30000;  // several megabytes
    const std::size_t heldBefore = detail::CGroupedAllocation::HeldBytes();
    {
        auto system = MakeSystem(cap, 0.0f, 0);
        std::size_t groupBytes = 0;
        {
            detail::CGroupedAllocation fill;
            delete system->CreateParticle();
            groupBytes = fill.CarvedBytes();
        }
        const std::size_t held = detail::CGroupedAllocation::HeldBytes() - heldBefore;
        EXPECT_GE(held, cap * groupBytes);
        EXPECT_LE(held, cap * groupBytes + 16 * 4096) << "block tails and headers only";
        IParticleContainer* pool = system->GetParticleContainer();
        for (IParticle* p = pool->Push(); p; p = pool->Push()) p->SetLive(system.get(), D3DXVECTOR3(0, 0, 0));
        RunFrames(*system, 1);
        for (IParticle* p : Walk(*pool)) EXPECT_EQ(0xFFFF0000u, p->GetColor());
    }
    EXPECT_EQ(heldBefore, detail::CGroupedAllocation::HeldBytes());
}
