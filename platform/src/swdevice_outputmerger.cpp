#include "swdevice_outputmerger.h"

#include <algorithm>
#include <cmath>

namespace swdevice::detail {

namespace {

constexpr DWORD kWriteAll = 0xF;

D3DXVECTOR4 Splat(float v) { return D3DXVECTOR4(v, v, v, v); }
D3DXVECTOR4 Complement(const D3DXVECTOR4& v) { return Splat(1.0f) - v; }

D3DXVECTOR4 Multiply(const D3DXVECTOR4& a, const D3DXVECTOR4& b) {
    return D3DXVECTOR4(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}

D3DXVECTOR4 Saturate(const D3DXVECTOR4& v) {
    return D3DXVECTOR4(std::clamp(v.x, 0.0f, 1.0f), std::clamp(v.y, 0.0f, 1.0f), std::clamp(v.z, 0.0f, 1.0f),
                       std::clamp(v.w, 0.0f, 1.0f));
}

D3DXVECTOR4 ColourFromDword(DWORD c) {
    const float k = 1.0f / 255.0f;
    return D3DXVECTOR4(((c >> 16) & 0xFF) * k, ((c >> 8) & 0xFF) * k, (c & 0xFF) * k, (c >> 24) * k);
}

D3DXVECTOR4 ApplyBlendOp(DWORD op, const D3DXVECTOR4& s, const D3DXVECTOR4& d) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT: return s - d;
        case D3DBLENDOP_REVSUBTRACT: return d - s;
        case D3DBLENDOP_MIN: return D3DXVECTOR4(std::min(s.x, d.x), std::min(s.y, d.y), std::min(s.z, d.z), std::min(s.w, d.w));
        case D3DBLENDOP_MAX: return D3DXVECTOR4(std::max(s.x, d.x), std::max(s.y, d.y), std::max(s.z, d.z), std::max(s.w, d.w));
        default: return s + d;
    }
}

bool IsUnorm(const FormatInfo& format) {
    return format.channelType == ChannelType::Unorm8 || format.channelType == ChannelType::Unorm16;
}

// A depth-stencil surface takes part only when depth testing is on.
Surface* DepthSurface(const DrawCall& call) {
    const bool enabled = call.record.states.render[D3DRS_ZENABLE] != D3DZB_FALSE;
    return enabled && call.depthStencil && call.depthStencil->Format().formatClass == FormatClass::Depth
               ? call.depthStencil
               : nullptr;
}

PixelRect Intersect(PixelRect a, const Surface* surface) {
    if (!surface) return a;
    a.right = std::min(a.right, int(surface->Description().Width));
    a.bottom = std::min(a.bottom, int(surface->Description().Height));
    return a;
}

}  // namespace

// D3DBLEND_BOTHSRCALPHA and D3DBLEND_BOTHINVSRCALPHA are resolved to a pair
// of factors before blending; as a single factor they act as their source half.
D3DXVECTOR4 BlendFactor(DWORD factor, const D3DXVECTOR4& s, const D3DXVECTOR4& d, const D3DXVECTOR4& constant) {
    switch (factor) {
        case D3DBLEND_ZERO: return Splat(0.0f);
        case D3DBLEND_SRCCOLOR: return s;
        case D3DBLEND_INVSRCCOLOR: return Complement(s);
        case D3DBLEND_SRCALPHA:
        case D3DBLEND_BOTHSRCALPHA: return Splat(s.w);
        case D3DBLEND_INVSRCALPHA:
        case D3DBLEND_BOTHINVSRCALPHA: return Splat(1.0f - s.w);
        case D3DBLEND_DESTALPHA: return Splat(d.w);
        case D3DBLEND_INVDESTALPHA: return Splat(1.0f - d.w);
        case D3DBLEND_DESTCOLOR: return d;
        case D3DBLEND_INVDESTCOLOR: return Complement(d);
        case D3DBLEND_SRCALPHASAT: {
            const float f = std::min(s.w, 1.0f - d.w);
            return D3DXVECTOR4(f, f, f, 1.0f);
        }
        case D3DBLEND_BLENDFACTOR: return constant;
        case D3DBLEND_INVBLENDFACTOR: return Complement(constant);
        default: return Splat(1.0f);
    }
}

