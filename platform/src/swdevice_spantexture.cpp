#include "swdevice_spantexture.h"

#include "swdevice_texture.h"

namespace swdevice::detail {

namespace {

bool IsWrapOrClamp(D3DTEXTUREADDRESS mode) { return mode == D3DTADDRESS_WRAP || mode == D3DTADDRESS_CLAMP; }

}  // namespace

// Decodes with the format's own reader, as TextureSampler does, so the floats are the same.
bool SpanTexture::Attach(const Texture& texture) {
    m_texels.clear();
    if (texture.Levels().empty()) return false;
    Surface& top = *texture.Levels().front();
    const D3DSURFACE_DESC& desc = top.Description();
    if (!top.Format().readColor || desc.Width == 0 || desc.Height == 0) return false;
    m_width = long(desc.Width);
    m_height = long(desc.Height);
    m_texels.resize(size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
            float rgba[4];
            top.Format().readColor(top.Texel(x, y), rgba);
            m_texels[y * desc.Width + x] = Float4{rgba[0], rgba[1], rgba[2], rgba[3]};
        }
    }
    return true;
}

// Without a mip filter and with equal minification and magnification
// filters, TextureSampler magnifies from level 0 whatever the footprint.
bool SpanSampler::Handles(const SamplerState& state) {
    return state.mipFilter == D3DTEXF_NONE && state.minFilter == state.magFilter &&
           (state.magFilter == D3DTEXF_POINT || state.magFilter == D3DTEXF_LINEAR) &&
           IsWrapOrClamp(state.addressU) && IsWrapOrClamp(state.addressV);
}

}  // namespace swdevice::detail
