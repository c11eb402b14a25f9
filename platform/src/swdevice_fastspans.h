// Span loops specialised once per draw for the states particles draw with:
// the fixed-function pipeline with one texture stage of products (see
// StageProducts), no texture or a wrapped or clamped one magnified by point
// or linear filtering, an A8R8G8B8 or X8R8G8B8 target written whole, no
// depth buffer or a D24 one, and blending by zero, one and alpha factors.
// They do the general pixel stage's float operations in the same order
// (four channels at a time), so they draw the same pixels; what they save
// is deciding every state per pixel. Other draws take the general path.
#pragma once

#include <cstdint>
#include <optional>

#include "swdevice_outputmerger.h"
#include "swdevice_spantexture.h"
#include "swdevice_texturestages.h"

namespace swdevice::detail {

class FastSpans {
public:
    // Empty when the draw's states need the general path. The references
    // must outlive the spans.
    static std::optional<FastSpans> Choose(const VaryingSet& varyings, const TextureStages& stages,
                                           const OutputMerger& merger);

    // Pixels [x0, x1) of row y, as PixelStage::ShadeSpan draws them.
    void Shade(const Interpolants& planes, int y, int x0, int x1) const { m_shade(*this, planes, y, x0, x1); }

private:
    using ShadeFunction = void (*)(const FastSpans&, const Interpolants&, int, int, int);

    explicit FastSpans(const OutputMerger& merger) : m_merger(&merger) {}
    bool ChooseBlending(const BlendSetup& blending);
    bool ChooseTexturing(const VaryingSet& varyings, const TextureStages& stages);

    template <class Sampling>
    static void ShadeWith(const FastSpans& spans, const Interpolants& planes, int y, int x0, int x1);

    const OutputMerger* m_merger;
    ShadeFunction m_shade = nullptr;
    Surface* m_depth = nullptr;  // D24S8 or D24X8; null when depth is not tested
    DWORD m_depthFunction = 0;
    bool m_writesDepth = false;
    bool m_testsAlpha = false;
    bool m_blend = false;
    bool m_targetHasAlpha = false;
    uint8_t m_sourceFactor = 0;  // into the factors the merge lists
    uint8_t m_destinationFactor = 0;
    StageProducts m_products{};
    D3DXVECTOR4 m_textureFactor{0, 0, 0, 0};
    int m_diffusePlane = 0;   // first plane of the diffuse colour in the interpolants
    int m_texcoordPlane = 0;  // first plane of the stage's texture coordinates, when it samples
    std::optional<SpanSampler> m_sampler;
};

}  // namespace swdevice::detail
