// Device state: D3D9's documented defaults and set/get round trips.
#include <cstring>

#include "swdevice_fixture.h"

namespace {

using SwDeviceState = SoftwareDeviceTest;

DWORD Bits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

TEST_F(SwDeviceState, RenderStatesStartAtTheDocumentedDefaults) {
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } rows[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},  // the fixture's device has an automatic depth stencil
        {D3DRS_FILLMODE, D3DFILL_SOLID},       {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ZWRITEENABLE, TRUE},            {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_LIGHTING, TRUE},                {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_POINTSIZE, Bits(1.0f)},         {D3DRS_POINTSCALE_A, Bits(1.0f)},
        {D3DRS_POINTSCALE_B, 0},               {D3DRS_POINTSIZE_MAX, Bits(64.0f)},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},     {D3DRS_COLORWRITEENABLE, 0xF},
        {D3DRS_STENCILMASK, 0xFFFFFFFF},       {D3DRS_CLIPPING, TRUE},
    };
    for (const auto& row : rows) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(D3D_OK, m_device->GetRenderState(row.state, &value)) << "state " << row.state;
        EXPECT_EQ(row.value, value) << "state " << row.state;
    }
}

TEST_F(SwDeviceState, ZEnableFollowsTheAutomaticDepthStencil) {
    CreateDevice(WindowedParams(16, 16, D3DFMT_X8R8G8B8, false));
    DWORD value = 0;
    ASSERT_EQ(D3D_OK, m_device->GetRenderState(D3DRS_ZENABLE, &value));
    EXPECT_EQ(DWORD(D3DZB_FALSE), value);
    auto* depth = reinterpret_cast<IDirect3DSurface9*>(&value);  // must be cleared
    EXPECT_EQ(D3DERR_NOTFOUND, m_device->GetDepthStencilSurface(&depth));
    EXPECT_EQ(nullptr, depth);
}

TEST_F(SwDeviceState, TextureStagesAndSamplersStartAtTheDefaults) {
    for (DWORD stage = 0; stage < 8; ++stage) {
        DWORD colorOp, alphaOp, arg1, arg2, index;
        m_device->GetTextureStageState(stage, D3DTSS_COLOROP, &colorOp);
        m_device->GetTextureStageState(stage, D3DTSS_ALPHAOP, &alphaOp);
        m_device->GetTextureStageState(stage, D3DTSS_COLORARG1, &arg1);
        m_device->GetTextureStageState(stage, D3DTSS_ALPHAARG2, &arg2);
        m_device->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &index);
        EXPECT_EQ(DWORD(stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE), colorOp) << "stage " << stage;
        EXPECT_EQ(DWORD(stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE), alphaOp) << "stage " << stage;
        EXPECT_EQ(DWORD(D3DTA_TEXTURE), arg1) << "stage " << stage;
        EXPECT_EQ(DWORD(D3DTA_CURRENT), arg2) << "stage " << stage;
        EXPECT_EQ(stage, index);
    }
    DWORD address, mag, mip, anisotropy;
    m_device->GetSamplerState(3, D3DSAMP_ADDRESSV, &address);
    m_device->GetSamplerState(3, D3DSAMP_MAGFILTER, &mag);
    m_device->GetSamplerState(3, D3DSAMP_MIPFILTER, &mip);
    m_device->GetSamplerState(3, D3DSAMP_MAXANISOTROPY, &anisotropy);
    EXPECT_EQ(DWORD(D3DTADDRESS_WRAP), address);
    EXPECT_EQ(DWORD(D3DTEXF_POINT), mag);
    EXPECT_EQ(DWORD(D3DTEXF_NONE), mip);
    EXPECT_EQ(1u, anisotropy);
}

TEST_F(SwDeviceState, ValuesRoundTripAndBadIndicesAreRefused) {
    DWORD value = 0;
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA));
    ASSERT_EQ(D3D_OK, m_device->GetRenderState(D3DRS_SRCBLEND, &value));
    EXPECT_EQ(DWORD(D3DBLEND_SRCALPHA), value);
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD));
    ASSERT_EQ(D3D_OK, m_device->GetTextureStageState(1, D3DTSS_COLOROP, &value));
    EXPECT_EQ(DWORD(D3DTOP_ADD), value);
    ASSERT_EQ(D3D_OK, m_device->SetSamplerState(15, D3DSAMP_BORDERCOLOR, 0xFF00FF00));
    ASSERT_EQ(D3D_OK, m_device->GetSamplerState(15, D3DSAMP_BORDERCOLOR, &value));
    EXPECT_EQ(0xFF00FF00u, value);

    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderState(D3DRENDERSTATETYPE(256), 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->GetRenderState(D3DRS_ZENABLE, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(33), 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetSamplerState(16, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->GetSamplerState(0, D3DSAMPLERSTATETYPE(14), &value));
}

TEST_F(SwDeviceState, TransformsStartAsIdentityAndRoundTrip) {
    D3DMATRIX m;
    ASSERT_EQ(D3D_OK, m_device->GetTransform(D3DTS_PROJECTION, &m));
    EXPECT_EQ(1.0f, m._11);
    EXPECT_EQ(0.0f, m._12);
    EXPECT_EQ(1.0f, m._44);
    D3DMATRIX world{};
    world._41 = 5.0f;
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_WORLD, &world));
    ASSERT_EQ(D3D_OK, m_device->GetTransform(D3DTS_WORLD, &m));
    EXPECT_EQ(5.0f, m._41);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTransform(D3DTRANSFORMSTATETYPE(4), &world));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTransform(D3DTS_VIEW, nullptr));
}

TEST_F(SwDeviceState, ViewportCoversTheBackBufferAndMustFitTheTarget) {
    D3DVIEWPORT9 viewport;
    ASSERT_EQ(D3D_OK, m_device->GetViewport(&viewport));
    EXPECT_EQ(64u, viewport.Width);
    EXPECT_EQ(32u, viewport.Height);
    EXPECT_EQ(1.0f, viewport.MaxZ);
    const D3DVIEWPORT9 tooWide = {8, 0, 60, 32, 0.0f, 1.0f};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetViewport(&tooWide));
    const D3DVIEWPORT9 inside = {8, 4, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&inside));
    ASSERT_EQ(D3D_OK, m_device->GetViewport(&viewport));
    EXPECT_EQ(8u, viewport.X);
    EXPECT_EQ(16u, viewport.Width);
}

}  // namespace
