#include <gtest/gtest.h>

#include "Corvantis/cd3dwatch.h"
#include "platform/resources.h"
#include "platform/swdevice.h"
#include "support/testdevice.h"

namespace {

class D3DWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        CD3DWatch::ClearFailures();
        CD3DWatch::SetTracking(false);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        m_device = CreateTestDevice(m_d3d, WindowedParams(4, 4, D3DFMT_A8R8G8B8, true));
        ASSERT_NE(nullptr, m_device);
    }
    void TearDown() override {
        swdevice::ResetSettings();
        CD3DWatch::SetTracking(false);
        EXPECT_EQ(m_device->Release(), 0u);
        EXPECT_EQ(m_d3d->Release(), 0u);
        EXPECT_EQ(swdevice::LiveObjectCount(), 0u);
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

void ExpectOnlyFailure(const char* path, int line, const char* call, HRESULT result) {
    const std::vector<SD3DWatchFailure> failures = CD3DWatch::GetFailures();
    ASSERT_EQ(failures.size(), 1u) << call;
    EXPECT_STREQ(failures[0].path, path);
    EXPECT_EQ(failures[0].line, line);
    EXPECT_STREQ(failures[0].call, call);
    EXPECT_EQ(failures[0].result, result);
}

TEST_F(D3DWatchTest, SuccessfulCallsForwardAndRecordNothing) {
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* level = nullptr;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    IDirect3D9* d3d = nullptr;
    EXPECT_EQ(CD3DWatch::SafeCreateVertexBuffer("a.cpp", 1, m_device, 64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vertices,
                                                nullptr),
              D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeCreateIndexBuffer("a.cpp", 2, m_device, 12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                               &indices, nullptr),
              D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeCreateTexture("a.cpp", 3, m_device, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           &texture, nullptr),
              D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeGetSurfaceLevel("a.cpp", 4, texture, 0, &level), D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeGetRenderTarget("a.cpp", 5, m_device, 0, &target), D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeGetDepthStencilSurface("a.cpp", 6, m_device, &depth), D3D_OK);
    EXPECT_EQ(CD3DWatch::SafeGetDirect3D("a.cpp", 7, m_device, &d3d), D3D_OK);
    EXPECT_EQ(d3d, m_d3d);
    for (IUnknown* resource : std::initializer_list<IUnknown*>{vertices, indices, texture, level, target, depth}) {
        EXPECT_NE(resource, nullptr);
    }
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
    SafeRelease("a.cpp", 8, &level);
    SafeRelease("a.cpp", 9, &texture);
    SafeRelease("a.cpp", 10, &vertices);
    SafeRelease("a.cpp", 11, &indices);
    SafeRelease("a.cpp", 12, &target);
    SafeRelease("a.cpp", 13, &depth);
    SafeRelease("a.cpp", 14, &d3d);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(d3d, nullptr);
}

TEST_F(D3DWatchTest, InjectedCreationFailuresLeaveNullAndARecord) {
    swdevice::FailNextCreations(1, D3DERR_OUTOFVIDEOMEMORY);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(CD3DWatch::SafeCreateTexture("src/itexture.cpp", 42, m_device, 4, 4, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture, nullptr);
    ExpectOnlyFailure("src/itexture.cpp", 42, "CreateTexture", D3DERR_OUTOFVIDEOMEMORY);

    CD3DWatch::ClearFailures();
    swdevice::FailEveryCreation(swdevice::kVertexBuffer);
    IDirect3DVertexBuffer9* vertices = nullptr;
    EXPECT_TRUE(FAILED(CD3DWatch::SafeCreateVertexBuffer("b.cpp", 7, m_device, 64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED,
                                                         &vertices, nullptr)));
    EXPECT_EQ(vertices, nullptr);
    ExpectOnlyFailure("b.cpp", 7, "CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY);
}

TEST_F(D3DWatchTest, InvalidCallsAreRecordedWithoutTouchingTheDevice) {
    IDirect3DIndexBuffer9* indices = nullptr;
    EXPECT_EQ(CD3DWatch::SafeCreateIndexBuffer("c.cpp", 3, nullptr, 12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                               &indices, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(indices, nullptr);
    ExpectOnlyFailure("c.cpp", 3, "CreateIndexBuffer", D3DERR_INVALIDCALL);

    CD3DWatch::ClearFailures();
    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(CD3DWatch::SafeGetSurfaceLevel("c.cpp", 4, nullptr, 0, &level), D3DERR_INVALIDCALL);
    ExpectOnlyFailure("c.cpp", 4, "GetSurfaceLevel", D3DERR_INVALIDCALL);

    CD3DWatch::ClearFailures();
    IDirect3DSurface9* target = nullptr;
    EXPECT_EQ(CD3DWatch::SafeGetRenderTarget("c.cpp", 5, m_device, 9, &target), D3DERR_INVALIDCALL)
        << "render target index out of range";
    EXPECT_EQ(target, nullptr);
    ExpectOnlyFailure("c.cpp", 5, "GetRenderTarget", D3DERR_INVALIDCALL);
}

TEST_F(D3DWatchTest, EffectCreationFailureIsRecorded) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = CD3DWatch::SafeCreateEffectFromResource(
        "fx.cpp", 11, m_device, GetModuleHandleA("NoSuchModule"), MAKEINTRESOURCEA(104), nullptr, nullptr, 0x120,
        nullptr, &effect, &errors);
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    EXPECT_EQ(effect, nullptr);
    ExpectOnlyFailure("fx.cpp", 11, "D3DXCreateEffectFromResource", D3DXERR_INVALIDDATA);
}

TEST_F(D3DWatchTest, RecordKeepsOnlyTheMostRecentFailures) {
    IDirect3DSurface9* level = nullptr;
    for (int line = 1; line <= int(CD3DWatch::kMaxFailures) + 10; ++line) {
        CD3DWatch::SafeGetSurfaceLevel("d.cpp", line, nullptr, 0, &level);
    }
    const std::vector<SD3DWatchFailure> failures = CD3DWatch::GetFailures();
    ASSERT_EQ(failures.size(), CD3DWatch::kMaxFailures);
    EXPECT_EQ(failures.front().line, 11);
    EXPECT_EQ(failures.back().line, int(CD3DWatch::kMaxFailures) + 10);
    CD3DWatch::ClearFailures();
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
}

TEST_F(D3DWatchTest, SafeReleaseReleasesOnceAndNullsThePointer) {
    IDirect3DTexture9* texture = nullptr;
    m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    ASSERT_NE(texture, nullptr);
    texture->AddRef();
    IDirect3DTexture9* copy = texture;
    SafeRelease("e.cpp", 1, &texture);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(copy->AddRef(), 2u) << "exactly one reference went";
    copy->Release();
    SafeRelease("e.cpp", 2, &texture);  // null: nothing happens
    SafeRelease<IDirect3DTexture9>("e.cpp", 3, nullptr);
    EXPECT_EQ(copy->Release(), 0u);
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
}

TEST_F(D3DWatchTest, TrackingReportsReleasesOfResourcesTheGuardDidNotCreate) {
    CD3DWatch::SetTracking(true);
    EXPECT_TRUE(CD3DWatch::_IsOperating());
    IDirect3DTexture9* guarded = nullptr;
    IDirect3DTexture9* unguarded = nullptr;
    CD3DWatch::SafeCreateTexture("f.cpp", 1, m_device, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &guarded,
                                 nullptr);
    m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &unguarded, nullptr);
    EXPECT_TRUE(CD3DWatch::_IsContainingData(guarded));
    EXPECT_FALSE(CD3DWatch::_IsContainingData(unguarded));

    SafeRelease("f.cpp", 2, &guarded);
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
    SafeRelease("f.cpp", 3, &unguarded);
    EXPECT_EQ(unguarded, nullptr) << "released all the same";
    ExpectOnlyFailure("f.cpp", 3, "SafeRelease", E_POINTER);
}

TEST_F(D3DWatchTest, TrackingCountsEachAcquisitionOfASharedSurface) {
    CD3DWatch::SetTracking(true);
    IDirect3DSurface9* first = nullptr;
    IDirect3DSurface9* second = nullptr;
    CD3DWatch::SafeGetRenderTarget("g.cpp", 1, m_device, 0, &first);
    CD3DWatch::SafeGetRenderTarget("g.cpp", 2, m_device, 0, &second);
    ASSERT_EQ(first, second);
    SafeRelease("g.cpp", 3, &first);
    EXPECT_TRUE(CD3DWatch::_IsContainingData(second));
    SafeRelease("g.cpp", 4, &second);
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
}

}  // namespace
