// Texture sampling for the software device: filtering (point, linear, mip)
// and addressing (wrap, mirror, clamp, border, mirror once) over the texel
// formats the libraries use, decoded to floats.
//
// A sampler takes a snapshot of a texture's levels when it is attached: the
// texels are decoded to floats once and every sample reads the copy, so a sampler may be
// shared by threads that only sample. Attach again when the texture's contents may have changed, for
// example once per draw.
#pragma once

#include <vector>

#include "platform/d3d9types.h"
#include "platform/d3dxmath.h"
#include "platform/export.h"

struct IDirect3DBaseTexture9;

namespace swdevice::detail {
class Surface;
struct FormatInfo;
}  // namespace swdevice::detail

// The sampler states that sampling honours; the defaults are D3D9's.
struct SamplerState {
    D3DTEXTUREFILTERTYPE minFilter = D3DTEXF_POINT;
    D3DTEXTUREFILTERTYPE magFilter = D3DTEXF_POINT;
    D3DTEXTUREFILTERTYPE mipFilter = D3DTEXF_NONE;
    D3DTEXTUREADDRESS addressU = D3DTADDRESS_WRAP;
    D3DTEXTUREADDRESS addressV = D3DTADDRESS_WRAP;
    D3DCOLOR borderColor = 0;
};

// True for the formats a sampler decodes: A8R8G8B8, X8R8G8B8, A8, L8, L16,
// A16B16G16R16, A16B16G16R16F, A32B32G32R32F, R32F.
PLATFORM_API bool IsSampledFormat(D3DFORMAT format);

class PLATFORM_API TextureSampler {
public:
    // Reads every stored level of a software device's 2D texture. Null
    // detaches and succeeds; another texture or an undecoded format fails
    // with the sampler left detached.
    HRESULT Attach(IDirect3DBaseTexture9* texture);
    void Detach();
    bool IsAttached() const { return !m_levels.empty(); }

    // The colour (r, g, b, a) as (x, y, z, w) at texture coordinates (u, v).
    // footprintLog2 (see PixelInput) chooses between magnification and
    // minification and the mip level. Detached: (0, 0, 0, 1).
    D3DXVECTOR4 Sample(const SamplerState& state, float u, float v, float footprintLog2 = -128.0f) const;

private:
    struct Level {
        UINT width = 0;
        UINT height = 0;
        const swdevice::detail::FormatInfo* format = nullptr;
        std::vector<D3DXVECTOR4> texels;  // decoded, rows packed without padding
    };

    HRESULT ReadLevel(swdevice::detail::Surface& surface);
    D3DXVECTOR4 SampleLevel(const SamplerState& state, D3DTEXTUREFILTERTYPE filter, UINT level, float u,
                            float v) const;
    D3DXVECTOR4 Point(const SamplerState& state, const Level& level, float u, float v) const;
    D3DXVECTOR4 Linear(const SamplerState& state, const Level& level, float u, float v) const;
    D3DXVECTOR4 Texel(const SamplerState& state, const Level& level, long x, long y) const;

    std::vector<Level> m_levels;
};
