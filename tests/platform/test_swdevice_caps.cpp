// Capabilities, CheckDeviceFormat and injected creation failures, all chosen
// through the extension header's settings.
#include "swdevice_fixture.h"

namespace {

using SwDeviceCaps = SoftwareDeviceTest;

D3DCAPS9 CapsOf(IDirect3DDevice9* device) {
    D3DCAPS9 caps;
    EXPECT_EQ(D3D_OK, device->GetDeviceCaps(&caps));
    return caps;
}

HRESULT CheckTextureFormat(IDirect3D9* d3d, DWORD usage, D3DFORMAT format) {
    return d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, D3DRTYPE_TEXTURE,
                                  format);
}

TEST_F(SwDeviceCaps, DefaultDeviceHasVersion2ShadersAndPointSizes) {
    const D3DCAPS9 caps = CapsOf(m_device);
    EXPECT_EQ(D3DPS_VERSION(2, 0), caps.PixelShaderVersion);
    EXPECT_EQ(D3DVS_VERSION(2, 0), caps.VertexShaderVersion);
    EXPECT_TRUE(caps.FVFCaps & D3DFVFCAPS_PSIZE);
    EXPECT_EQ(256.0f, caps.MaxPointSize);
    EXPECT_EQ(4096u, caps.MaxTextureWidth);
    EXPECT_EQ(0xFFFFFFu, caps.MaxVertexIndex);
    EXPECT_EQ(16u, caps.MaxStreams);
    EXPECT_EQ(8u, caps.MaxTextureBlendStages);
    EXPECT_EQ(8u, caps.MaxSimultaneousTextures);
}

TEST_F(SwDeviceCaps, ChosenCapsApplyToDevicesCreatedAfterwards) {
    swdevice::g_settings.pixelShaderVersion = D3DPS_VERSION(1, 1);
    swdevice::g_settings.pointSizeCap = false;
    EXPECT_EQ(D3DPS_VERSION(2, 0), CapsOf(m_device).PixelShaderVersion) << "an existing device keeps its caps";
    CreateDevice(WindowedParams(32, 32, D3DFMT_X8R8G8B8, false));
    const D3DCAPS9 caps = CapsOf(m_device);
    EXPECT_EQ(D3DPS_VERSION(1, 1), caps.PixelShaderVersion);
    EXPECT_FALSE(caps.FVFCaps & D3DFVFCAPS_PSIZE);
    D3DCAPS9 adapterCaps;
    ASSERT_EQ(D3D_OK, m_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &adapterCaps));
    EXPECT_EQ(D3DPS_VERSION(1, 1), adapterCaps.PixelShaderVersion);
}

TEST_F(SwDeviceCaps, CheckDeviceFormatAnswersTheWaveGeneratorsQuestions) {
    const struct {
        const char* label;
        DWORD usage;
        D3DFORMAT format;
        HRESULT expected;
    } rows[] = {
        {"16-bit render target", D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16, D3D_OK},
        {"half-float render target", D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3D_OK},
        {"autogen render target", D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3D_OK},
        {"dynamic L16", D3DUSAGE_DYNAMIC, D3DFMT_L16, D3D_OK},
        {"L8 render target", D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DERR_NOTAVAILABLE},
        {"query bits ignored", D3DUSAGE_QUERY_FILTER, D3DFMT_A8, D3D_OK},
        {"unknown format", 0, D3DFMT_P8, D3DERR_NOTAVAILABLE},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, CheckTextureFormat(m_d3d, row.usage, row.format)) << row.label;
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                                           D3DFMT_A8R8G8B8));
}

TEST_F(SwDeviceCaps, RejectedFormatsFailBothTheCheckAndTheCreation) {
    swdevice::RejectFormat(D3DRTYPE_TEXTURE, D3DFMT_L16, D3DUSAGE_DYNAMIC);
    swdevice::RejectFormat(D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16);
    EXPECT_EQ(D3DERR_NOTAVAILABLE, CheckTextureFormat(m_d3d, D3DUSAGE_DYNAMIC, D3DFMT_L16));
    EXPECT_EQ(D3D_OK, CheckTextureFormat(m_d3d, 0, D3DFMT_L16)) << "only the dynamic usage was removed";
    EXPECT_EQ(D3DERR_NOTAVAILABLE, CheckTextureFormat(m_d3d, 0, D3DFMT_A16B16G16R16));
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(&texture);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_L16, D3DPOOL_DEFAULT,
                                                          &texture, nullptr));
    EXPECT_EQ(nullptr, texture);
    swdevice::AcceptFormat(D3DRTYPE_TEXTURE, D3DFMT_L16, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(D3D_OK, CheckTextureFormat(m_d3d, D3DUSAGE_DYNAMIC, D3DFMT_L16));
}

TEST_F(SwDeviceCaps, NextCreationsFailThenSucceed) {
    swdevice::FailNextCreations(2, E_OUTOFMEMORY);
    IDirect3DVertexBuffer9* vb = reinterpret_cast<IDirect3DVertexBuffer9*>(&vb);
    EXPECT_EQ(E_OUTOFMEMORY, m_device->CreateVertexBuffer(12, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
    EXPECT_EQ(nullptr, vb);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &texture, nullptr));
    EXPECT_EQ(nullptr, texture);
    ASSERT_EQ(D3D_OK, m_device->CreateVertexBuffer(12, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
    EXPECT_EQ(0u, vb->Release());
}

TEST_F(SwDeviceCaps, EveryCreationOfOneKindFails) {
    swdevice::FailEveryCreation(swdevice::kIndexBuffer | swdevice::kSurface);
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY,
                  m_device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
        EXPECT_EQ(nullptr, ib);
    }
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, m_device->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                                                    TRUE, &surface, nullptr));
    EXPECT_EQ(nullptr, surface);
    ASSERT_EQ(D3D_OK, m_device->CreateVertexBuffer(12, 0, 0, D3DPOOL_MANAGED, &vb, nullptr)) << "other kinds work";
    EXPECT_EQ(0u, vb->Release());
    swdevice::ClearFaults();
    ASSERT_EQ(D3D_OK, m_device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
    EXPECT_EQ(0u, ib->Release());
}

TEST_F(SwDeviceCaps, CreateDeviceFillsInWhatTheHostLeftOpen) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(D3D_OK, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device));
    EXPECT_EQ(640u, pp.BackBufferWidth);
    EXPECT_EQ(480u, pp.BackBufferHeight);
    EXPECT_EQ(D3DFMT_X8R8G8B8, pp.BackBufferFormat);
    EXPECT_EQ(0u, device->Release());

    pp.SwapEffect = D3DSWAPEFFECT(0);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device));
    EXPECT_EQ(nullptr, device);
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device))
        << "no vertex processing mode";
    EXPECT_EQ(D3DERR_NOTAVAILABLE, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, nullptr,
                                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device));
}

}  // namespace
