#include "swdevice_comobject.h"

#include <atomic>

#include "platform/swdevice.h"

namespace swdevice::detail {

namespace {

std::atomic<size_t> g_liveObjects{0};

}  // namespace

Lifetime::Lifetime(IUnknown* container, Owner owner, Lifetime* bindingParent)
    : m_container(container),
      m_owner(owner),
      m_bindingParent(bindingParent),
      m_refs(owner == Owner::Self ? 1 : 0) {
    if (m_refs && m_container) m_container->AddRef();
    ++g_liveObjects;
}

// Only a constructor that throws leaves public references here; the
// container reference they hold must still go.
Lifetime::~Lifetime() {
    if (m_refs > 0 && m_container) m_container->Release();
    --g_liveObjects;
}

ULONG Lifetime::AddRefPublic() {
    if (++m_refs == 1 && m_container) m_container->AddRef();
    return m_refs;
}

// Nothing may touch the object after the container is released: releasing it
// can destroy the device, which drops its bindings and may delete this object.
ULONG Lifetime::ReleasePublic() {
    if (m_refs == 0) return 0;  // real D3D9 stays at zero too
    if (--m_refs > 0) return m_refs;
    IUnknown* container = m_container;
    if (m_owner == Owner::Self && m_bindings == 0) delete this;
    if (container) container->Release();
    return 0;
}

void Lifetime::AddBinding() {
    if (m_bindingParent) return m_bindingParent->AddBinding();
    ++m_bindings;
}

void Lifetime::ReleaseBinding() {
    if (m_bindingParent) return m_bindingParent->ReleaseBinding();
    if (m_bindings > 0) --m_bindings;
    DestroyIfUnused();
}

void Lifetime::DestroyIfUnused() {
    if (m_owner == Owner::Self && m_refs == 0 && m_bindings == 0) delete this;
}

size_t Lifetime::LiveCount() { return g_liveObjects; }

}  // namespace swdevice::detail

size_t swdevice::LiveObjectCount() { return detail::Lifetime::LiveCount(); }
