// Reference counts and lifetimes of the software device's objects.
#include "swdevice_fixture.h"

namespace {

using SwDeviceLifetime = SoftwareDeviceTest;

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(SwDeviceLifetime, CreatedResourcesHoldTheirDevice) {
    const ULONG before = RefCount(m_device);
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(36);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    EXPECT_EQ(before + 2, RefCount(m_device));
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(D3D_OK, vb->GetDevice(&owner));
    EXPECT_EQ(m_device, owner);
    owner->Release();
    EXPECT_EQ(0u, vb->Release());
    EXPECT_EQ(0u, texture->Release());
    EXPECT_EQ(before, RefCount(m_device));
}

TEST_F(SwDeviceLifetime, DeviceHoldsItsDirect3DObject) {
    EXPECT_EQ(2u, RefCount(m_d3d));
    IDirect3D9* d3d = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetDirect3D(&d3d));
    EXPECT_EQ(m_d3d, d3d);
    EXPECT_EQ(2u, d3d->Release());
}

TEST_F(SwDeviceLifetime, ReleaseAtZeroStaysAtZero) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(4, 4, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &texture, nullptr));
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    EXPECT_EQ(0u, level->Release());
    EXPECT_EQ(0u, level->Release());  // a level lives as long as its texture
    EXPECT_EQ(0u, texture->Release());
}

TEST_F(SwDeviceLifetime, SurfaceLevelKeepsItsTextureAlive) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    EXPECT_EQ(5u, texture->GetLevelCount());
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(2, &level));
    EXPECT_EQ(2u, RefCount(texture));
    EXPECT_EQ(1u, texture->Release());  // the level's reference remains
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, level->GetDesc(&desc));  // still valid: the level holds the texture
    EXPECT_EQ(4u, desc.Width);
    IDirect3DTexture9* container = nullptr;
    ASSERT_EQ(D3D_OK, level->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)));
    EXPECT_EQ(texture, container);
    container->Release();
    EXPECT_EQ(0u, level->Release());
}

TEST_F(SwDeviceLifetime, BoundObjectsOutliveTheirLastRelease) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(36);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, vb, 0, 12));
    const size_t live = swdevice::LiveObjectCount();
    EXPECT_EQ(0u, vb->Release());  // binding does not count, as in D3D9
    EXPECT_EQ(live, swdevice::LiveObjectCount());
    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset = 0, stride = 0;
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(0, &bound, &offset, &stride));
    EXPECT_EQ(vb, bound);
    EXPECT_EQ(12u, stride);
    EXPECT_EQ(0u, bound->Release());
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, nullptr, 0, 0));
    EXPECT_EQ(live - 1, swdevice::LiveObjectCount());
}

TEST_F(SwDeviceLifetime, DeviceReleaseDropsBindingsOfReleasedObjects) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                              &texture, nullptr));
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, level));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(1, texture));
    EXPECT_EQ(0u, level->Release());
    EXPECT_EQ(0u, texture->Release());
    // TearDown's Release of the device must free the texture still bound to it.
}

TEST_F(SwDeviceLifetime, QueryInterfaceKnowsTheInterfaceChain) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &texture, nullptr));
    for (const IID* iid : {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9,
                           &IID_IDirect3DTexture9}) {
        void* out = nullptr;
        ASSERT_EQ(S_OK, texture->QueryInterface(*iid, &out));
        EXPECT_EQ(static_cast<void*>(texture), out);
        static_cast<IUnknown*>(out)->Release();
    }
    void* out = &out;
    EXPECT_EQ(E_NOINTERFACE, texture->QueryInterface(IID_IDirect3DVertexBuffer9, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, texture->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(0u, texture->Release());
}

TEST_F(SwDeviceLifetime, BackBufferHoldsTheDeviceWhileReferenced) {
    const ULONG before = RefCount(m_device);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back));
    EXPECT_EQ(before + 1, RefCount(m_device));
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetRenderTarget(0, &target));
    EXPECT_EQ(back, target);
    EXPECT_EQ(1u, target->Release());
    EXPECT_EQ(0u, back->Release());
    EXPECT_EQ(before, RefCount(m_device));
}

TEST_F(SwDeviceLifetime, CreationWithTheWrongSdkVersionGivesNothing) {
    EXPECT_EQ(nullptr, Direct3DCreate9(D3D_SDK_VERSION + 1));
}

}  // namespace
