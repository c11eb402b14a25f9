// The end of the pixel pipeline: alpha test, depth test and write, alpha
// blending and the colour write into the render target, in any of its formats.
#pragma once

#include "swdevice_drawcall.h"
#include "swdevice_rastertypes.h"

namespace swdevice::detail {

// D3DCMP_* between a new value and a reference.
template <class T>
bool Compare(DWORD function, T value, T reference) {
    switch (function) {
        case D3DCMP_NEVER: return false;
        case D3DCMP_LESS: return value < reference;
        case D3DCMP_EQUAL: return value == reference;
        case D3DCMP_LESSEQUAL: return value <= reference;
        case D3DCMP_GREATER: return value > reference;
        case D3DCMP_NOTEQUAL: return value != reference;
        case D3DCMP_GREATEREQUAL: return value >= reference;
        default: return true;
    }
}

// The blending a draw does; the BOTH factors are already resolved to a pair.
struct BlendSetup {
    bool enabled;
    DWORD source;       // D3DBLEND_*
    DWORD destination;  // D3DBLEND_*
    DWORD op;           // D3DBLENDOP_*
};

// Blend factor `factor` (D3DBLEND_*) for the source and destination colours.
D3DXVECTOR4 BlendFactor(DWORD factor, const D3DXVECTOR4& source, const D3DXVECTOR4& destination,
                        const D3DXVECTOR4& constant);

class OutputMerger {
public:
    // The draw must have a render target; depth applies when one is bound and enabled.
    explicit OutputMerger(const DrawCall& call);

    bool TestsDepth() const { return m_depth != nullptr; }
    bool WritesDepth() const { return m_depth && m_depthWrite; }
    // The depth in the buffer's units, and whether it passes the depth test.
    DWORD DepthBitsOf(float z) const;
    bool DepthPasses(int x, int y, DWORD bits) const;
    void WriteDepth(int x, int y, DWORD bits) const;

    bool AlphaPasses(float alpha) const;
    void WriteColour(int x, int y, D3DXVECTOR4 colour) const;

    // The pixels the draw may write: the viewport, inside every bound surface.
    PixelRect Bounds(const D3DVIEWPORT9& viewport) const;

    // What specialised span loops choose by.
    Surface& Target() const { return *m_target; }
    Surface* DepthTarget() const { return m_depth; }
    DWORD DepthFunction() const { return m_depthFunction; }
    DWORD WriteMask() const { return m_writeMask; }
    bool TestsAlpha() const { return m_alphaTest; }
    BlendSetup Blending() const { return {m_blend, m_sourceBlend, m_destinationBlend, m_blendOp}; }

private:
    D3DXVECTOR4 Blend(const D3DXVECTOR4& source, const D3DXVECTOR4& destination) const;

    Surface* m_target;
    Surface* m_depth = nullptr;  // null when depth testing is off
    bool m_depthWrite;
    DWORD m_depthFunction;
    bool m_alphaTest;
    DWORD m_alphaFunction;
    int m_alphaReference;
    bool m_blend;
    DWORD m_sourceBlend;
    DWORD m_destinationBlend;
    DWORD m_blendOp;
    D3DXVECTOR4 m_blendConstant;
    DWORD m_writeMask;
    bool m_saturate;  // unorm targets hold 0..1 only
};

}  // namespace swdevice::detail
