// Shading spans of pixels: interpolation of depth and varyings (perspective
// correct), then the bound pass's native pixel shader or the fixed-function
// texture stages, then the output merger.
#pragma once

#include <optional>

#include "swdevice_fastspans.h"
#include "swdevice_outputmerger.h"
#include "swdevice_texturestages.h"

namespace swdevice::detail {

// The pixel shader of the bound pass, or null for the texture stages.
struct PixelProgram {
    NativePixelShader shader = nullptr;
    const ShaderContext* context = nullptr;
};

class PixelStage {
public:
    // The references must outlive the stage.
    PixelStage(const VaryingSet& varyings, const PixelProgram& program, const TextureStages& stages,
               const OutputMerger& merger);

    // Pixels [x0, x1) of row y; every one lies inside the draw's bounds.
    void ShadeSpan(const Interpolants& planes, int y, int x0, int x1) const;

private:
    struct Pixel;
    void Interpolate(const Interpolants& planes, Pixel& pixel) const;
    D3DXVECTOR4 Shade(const Interpolants& planes, Pixel& pixel) const;
    float Footprint(const Interpolants& planes, const Pixel& pixel, int slot) const;

    const VaryingSet& m_varyings;
    PixelProgram m_program;
    const TextureStages& m_stages;
    const OutputMerger& m_merger;
    std::array<int, kVaryingSlots> m_planeOfSlot{};  // first plane of each slot, -1 when not interpolated
    std::optional<FastSpans> m_fast;  // set when the draw's states have a specialised loop
};

}  // namespace swdevice::detail
