// Invalid calls: every one returns D3DERR_INVALIDCALL, touches nothing it
// does not own, and leaves out-pointers null.
#include <functional>

#include "swdevice_fixture.h"

namespace {

using SwDeviceInvalidCalls = SoftwareDeviceTest;

struct LockRow {
    const char* label;
    UINT offset;
    UINT size;
    HRESULT expected;
};

TEST_F(SwDeviceInvalidCalls, BufferLockRanges) {
    const LockRow rows[] = {
        {"whole buffer", 0, 0, D3D_OK},
        {"offset to the end", 40, 0, D3D_OK},
        {"last byte", 63, 1, D3D_OK},
        {"exact fit", 16, 48, D3D_OK},
        {"size past the end", 16, 49, D3DERR_INVALIDCALL},
        {"offset at the end", 64, 0, D3DERR_INVALIDCALL},
        {"offset past the end", 65, 1, D3DERR_INVALIDCALL},
        {"size wraps around", 8, 0xFFFFFFF8u, D3DERR_INVALIDCALL},
    };
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(64);
    for (const LockRow& row : rows) {
        void* data = &data;
        const HRESULT hr = vb->Lock(row.offset, row.size, &data, 0);
        EXPECT_EQ(row.expected, hr) << row.label;
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(D3D_OK, vb->Unlock()) << row.label;
        } else {
            EXPECT_EQ(nullptr, data) << row.label;
        }
    }
    EXPECT_EQ(0u, vb->Release());
}

TEST_F(SwDeviceInvalidCalls, BufferLockPairing) {
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                                                  nullptr));
    void* first = nullptr;
    void* second = &second;
    EXPECT_EQ(D3DERR_INVALIDCALL, ib->Unlock()) << "unlock while unlocked";
    EXPECT_EQ(D3DERR_INVALIDCALL, ib->Lock(0, 0, nullptr, 0)) << "null out-pointer";
    ASSERT_EQ(D3D_OK, ib->Lock(0, 0, &first, D3DLOCK_DISCARD));
    EXPECT_EQ(D3DERR_INVALIDCALL, ib->Lock(0, 0, &second, 0)) << "double lock";
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(D3D_OK, ib->Unlock());
    EXPECT_EQ(D3DERR_INVALIDCALL, ib->Unlock()) << "second unlock";
    D3DINDEXBUFFER_DESC desc;
    ASSERT_EQ(D3D_OK, ib->GetDesc(&desc));
    EXPECT_EQ(D3DFMT_INDEX16, desc.Format);
    EXPECT_EQ(12u, desc.Size);
    EXPECT_EQ(DWORD(D3DUSAGE_WRITEONLY), desc.Usage);
    EXPECT_EQ(0u, ib->Release());
}

TEST_F(SwDeviceInvalidCalls, SurfaceLockRectangles) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    const struct {
        const char* label;
        RECT rect;
        HRESULT expected;
    } rows[] = {
        {"inside", {2, 2, 4, 4}, D3D_OK},
        {"whole", {0, 0, 8, 8}, D3D_OK},
        {"right edge past", {4, 0, 9, 8}, D3DERR_INVALIDCALL},
        {"negative", {-1, 0, 2, 2}, D3DERR_INVALIDCALL},
        {"empty", {3, 3, 3, 5}, D3DERR_INVALIDCALL},
    };
    for (const auto& row : rows) {
        D3DLOCKED_RECT locked = {1, &locked};
        const HRESULT hr = texture->LockRect(0, &locked, &row.rect, 0);
        EXPECT_EQ(row.expected, hr) << row.label;
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(32, locked.Pitch) << row.label;
            EXPECT_EQ(D3D_OK, texture->UnlockRect(0)) << row.label;
        } else {
            EXPECT_EQ(nullptr, locked.pBits) << row.label;
        }
    }
    D3DLOCKED_RECT locked;
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(1, &locked, nullptr, 0)) << "missing level";
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->UnlockRect(0)) << "unlock while unlocked";
    EXPECT_EQ(0u, texture->Release());
}

TEST_F(SwDeviceInvalidCalls, CreationArgumentsLeaveOutPointersNull) {
    const struct {
        const char* label;
        std::function<HRESULT(IDirect3DDevice9*, void**)> create;
    } rows[] = {
        {"zero-length vertex buffer", [](IDirect3DDevice9* d, void** out) {
             return d->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, (IDirect3DVertexBuffer9**)out, nullptr); }},
        {"vertex buffer shorter than a vertex", [](IDirect3DDevice9* d, void** out) {
             return d->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, (IDirect3DVertexBuffer9**)out, nullptr); }},
        {"dynamic managed vertex buffer", [](IDirect3DDevice9* d, void** out) {
             return d->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, (IDirect3DVertexBuffer9**)out,
                                          nullptr); }},
        {"index buffer of a vertex format", [](IDirect3DDevice9* d, void** out) {
             return d->CreateIndexBuffer(64, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, (IDirect3DIndexBuffer9**)out,
                                         nullptr); }},
        {"texture too wide", [](IDirect3DDevice9* d, void** out) {
             return d->CreateTexture(8192, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, (IDirect3DTexture9**)out,
                                     nullptr); }},
        {"too many levels", [](IDirect3DDevice9* d, void** out) {
             return d->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, (IDirect3DTexture9**)out,
                                     nullptr); }},
        {"managed render target", [](IDirect3DDevice9* d, void** out) {
             return d->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     (IDirect3DTexture9**)out, nullptr); }},
        {"luminance render target", [](IDirect3DDevice9* d, void** out) {
             return d->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DPOOL_DEFAULT,
                                     (IDirect3DTexture9**)out, nullptr); }},
        {"depth format render target", [](IDirect3DDevice9* d, void** out) {
             return d->CreateRenderTarget(8, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE,
                                          (IDirect3DSurface9**)out, nullptr); }},
        {"shared handle", [](IDirect3DDevice9* d, void** out) {
             HANDLE handle = nullptr;
             return d->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, (IDirect3DTexture9**)out,
                                     &handle); }},
    };
    for (const auto& row : rows) {
        void* out = &out;
        EXPECT_EQ(D3DERR_INVALIDCALL, row.create(m_device, &out)) << row.label;
        EXPECT_EQ(nullptr, out) << row.label;
    }
}

