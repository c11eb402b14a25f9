// The built-in factories behind every "type" name of a definition document,
// and the point-size fallback from point sprites to billboards.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <Pyrelune.h>

#include "platform/swdevice.h"

namespace {

const char kDocument[] = R"(<ParticleSystems version="1.0">
  <Emitter name="e" type="POINT"/>
  <ParticleSystemParams name="p" type="POINTSPRITE" lifeTime="1 2"/>
  <ParticleSystemParams name="b" type="BILLBOARD" lifeTime="1 2"/>
  <ParticleSystemParams name="m" type="MESH" lifeTime="1 2"/>
  <ParticleSystemParams name="s" type="STANDARD" lifeTime="1 2"/>
  <Texture name="t1" type="SINGLE"/>
  <Texture name="t2" type="ANIMATED"/>
  <ParticleSystem name="ps" type="POINTSPRITE" maxParticle="10" emitPerSec="1" particlePerEmit="1"
                  containerType="SIMPLE"/>
  <ParticleSystem name="bb" type="BILLBOARD" maxParticle="10" emitPerSec="1" particlePerEmit="1"/>
  <ParticleSystem name="me" type="MESH" maxParticle="10" emitPerSec="1" particlePerEmit="1"/>
</ParticleSystems>
)";

class BuiltInFactories : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        swdevice::g_settings.pointSizeCap = GetParam();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        ASSERT_EQ(D3D_OK, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_device));
        m_path = ::testing::TempDir() + "factories.xml";
        FILE* file = std::fopen(m_path.c_str(), "w");
        ASSERT_NE(nullptr, file);
        std::fputs(kDocument, file);
        std::fclose(file);
    }

    void TearDown() override {
        std::remove(m_path.c_str());
        ReleaseParticleSystemDXResources();
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_d3d) m_d3d->Release();
        swdevice::ResetSettings();
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::string m_path;
};

}  // namespace

TEST_P(BuiltInFactories, EveryTypeNameBuildsItsKind) {
    const bool pointSize = GetParam();
    {
        CParticleSystemManager manager(m_device, nullptr, nullptr, nullptr, nullptr, false);
        ASSERT_TRUE(manager.LoadParticleSystemsFromFile(m_path.c_str()));

        const int pointSpriteParams = pointSize ? 2 : 1;  // billboard set without the point-size bit
        EXPECT_EQ(pointSpriteParams, manager.GetParamsManager()->Get("p")->GetPSParamsIntType());
        EXPECT_EQ(1, manager.GetParamsManager()->Get("b")->GetPSParamsIntType());
        EXPECT_EQ(3, manager.GetParamsManager()->Get("m")->GetPSParamsIntType());
        EXPECT_EQ(0, manager.GetParamsManager()->Get("s")->GetPSParamsIntType());
        EXPECT_EQ(0, manager.GetTextureManager()->Get("t1")->GetTextureIntType());
        EXPECT_EQ(1, manager.GetTextureManager()->Get("t2")->GetTextureIntType());
        EXPECT_EQ(0, manager.GetEmitterManager()->Get("e")->GetEmitterIntType());

        const int pointSpriteSystem = pointSize ? 1 : 0;  // billboard system without the point-size bit
        EXPECT_EQ(pointSpriteSystem, manager.Get("ps")->GetParticleSystemIntType());
        EXPECT_EQ(0, manager.Get("bb")->GetParticleSystemIntType());
        EXPECT_EQ(2, manager.Get("me")->GetParticleSystemIntType());
        EXPECT_EQ(CString("SIMPLE"), manager.Get("ps")->GetParticleContainer()->GetTypeName());
        EXPECT_EQ(CString("POOL"), manager.Get("bb")->GetParticleContainer()->GetTypeName());
    }
}

INSTANTIATE_TEST_SUITE_P(PointSizeCap, BuiltInFactories, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithPointSize" : "WithoutPointSize");
                         });
