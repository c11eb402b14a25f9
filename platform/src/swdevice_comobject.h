// The reference counting shared by every object of the software device.
//
// An object has two counts. Public references are the COM ones (AddRef,
// Release, the value they return). Bindings are the device's own hold on
// what is bound to it (stream sources, textures, render targets): like D3D9,
// binding does not change the public count, yet a bound object stays alive
// after its last Release until it is unbound.
//
// While an object has public references it holds one reference on its
// container (the device for resources, the texture for a texture level, the
// Direct3D object for a device). Self-owned objects delete themselves when
// both counts reach zero; container-owned ones (texture levels, the back
// buffer, the automatic depth-stencil surface) are deleted by their owner.
#pragma once

#include <cstddef>

#include "platform/d3d9interfaces.h"

namespace swdevice::detail {

class Lifetime {
public:
    enum class Owner { Self, Container };

    ULONG AddRefPublic();
    ULONG ReleasePublic();
    void AddBinding();
    void ReleaseBinding();
    ULONG PublicRefs() const { return m_refs; }

    static size_t LiveCount();

protected:
    // Self-owned objects start with one public reference, container-owned with none.
    // Bindings of a container-owned object go to bindingParent when there is one.
    Lifetime(IUnknown* container, Owner owner, Lifetime* bindingParent = nullptr);
    virtual ~Lifetime();

private:
    void DestroyIfUnused();

    IUnknown* m_container;
    Owner m_owner;
    Lifetime* m_bindingParent;
    ULONG m_refs;
    ULONG m_bindings = 0;
};

// True when riid names Interface or one of its bases.
template <class Interface>
bool IsInInterfaceChain(REFIID riid);

template <class Interface>
class ComObject : public Interface, public Lifetime {
public:
    // Each interface chain is single inheritance, so every interface of it
    // shares this object's address.
    HRESULT QueryInterface(REFIID riid, void** ppvObj) override {
        if (!ppvObj) return E_POINTER;
        *ppvObj = nullptr;
        if (!IsInInterfaceChain<Interface>(riid)) return E_NOINTERFACE;
        AddRef();
        *ppvObj = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return AddRefPublic(); }
    ULONG Release() override { return ReleasePublic(); }

protected:
    using Lifetime::Lifetime;
};

}  // namespace swdevice::detail
