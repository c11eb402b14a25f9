// A small particle kind and system for testing the core before the real kinds
// exist, and a fixture holding a device, the registries and a manager.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "support_doubles.h"

// Counts live objects so tests can see creation and destruction.
class CTestParticle : public IParticle {
public:
    explicit CTestParticle(IParticleSystem* pSystem);
    ~CTestParticle() override;
    static int liveCount;
    int serial;  // order of creation
};

class CTestSystem : public IParticleSystem {
public:
    explicit CTestSystem(CParticleSystemManager* pManager) : IParticleSystem(pManager, PST_POINTSPRITE) {}
    CTestSystem(CParticleSystemManager* pManager, CArchive& ar) : IParticleSystem(pManager, PST_POINTSPRITE, ar) {}
    IParticle* CreateParticle() override { return new CTestParticle(this); }
    bool Resize() override { return true; }
    bool BeginReset() override { return true; }
    bool EndReset() override { return true; }
    using IParticleSystem::RenderAroundAxisAndPoint;
};

struct CoreFixture : ::testing::Test {
    CTestDevice device;
    CEmitterManager emitters;
    CPSParamsManager params;
    CTextureManager textures;
    std::unique_ptr<CParticleSystemManager> manager;
    D3DXMATRIXA16 identity;

    CoreFixture();
    ~CoreFixture() override;

    // A point emitter double at position, registered as name.
    CPointDouble* AddEmitter(const char* name, const D3DXVECTOR3& position = D3DXVECTOR3(0, 0, 0));
    // A standard set with lives [minLife, maxLife], registered as name.
    CStandardParticleSystemParams* AddParams(const char* name, float minLife, float maxLife);
    // A test system using emitter "e" and parameter set "p", with a pool of cap.
    std::unique_ptr<CTestSystem> MakeSystem(unsigned cap, float emitPerSec, unsigned perEmit);
};

// An in-memory element to read from or write to.
struct XmlNode {
    Vastrel::Utils::CMyXMLParser parser{"test.xml"};
    Vastrel::Utils::CMyXMLNode root;
    explicit XmlNode(const char* name) : root(&parser, name) {}
    Vastrel::Utils::CMyXMLNode* operator->() { return &root; }
    Vastrel::Utils::CMyXMLNode* get() { return &root; }
};

// Live particles of a container in walk order.
std::vector<IParticle*> Walk(IParticleContainer& container);
