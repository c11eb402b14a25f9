#include "support_doubles.h"

#include <gtest/gtest.h>

#include "UtilsSrc/errorreport.h"
#include "support/testdevice.h"

CTestDevice::CTestDevice() {
    m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    m_pDevice = CreateTestDevice(m_pD3D, WindowedParams(64, 64, D3DFMT_A8R8G8B8));
    EXPECT_NE(nullptr, m_pDevice);
}

CTestDevice::~CTestDevice() {
    if (m_pDevice) {
        EXPECT_EQ(0u, m_pDevice->Release());
    }
    EXPECT_EQ(0u, m_pD3D->Release());
}

std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

namespace {

void CountDeath(int* pDeaths) {
    if (pDeaths) ++*pDeaths;
}

}  // namespace

CPointDouble::CPointDouble(IDirect3DDevice9* pDevice, int* pDeaths) : IEmitter(pDevice, ET_POINT), m_pDeaths(pDeaths) {}
CPointDouble::~CPointDouble() { CountDeath(m_pDeaths); }

D3DXVECTOR3 CPointDouble::GetEmitPoint() const {
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    return GetTransformedPoint(&origin);
}

CParamsDouble::CParamsDouble(float maxLifeTime, int* pDeaths)
    : CStandardParticleSystemParams(0.0f, maxLifeTime, PSPT_STANDARD), m_pDeaths(pDeaths) {}
CParamsDouble::~CParamsDouble() { CountDeath(m_pDeaths); }

CTextureDouble::CTextureDouble(int* pDeaths) : ITexture(nullptr, TT_SINGLE), m_pDeaths(pDeaths) {}
CTextureDouble::~CTextureDouble() { CountDeath(m_pDeaths); }

CSystemDouble::CSystemDouble(CParticleSystemManager* pManager, const std::string& label, int* pDeaths)
    : IParticleSystem(pManager, PST_BILLBOARD), m_label(label), m_pDeaths(pDeaths) {}
CSystemDouble::~CSystemDouble() { CountDeath(m_pDeaths); }

bool CSystemDouble::Update(float, const D3DXMATRIXA16&, bool) {
    Journal().push_back("update " + m_label);
    return onUpdate ? onUpdate() : true;
}

void CSystemDouble::Render(const D3DXMATRIXA16&, bool, SParticleSystemRenderProperties*) const {
    Journal().push_back("render " + m_label);
}

void CSystemDouble::OnTimer(const TimerProps& props, float lateness) {
    Journal().push_back("event " + std::to_string(props.eType) + " " + m_label);
    IParticleSystem::OnTimer(props, lateness);
}

bool CSystemDouble::BeginReset() {
    Journal().push_back("reset " + m_label);
    return resetSucceeds;
}

void CSystemDouble::ResetTimer() {
    Journal().push_back("rewind " + m_label);
    IParticleSystem::ResetTimer();
}

CEmitterFactoryDouble::CEmitterFactoryDouble(CEmitterManager* pRegistry, const CString& type, int* pDeaths)
    : IEmitterFactory(pRegistry, type), m_pDeaths(pDeaths) {}
CEmitterFactoryDouble::~CEmitterFactoryDouble() { CountDeath(m_pDeaths); }

IEmitter* CEmitterFactoryDouble::Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode*) const {
    ++created;
    return new CPointDouble(pDevice);
}

namespace {

void CatchReport(const char*, long, int messageId, const char*, void* user) {
    static_cast<CReportCatcher*>(user)->ids.push_back(messageId);
}

}  // namespace

CReportCatcher::CReportCatcher() { Vastrel::Utils::SetErrorReportHook(CatchReport, this); }
CReportCatcher::~CReportCatcher() { Vastrel::Utils::SetErrorReportHook(nullptr, nullptr); }
