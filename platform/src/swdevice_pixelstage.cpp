#include "swdevice_pixelstage.h"

#include <algorithm>
#include <cmath>

namespace swdevice::detail {

namespace {

constexpr float kMagnified = -128.0f;  // footprintLog2 of a sample that needs no footprint

float LargestAbs(float a, float b, float c, float d) {
    return std::max(std::max(std::fabs(a), std::fabs(b)), std::max(std::fabs(c), std::fabs(d)));
}

}  // namespace

struct PixelStage::Pixel {
    int x = 0, y = 0;
    float fx = 0, fy = 0;  // position relative to the planes' origin
    float w = 1;
    PixelInput in{};  // registers the draw does not interpolate read as zero
};

PixelStage::PixelStage(const VaryingSet& varyings, const PixelProgram& program, const TextureStages& stages,
                       const OutputMerger& merger)
    : m_varyings(varyings), m_program(program), m_stages(stages), m_merger(merger) {
    m_planeOfSlot.fill(-1);
    for (int i = 0; i < varyings.count; ++i) m_planeOfSlot[varyings.slots[i]] = 4 * i;
    if (!program.shader) m_fast = FastSpans::Choose(varyings, stages, merger);
}

void PixelStage::Interpolate(const Interpolants& planes, Pixel& pixel) const {
    const float rhw = planes.rhw.At(pixel.fx, pixel.fy);
    pixel.w = 1.0f / rhw;
    pixel.in.position.w = rhw;
    for (int i = 0; i < m_varyings.count; ++i) {
        D3DXVECTOR4& value = Varying(pixel.in, m_varyings.slots[i]);
        for (int c = 0; c < 4; ++c) value[c] = planes.varyings[4 * i + c].At(pixel.fx, pixel.fy) * pixel.w;
    }
}

// log2 of the largest change of the slot's (u, v) across one pixel. For
// u = U / Q with U and Q linear on screen, du/dx = (dU/dx - u dQ/dx) / Q.
float PixelStage::Footprint(const Interpolants& planes, const Pixel& pixel, int slot) const {
    const int plane = m_planeOfSlot[slot];
    if (plane < 0) return kMagnified;
    const D3DXVECTOR4& uv = Varying(pixel.in, slot);
    const Plane& u = planes.varyings[plane];
    const Plane& v = planes.varyings[plane + 1];
    const float largest = LargestAbs(u.dx - uv.x * planes.rhw.dx, u.dy - uv.x * planes.rhw.dy,
                                     v.dx - uv.y * planes.rhw.dx, v.dy - uv.y * planes.rhw.dy) * pixel.w;
    return largest > 0.0f ? std::log2(largest) : kMagnified;
}

D3DXVECTOR4 PixelStage::Shade(const Interpolants& planes, Pixel& pixel) const {
    if (m_program.shader) {
        pixel.in.footprintLog2 = Footprint(planes, pixel, kTexcoordSlot);
        D3DXVECTOR4 colour(0, 0, 0, 0);
        m_program.shader(*m_program.context, pixel.in, colour);
        return colour;
    }
    std::array<float, kFixedFunctionStages> footprints;
    for (int stage = 0; stage < kFixedFunctionStages; ++stage) {
        const bool needed = stage < m_stages.ActiveStages() && m_stages.NeedsFootprint(stage);
        footprints[stage] = needed ? Footprint(planes, pixel, m_stages.TexcoordSlot(stage)) : kMagnified;
    }
    return m_stages.Combine(pixel.in, footprints);
}

// Depth is tested before shading, but written only once the alpha test passed.
void PixelStage::ShadeSpan(const Interpolants& planes, int y, int x0, int x1) const {
    if (m_fast) return m_fast->Shade(planes, y, x0, x1);
    Pixel pixel;
    pixel.y = y;
    pixel.fy = float(y) - planes.originY;
    pixel.in.position.y = float(y);
    for (int x = x0; x < x1; ++x) {
        pixel.x = x;
        pixel.fx = float(x) - planes.originX;
        const float z = planes.z.At(pixel.fx, pixel.fy);
        DWORD depthBits = 0;
        if (m_merger.TestsDepth()) {
            depthBits = m_merger.DepthBitsOf(z);
            if (!m_merger.DepthPasses(x, y, depthBits)) continue;
        }
        pixel.in.position.x = float(x);
        pixel.in.position.z = z;
        Interpolate(planes, pixel);
        const D3DXVECTOR4 colour = Shade(planes, pixel);
        if (!m_merger.AlphaPasses(colour.w)) continue;
        if (m_merger.WritesDepth()) m_merger.WriteDepth(x, y, depthBits);
        m_merger.WriteColour(x, y, colour);
    }
}

}  // namespace swdevice::detail