// Eight vertices of position only, and a triangle list drawn through them.
class SwDeviceDrawValidation : public SoftwareDeviceTest {
protected:
    void SetUp() override {
        SoftwareDeviceTest::SetUp();
        m_vb = MakeVertexBuffer(8 * 12);
        const WORD indices[] = {0, 1, 2, 5, 6, 7, 2, 3, 9};
        m_ib = MakeIndexBuffer(indices, 9);
    }
    void TearDown() override {
        EXPECT_EQ(0u, m_vb->Release());
        EXPECT_EQ(0u, m_ib->Release());
        SoftwareDeviceTest::TearDown();
    }
    void BindAll() {
        ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, m_vb, 0, 12));
        ASSERT_EQ(D3D_OK, m_device->SetIndices(m_ib));
        ASSERT_EQ(D3D_OK, m_device->SetFVF(D3DFVF_XYZ));
    }

    IDirect3DVertexBuffer9* m_vb = nullptr;
    IDirect3DIndexBuffer9* m_ib = nullptr;
};

TEST_F(SwDeviceDrawValidation, DrawsOutsideTheBuffersAreRefused) {
    const struct {
        const char* label;
        std::function<void(IDirect3DDevice9*, IDirect3DVertexBuffer9*)> setUp;
        std::function<HRESULT(IDirect3DDevice9*)> draw;
        HRESULT expected;
    } rows[] = {
        {"valid list", nullptr, [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2); },
         D3D_OK},
        {"last vertex fits", nullptr, [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 4); },
         D3D_OK},
        {"past the buffer", nullptr, [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 3, 4); },
         D3DERR_INVALIDCALL},
        {"offset pushes past", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9* vb) { d->SetStreamSource(0, vb, 4, 12); },
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 8); }, D3DERR_INVALIDCALL},
        {"no stream", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9*) { d->SetStreamSource(0, nullptr, 0, 0); },
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 1); }, D3DERR_INVALIDCALL},
        {"zero stride", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9* vb) { d->SetStreamSource(0, vb, 0, 0); },
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 1); }, D3DERR_INVALIDCALL},
        {"unknown FVF", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9*) { d->SetFVF(D3DFVF_NORMAL); },
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 1); }, D3DERR_INVALIDCALL},
        {"no FVF", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9*) { d->SetFVF(0); },
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 1); }, D3DERR_INVALIDCALL},
        {"zero primitives", nullptr, [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPT_POINTLIST, 0, 0); },
         D3DERR_INVALIDCALL},
        {"unknown primitive type", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawPrimitive(D3DPRIMITIVETYPE(9), 0, 1); }, D3DERR_INVALIDCALL},
        {"indexed, indices inside", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2); }, D3D_OK},
        {"indexed, base pushes an index out", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 8, 0, 2); },
         D3DERR_INVALIDCALL},
        {"indexed, negative base", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 8, 0, 1); },
         D3DERR_INVALIDCALL},
        {"indexed, index 9 outside", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 6, 1); },
         D3DERR_INVALIDCALL},
        {"indexed, range past the index buffer", nullptr,
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 3, 3); },
         D3DERR_INVALIDCALL},
        {"indexed, no index buffer", [](IDirect3DDevice9* d, IDirect3DVertexBuffer9*) { d->SetIndices(nullptr); },
         [](IDirect3DDevice9* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 1); },
         D3DERR_INVALIDCALL},
    };
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    for (const auto& row : rows) {
        BindAll();
        if (row.setUp) row.setUp(m_device, m_vb);
        EXPECT_EQ(row.expected, row.draw(m_device)) << row.label;
    }
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(3u, swdevice::DrawLog(m_device).size()) << "only the valid draws are logged";
}

TEST_F(SwDeviceDrawValidation, DrawingOutsideASceneIsRefused) {
    BindAll();
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->EndScene());
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->BeginScene());
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_TRUE(swdevice::DrawLog(m_device).empty());
}

TEST_F(SwDeviceInvalidCalls, ForeignAndWrongKindBindingsAreRefused) {
    IDirect3DTexture9* plain = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &plain, nullptr));
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, plain->GetSurfaceLevel(0, &level));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderTarget(0, level)) << "not a render target";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetDepthStencilSurface(level)) << "not a depth stencil";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderTarget(0, nullptr)) << "null target 0";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTexture(16, plain)) << "stage out of range";

    IDirect3DDevice9* other = nullptr;
    D3DPRESENT_PARAMETERS pp = WindowedParams(16, 16, D3DFMT_X8R8G8B8, false);
    ASSERT_EQ(D3D_OK, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &other));
    EXPECT_EQ(D3DERR_INVALIDCALL, other->SetTexture(0, plain)) << "another device's texture";
    EXPECT_EQ(0u, other->Release());
    EXPECT_EQ(0u, level->Release());
    EXPECT_EQ(0u, plain->Release());
}

}  // namespace
