// A software device per test, created as a host creates it, and the checks
// every device test ends with: the last Release returns 0 and no object of
// the device is left alive.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9.h"
#include "platform/d3d9iids.h"
#include "platform/swdevice.h"
#include "support/testdevice.h"

class SoftwareDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        ASSERT_EQ(0u, swdevice::LiveObjectCount());
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_d3d);
        CreateDevice(WindowedParams(64, 32, D3DFMT_X8R8G8B8, true));
    }

    void TearDown() override {
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_d3d) {
            EXPECT_EQ(0u, m_d3d->Release());
        }
        EXPECT_EQ(0u, swdevice::LiveObjectCount());
        swdevice::ResetSettings();
    }

    void CreateDevice(D3DPRESENT_PARAMETERS pp) {
        if (m_device) {
            ASSERT_EQ(0u, m_device->Release());
            m_device = nullptr;
        }
        ASSERT_EQ(D3D_OK, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_device));
    }

    IDirect3DVertexBuffer9* MakeVertexBuffer(UINT length, DWORD fvf = D3DFVF_XYZ) {
        IDirect3DVertexBuffer9* vb = nullptr;
        EXPECT_EQ(D3D_OK, m_device->CreateVertexBuffer(length, 0, fvf, D3DPOOL_MANAGED, &vb, nullptr));
        return vb;
    }

    IDirect3DIndexBuffer9* MakeIndexBuffer(const WORD* indices, UINT count) {
        IDirect3DIndexBuffer9* ib = nullptr;
        EXPECT_EQ(D3D_OK, m_device->CreateIndexBuffer(count * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
        void* data = nullptr;
        EXPECT_EQ(D3D_OK, ib->Lock(0, 0, &data, 0));
        std::memcpy(data, indices, count * 2);
        EXPECT_EQ(D3D_OK, ib->Unlock());
        return ib;
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};
