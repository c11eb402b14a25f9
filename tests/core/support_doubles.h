// Small stand-ins for the pieces a registry or the manager holds, so the
// machinery can be tested before the real kinds exist.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cmanager.h"

// A software device for the test's lifetime; the last Release must return 0.
class CTestDevice {
public:
    CTestDevice();
    ~CTestDevice();
    IDirect3DDevice9* Get() const { return m_pDevice; }

private:
    IDirect3D9* m_pD3D = nullptr;
    IDirect3DDevice9* m_pDevice = nullptr;
};

// Shared journal of what the doubles were asked to do, in order.
std::vector<std::string>& Journal();

// Counts its own destruction into *pDeaths.
class CPointDouble : public IEmitter {
public:
    CPointDouble(IDirect3DDevice9* pDevice, int* pDeaths = nullptr);
    ~CPointDouble() override;
    D3DXVECTOR3 GetEmitPoint() const override;
    using IEmitter::GetTransformedPoint;

private:
    int* m_pDeaths;
};

class CParamsDouble : public CStandardParticleSystemParams {
public:
    explicit CParamsDouble(float maxLifeTime, int* pDeaths = nullptr);
    ~CParamsDouble() override;
    IParticleParamUpdater* CreateParticleParamUpdater() const override { return nullptr; }
    void SetParticleParamUpdater(IParticleParamUpdater*) const override {}
    void Save(Vastrel::Utils::CMyXMLNode*) const override {}

private:
    int* m_pDeaths;
};

class CTextureDouble : public ITexture {
public:
    explicit CTextureDouble(int* pDeaths = nullptr);
    ~CTextureDouble() override;
    bool QueryInterface(int, void**) override { return false; }
    void Save(Vastrel::Utils::CMyXMLNode*) const override {}

private:
    int* m_pDeaths;
};

// Reports a fixed number of live particles.
class CContainerDouble : public IParticleContainer {
public:
    explicit CContainerDouble(unsigned int active) : IParticleContainer(PCT_SIMPLE), m_active(active) {}
    void Init(IParticleSystem* pSystem, unsigned int) override { m_pParticleSystem = pSystem; }
    unsigned int GetActiveParticle() override { return m_active; }
    IParticle* InsertBeforeCurrent() override { return nullptr; }
    IParticle* Push() override { return nullptr; }
    IParticle* PopCurrent() override { return nullptr; }
    IParticle* First() override { return nullptr; }
    IParticle* Next() override { return nullptr; }
    IParticle* Current() override { return nullptr; }
    void Sort() override {}
    void Resize(unsigned int) override {}
    void Clear() override {}
    CString GetTypeName() const override { return "DOUBLE"; }
    void OnTimer(IPSTimer::TimerEnums) override {}

private:
    unsigned int m_active;
};

// Writes "update <label>", "render <label>", "reset <label>" and timer
// events into the journal; onUpdate decides what Update returns.
class CSystemDouble : public IParticleSystem {
public:
    CSystemDouble(CParticleSystemManager* pManager, const std::string& label, int* pDeaths = nullptr);
    ~CSystemDouble() override;

    bool Update(float dt, const D3DXMATRIXA16& world, bool useWorld) override;
    void Render(const D3DXMATRIXA16& matrix, bool useWorld, SParticleSystemRenderProperties* pProperties) const override;
    void OnTimer(const TimerProps& props, float lateness) override;
    bool Resize() override { return true; }
    bool BeginReset() override;
    bool EndReset() override { return true; }
    void ResetTimer() override;

    std::function<bool()> onUpdate;
    bool resetSucceeds = true;

private:
    std::string m_label;
    int* m_pDeaths;
};

// Factories that count how often they were destroyed and build doubles.
class CEmitterFactoryDouble : public IEmitterFactory {
public:
    CEmitterFactoryDouble(CEmitterManager* pRegistry, const CString& type, int* pDeaths = nullptr);
    ~CEmitterFactoryDouble() override;
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;

    mutable int created = 0;

private:
    int* m_pDeaths;
};

class CTextureFactoryDouble : public ITextureFactory {
public:
    CTextureFactoryDouble(CTextureManager* pRegistry, const CString& type) : ITextureFactory(pRegistry, type) {}
    ITexture* Create(IDirect3DDevice9*, const Vastrel::Utils::CMyXMLNode*) const override {
        return new CTextureDouble();
    }
};

class CParamsFactoryDouble : public IPSParamsFactory {
public:
    CParamsFactoryDouble(CPSParamsManager* pRegistry, const CString& type) : IPSParamsFactory(pRegistry, type) {}
    IParticleSystemParams* Create(IDirect3DDevice9*, CEmitterManager*, const Vastrel::Utils::CMyXMLNode*) const override {
        return new CParamsDouble(1.0f);
    }
};

class CContainerFactoryDouble : public IParticleContainerFactory {
public:
    CContainerFactoryDouble(CParticleContainerManager* pRegistry, const CString& type)
        : IParticleContainerFactory(pRegistry, type) {}
    IParticleContainer* Create() const override { return new CContainerDouble(0); }
};

class CSystemFactoryDouble : public IParticleSystemFactory {
public:
    CSystemFactoryDouble(CParticleSystemManager* pRegistry, const CString& type, int* pDeaths)
        : IParticleSystemFactory(pRegistry, type), m_pDeaths(pDeaths) {}
    ~CSystemFactoryDouble() override { ++*m_pDeaths; }
    IParticleSystem* Create(CParticleSystemManager* pManager) const override {
        return new CSystemDouble(pManager, "made");
    }

private:
    int* m_pDeaths;
};

// Collects error reports while alive.
class CReportCatcher {
public:
    CReportCatcher();
    ~CReportCatcher();
    std::vector<int> ids;
};