OutputMerger::OutputMerger(const DrawCall& call)
    : m_target(call.renderTarget), m_depth(DepthSurface(call)) {
    const auto& rs = call.record.states.render;
    m_depthWrite = rs[D3DRS_ZWRITEENABLE] != FALSE;
    m_depthFunction = rs[D3DRS_ZFUNC];
    m_alphaTest = rs[D3DRS_ALPHATESTENABLE] != FALSE;
    m_alphaFunction = rs[D3DRS_ALPHAFUNC];
    m_alphaReference = int(rs[D3DRS_ALPHAREF] & 0xFF);
    m_blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    m_sourceBlend = rs[D3DRS_SRCBLEND];
    m_destinationBlend = rs[D3DRS_DESTBLEND];
    if (m_sourceBlend == D3DBLEND_BOTHSRCALPHA) m_destinationBlend = D3DBLEND_INVSRCALPHA;
    if (m_sourceBlend == D3DBLEND_BOTHINVSRCALPHA) m_destinationBlend = D3DBLEND_SRCALPHA;
    m_blendOp = rs[D3DRS_BLENDOP];
    m_blendConstant = ColourFromDword(rs[D3DRS_BLENDFACTOR]);
    m_writeMask = rs[D3DRS_COLORWRITEENABLE] & kWriteAll;
    m_saturate = IsUnorm(m_target->Format());
}

PixelRect OutputMerger::Bounds(const D3DVIEWPORT9& viewport) const {
    PixelRect rect{int(viewport.X), int(viewport.Y), int(viewport.X + viewport.Width),
                   int(viewport.Y + viewport.Height)};
    return Intersect(Intersect(rect, m_target), m_depth);
}

DWORD OutputMerger::DepthBitsOf(float z) const { return DepthBits(m_depth->Format(), z); }

bool OutputMerger::DepthPasses(int x, int y, DWORD bits) const {
    return Compare(m_depthFunction, bits, ReadDepthBits(m_depth->Format(), m_depth->Texel(UINT(x), UINT(y))));
}

void OutputMerger::WriteDepth(int x, int y, DWORD bits) const {
    WriteDepthBits(m_depth->Format(), m_depth->Texel(UINT(x), UINT(y)), bits);
}

// Alpha is compared in 0..255 steps against ALPHAREF, as D3D9 hardware does.
bool OutputMerger::AlphaPasses(float alpha) const {
    if (!m_alphaTest) return true;
    const int value = int(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
    return Compare(m_alphaFunction, value, m_alphaReference);
}

D3DXVECTOR4 OutputMerger::Blend(const D3DXVECTOR4& s, const D3DXVECTOR4& d) const {
    if (m_blendOp == D3DBLENDOP_MIN || m_blendOp == D3DBLENDOP_MAX) return ApplyBlendOp(m_blendOp, s, d);
    const D3DXVECTOR4 source = Multiply(s, BlendFactor(m_sourceBlend, s, d, m_blendConstant));
    const D3DXVECTOR4 destination = Multiply(d, BlendFactor(m_destinationBlend, s, d, m_blendConstant));
    return ApplyBlendOp(m_blendOp, source, destination);
}

void OutputMerger::WriteColour(int x, int y, D3DXVECTOR4 colour) const {
    if (m_writeMask == 0) return;
    BYTE* texel = m_target->Texel(UINT(x), UINT(y));
    const FormatInfo& format = m_target->Format();
    if (m_saturate) colour = Saturate(colour);
    if (m_blend || m_writeMask != kWriteAll) {
        D3DXVECTOR4 destination;
        format.readColor(texel, &destination.x);
        if (m_blend) colour = Blend(colour, destination);
        for (int c = 0; c < 4; ++c) {
            if (!(m_writeMask & (1u << c))) colour[c] = destination[c];
        }
    }
    format.writeColor(&colour.x, texel);
}

}  // namespace swdevice::detail
