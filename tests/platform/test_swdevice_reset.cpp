// Device loss and Reset: the cycle a host goes through, and what blocks it.
#include "swdevice_fixture.h"

namespace {

using SwDeviceReset = SoftwareDeviceTest;

TEST_F(SwDeviceReset, LossReportsLostThenNotResetUntilReset) {
    ASSERT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    ASSERT_TRUE(swdevice::SimulateDeviceLoss(m_device, 2));
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    D3DPRESENT_PARAMETERS pp = WindowedParams(128, 96, D3DFMT_X8R8G8B8, true);
    ASSERT_EQ(D3D_OK, m_device->Reset(&pp));
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    D3DVIEWPORT9 viewport;
    ASSERT_EQ(D3D_OK, m_device->GetViewport(&viewport));
    EXPECT_EQ(128u, viewport.Width) << "the viewport follows the new back buffer";
}

TEST_F(SwDeviceReset, DefaultPoolResourcesBlockResetButManagedOnesDoNot) {
    IDirect3DVertexBuffer9* managed = MakeVertexBuffer(12);
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                              &target, nullptr));
    swdevice::SimulateDeviceLoss(m_device, 1);
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->TestCooperativeLevel());
    D3DPRESENT_PARAMETERS pp = WindowedParams(64, 32, D3DFMT_X8R8G8B8, true);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&pp));
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    EXPECT_EQ(0u, target->Release());
    EXPECT_EQ(D3D_OK, m_device->Reset(&pp));
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    EXPECT_EQ(0u, managed->Release());
}

TEST_F(SwDeviceReset, HeldBackBufferBlocksReset) {
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back));
    D3DPRESENT_PARAMETERS pp = WindowedParams(64, 32, D3DFMT_X8R8G8B8, false);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&pp));
    EXPECT_EQ(0u, back->Release());
    EXPECT_EQ(D3D_OK, m_device->Reset(&pp));
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(D3DERR_NOTFOUND, m_device->GetDepthStencilSurface(&depth)) << "the new parameters have no depth";
}

TEST_F(SwDeviceReset, ResetRestoresDefaultStateAndUnbinds) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(24);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, vb, 0, 12));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_LIGHTING, FALSE));
    D3DPRESENT_PARAMETERS pp = WindowedParams(64, 32, D3DFMT_X8R8G8B8, true);
    ASSERT_EQ(D3D_OK, m_device->Reset(&pp));
    DWORD lighting = 0;
    ASSERT_EQ(D3D_OK, m_device->GetRenderState(D3DRS_LIGHTING, &lighting));
    EXPECT_EQ(DWORD(TRUE), lighting);
    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset, stride;
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(0, &bound, &offset, &stride));
    EXPECT_EQ(nullptr, bound);
    EXPECT_EQ(0u, vb->Release());
}

TEST_F(SwDeviceReset, LostDeviceAcceptsDrawsButRecordsNothing) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(36);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, vb, 0, 12));
    ASSERT_EQ(D3D_OK, m_device->SetFVF(D3DFVF_XYZ));
    swdevice::SimulateDeviceLoss(m_device);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3D_OK, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_TRUE(swdevice::DrawLog(m_device).empty());
    EXPECT_EQ(0u, vb->Release());
}

}  // namespace
