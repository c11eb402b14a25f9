#include "swdevice_clear.h"

#include <algorithm>

namespace swdevice::detail {

namespace {

constexpr DWORD kDepthFlags = D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
constexpr DWORD kAllFlags = D3DCLEAR_TARGET | kDepthFlags;

bool IsValid(const ClearRequest& r, const Surface* target, const Surface* depth) {
    if ((r.flags & ~kAllFlags) || !(r.flags & kAllFlags) || (r.count && !r.rects)) return false;
    if ((r.flags & D3DCLEAR_TARGET) && (!target || !target->Format().writeColor)) return false;
    if ((r.flags & kDepthFlags) && !depth) return false;
    if ((r.flags & D3DCLEAR_STENCIL) && depth->Format().stencilBits == 0) return false;
    return !(r.flags & D3DCLEAR_ZBUFFER) || (r.z >= 0.0f && r.z <= 1.0f);
}

// The rectangle clipped to the viewport and to the surface.
D3DRECT Clip(const D3DRECT& rect, const D3DVIEWPORT9& viewport, const Surface& surface) {
    const LONG right = LONG(std::min<uint64_t>(uint64_t(viewport.X) + viewport.Width, surface.Description().Width));
    const LONG bottom = LONG(std::min<uint64_t>(uint64_t(viewport.Y) + viewport.Height, surface.Description().Height));
    return {std::max(rect.x1, LONG(viewport.X)), std::max(rect.y1, LONG(viewport.Y)), std::min(rect.x2, right),
            std::min(rect.y2, bottom)};
}

template <class WriteTexel>
void FillRect(Surface& surface, const D3DRECT& rect, const D3DVIEWPORT9& viewport, WriteTexel write) {
    const D3DRECT r = Clip(rect, viewport, surface);
    for (LONG y = r.y1; y < r.y2; ++y) {
        for (LONG x = r.x1; x < r.x2; ++x) write(surface.Texel(UINT(x), UINT(y)));
    }
}

template <class WriteTexel>
void FillRects(const ClearRequest& request, Surface& surface, const D3DVIEWPORT9& viewport, WriteTexel write) {
    const D3DRECT everything = {0, 0, LONG(surface.Description().Width), LONG(surface.Description().Height)};
    if (request.count == 0) FillRect(surface, everything, viewport, write);
    for (DWORD i = 0; i < request.count; ++i) FillRect(surface, request.rects[i], viewport, write);
    surface.MarkModified();
}

}  // namespace

HRESULT ClearTargets(const ClearRequest& request, Surface* renderTarget, Surface* depthStencil,
                     const D3DVIEWPORT9& viewport) {
    if (!IsValid(request, renderTarget, depthStencil)) return D3DERR_INVALIDCALL;
    if (request.flags & D3DCLEAR_TARGET) {
        const FormatInfo& format = renderTarget->Format();
        FillRects(request, *renderTarget, viewport, [&](BYTE* texel) { WriteColor(format, request.color, texel); });
    }
    if (request.flags & kDepthFlags) {
        const bool depth = request.flags & D3DCLEAR_ZBUFFER;
        const bool stencil = request.flags & D3DCLEAR_STENCIL;
        FillRects(request, *depthStencil, viewport, [&](BYTE* texel) {
            WriteDepthStencil(depthStencil->Format(), texel, depth, request.z, stencil, request.stencil);
        });
    }
    return D3D_OK;
}

}  // namespace swdevice::detail
