// What every resource of the software device shares: its device, pool,
// priority and type, and the device's count of live default-pool resources
// (Reset refuses to run while any is alive).
#pragma once

#include "swdevice_comobject.h"

namespace swdevice::detail {

class PoolTracker {
public:
    void Added(D3DPOOL pool) { m_defaultPool += pool == D3DPOOL_DEFAULT; }
    void Removed(D3DPOOL pool) { m_defaultPool -= pool == D3DPOOL_DEFAULT; }
    UINT DefaultPoolResources() const { return m_defaultPool; }

private:
    UINT m_defaultPool = 0;
};

// Where a resource comes from. tracker is null for resources that belong to
// another object (texture levels, the back buffer) and are not counted.
struct ResourceOrigin {
    IDirect3DDevice9* device;
    PoolTracker* tracker;
};

template <class Interface>
class Resource : public ComObject<Interface> {
public:
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override {
        if (!ppDevice) return D3DERR_INVALIDCALL;
        m_origin.device->AddRef();
        *ppDevice = m_origin.device;
        return D3D_OK;
    }
    DWORD SetPriority(DWORD PriorityNew) override {
        const DWORD previous = m_priority;
        m_priority = PriorityNew;
        return previous;
    }
    DWORD GetPriority() override { return m_priority; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return m_type; }

    IDirect3DDevice9* Device() const { return m_origin.device; }
    D3DPOOL Pool() const { return m_pool; }

protected:
    Resource(const ResourceOrigin& origin, D3DRESOURCETYPE type, D3DPOOL pool, Lifetime::Owner owner,
             IUnknown* container, Lifetime* bindingParent = nullptr)
        : ComObject<Interface>(container, owner, bindingParent), m_origin(origin), m_type(type), m_pool(pool) {
        if (m_origin.tracker) m_origin.tracker->Added(m_pool);
    }
    ~Resource() override {
        if (m_origin.tracker) m_origin.tracker->Removed(m_pool);
    }

private:
    ResourceOrigin m_origin;
    D3DRESOURCETYPE m_type;
    D3DPOOL m_pool;
    DWORD m_priority = 0;
};

}  // namespace swdevice::detail
