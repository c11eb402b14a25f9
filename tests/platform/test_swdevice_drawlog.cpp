// The draw log: what one indexed draw records, and the log's housekeeping.
#include "swdevice_fixture.h"

namespace {

class SwDeviceDrawLog : public SoftwareDeviceTest {
protected:
    // A quad of four textured, coloured vertices drawn as two indexed triangles.
    void DrawQuad(IDirect3DVertexBuffer9* vb, IDirect3DIndexBuffer9* ib) {
        ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, vb, 24, 24));
        ASSERT_EQ(D3D_OK, m_device->SetIndices(ib));
        ASSERT_EQ(D3D_OK, m_device->SetFVF(kFvf));
        ASSERT_EQ(D3D_OK, m_device->BeginScene());
        ASSERT_EQ(D3D_OK, m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2));
        ASSERT_EQ(D3D_OK, m_device->EndScene());
    }

    static constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x142, 24 bytes
};

TEST_F(SwDeviceDrawLog, IndexedDrawRecordsItsSetUpAndState) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(6 * 24, kFvf);
    const WORD indices[] = {0, 1, 2, 2, 3, 0};
    IDirect3DIndexBuffer9* ib = MakeIndexBuffer(indices, 6);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(1, texture));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2));
    D3DMATRIX view{};
    view._43 = 10.0f;
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_VIEW, &view));
    DrawQuad(vb, ib);

    const std::vector<swdevice::DrawRecord> log = swdevice::DrawLog(m_device);
    ASSERT_EQ(1u, log.size());
    const swdevice::DrawRecord& r = log[0];
    EXPECT_TRUE(r.indexed);
    EXPECT_EQ(D3DPT_TRIANGLELIST, r.primitiveType);
    EXPECT_EQ(2u, r.primitiveCount);
    EXPECT_EQ(1, r.baseVertexIndex);
    EXPECT_EQ(4u, r.numVertices);
    EXPECT_EQ(vb, r.streamBuffer);
    EXPECT_EQ(24u, r.streamOffset);
    EXPECT_EQ(24u, r.streamStride);
    EXPECT_EQ(kFvf, r.fvf);
    EXPECT_EQ(ib, r.indexBuffer);
    EXPECT_EQ(D3DFMT_INDEX16, r.indexFormat);
    EXPECT_EQ(DWORD(TRUE), r.states.RenderState(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(DWORD(D3DTOP_SELECTARG2), r.states.TextureStageState(0, D3DTSS_COLOROP));
    EXPECT_EQ(nullptr, r.textures[0]);
    EXPECT_EQ(texture, r.textures[1]);
    EXPECT_EQ(10.0f, r.view._43);
    EXPECT_EQ(1.0f, r.world._11);
    EXPECT_EQ(64u, r.viewport.Width);
    EXPECT_EQ("", r.technique);
    EXPECT_EQ(-1, r.pass);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back));
    EXPECT_EQ(back, r.renderTarget);
    EXPECT_EQ(0u, back->Release());

    EXPECT_EQ(0u, texture->Release());
    EXPECT_EQ(0u, ib->Release());
    EXPECT_EQ(0u, vb->Release());
}

TEST_F(SwDeviceDrawLog, ClearingAndTheLimitKeepTheNewestRecords) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(6 * 24, kFvf);
    const WORD indices[] = {0, 1, 2, 2, 3, 0};
    IDirect3DIndexBuffer9* ib = MakeIndexBuffer(indices, 6);
    DrawQuad(vb, ib);
    swdevice::ClearDrawLog(m_device);
    EXPECT_TRUE(swdevice::DrawLog(m_device).empty());
    swdevice::g_settings.drawLogLimit = 2;
    for (int i = 0; i < 3; ++i) DrawQuad(vb, ib);
    EXPECT_EQ(2u, swdevice::DrawLog(m_device).size());
    EXPECT_EQ(0u, ib->Release());
    EXPECT_EQ(0u, vb->Release());
}

TEST_F(SwDeviceDrawLog, UserPointerDrawUnsetsStreamZero) {
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    ASSERT_EQ(D3D_OK, m_device->SetFVF(D3DFVF_XYZ));
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    const auto log = swdevice::DrawLog(m_device);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(nullptr, log[0].streamBuffer);
    EXPECT_EQ(12u, log[0].streamStride);
}

}  // namespace
