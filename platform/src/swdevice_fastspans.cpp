#include "swdevice_fastspans.h"

#include <array>
#include <cstring>

#include "swdevice_surface.h"

namespace swdevice::detail {

namespace {

constexpr DWORD kWriteAll = 0xF;

// ==== Interpolation ====

// Four planes side by side: the diffuse colour's channels.
struct Planes4 {
    Float4 at, dx, dy;

    Planes4(const Plane* p)
        : at{p[0].at, p[1].at, p[2].at, p[3].at},
          dx{p[0].dx, p[1].dx, p[2].dx, p[3].dx},
          dy{p[0].dy, p[1].dy, p[2].dy, p[3].dy} {}

    Float4 At(float fx, float fy) const { return at + dx * Splat(fx) + dy * Splat(fy); }
    bool IsFlat() const {
        for (int c = 0; c < 4; ++c) {
            if (dx[c] != 0.0f || dy[c] != 0.0f) return false;
        }
        return true;
    }
};

bool IsFlat(const Plane& plane) { return plane.dx == 0.0f && plane.dy == 0.0f; }

int FirstPlaneOf(const VaryingSet& varyings, int slot) {
    for (int i = 0; i < varyings.count; ++i) {
        if (varyings.slots[i] == slot) return 4 * i;
    }
    return -1;
}

// ==== Texturing, chosen per draw ====

struct Untextured {
    static constexpr bool kSamples = false;
};
struct PointTextured {
    static constexpr bool kSamples = true;
    static Float4 Sample(const SpanSampler& s, float u, float v) { return s.Point(u, v); }
};
struct LinearTextured {
    static constexpr bool kSamples = true;
    static Float4 Sample(const SpanSampler& s, float u, float v) { return s.Linear(u, v); }
};

bool Reads(const StageProducts& products, StageRegister r) {
    return products.colour[0] == r || products.colour[1] == r || products.alpha[0] == r || products.alpha[1] == r;
}

// ==== Depth: D24S8 and D24X8 keep it in the upper 24 bits ====

DWORD LoadDword(const BYTE* at) {
    DWORD value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void StoreDword(BYTE* at, DWORD value) { std::memcpy(at, &value, sizeof value); }

bool IsD24(const Surface* depth) {
    const D3DFORMAT format = depth->Description().Format;
    return format == D3DFMT_D24S8 || format == D3DFMT_D24X8;
}

// ==== Blending into B, G, R, A bytes ====

// The factors a blend may use, by index.
enum BlendFactorIndex : uint8_t {
    kZero,
    kOne,
    kSourceAlpha,
    kInverseSourceAlpha,
    kDestinationAlpha,
    kInverseDestinationAlpha,
};

std::optional<uint8_t> FactorIndex(DWORD factor) {
    switch (factor) {
        case D3DBLEND_ZERO: return kZero;
        case D3DBLEND_ONE: return kOne;
        case D3DBLEND_SRCALPHA:
        case D3DBLEND_BOTHSRCALPHA: return kSourceAlpha;
        case D3DBLEND_INVSRCALPHA:
        case D3DBLEND_BOTHINVSRCALPHA: return kInverseSourceAlpha;
        case D3DBLEND_DESTALPHA: return kDestinationAlpha;
        case D3DBLEND_INVDESTALPHA: return kInverseDestinationAlpha;
        default: return std::nullopt;
    }
}

// Byte b of an 8-bit channel as the format readers decode it: b / 255.0f.
const std::array<float, 256> kUnorm8 = [] {
    std::array<float, 256> values{};
    for (int b = 0; b < 256; ++b) values[size_t(b)] = float(b) / 255.0f;
    return values;
}();

bool IsArgb8(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

// X8R8G8B8 reads its alpha as 1.
Float4 ReadTarget(const BYTE* texel, bool hasAlpha) {
    return Float4{kUnorm8[texel[2]], kUnorm8[texel[1]], kUnorm8[texel[0]], hasAlpha ? kUnorm8[texel[3]] : 1.0f};
}

// Each channel as BYTE(saturate(c) * 255 + 0.5), the format writers' rounding.
void WriteTarget(BYTE* texel, Float4 colour) {
    const Int4 bytes = __builtin_convertvector(Saturate(colour) * Splat(255.0f) + Splat(0.5f), Int4);
    texel[0] = BYTE(bytes[2]);
    texel[1] = BYTE(bytes[1]);
    texel[2] = BYTE(bytes[0]);
    texel[3] = BYTE(bytes[3]);
}

struct Blender {
    uint8_t source, destination;

    Float4 operator()(Float4 s, Float4 d) const {
        const float factors[] = {0.0f, 1.0f, s[3], 1.0f - s[3], d[3], 1.0f - d[3]};
        return s * Splat(factors[source]) + d * Splat(factors[destination]);
    }
};

}  // namespace

// ==== Choosing ====

std::optional<FastSpans> FastSpans::Choose(const VaryingSet& varyings, const TextureStages& stages,
                                           const OutputMerger& merger) {
    const std::optional<StageProducts> products = stages.SingleStageProducts();
    const D3DFORMAT format = merger.Target().Description().Format;
    if (!products || merger.WriteMask() != kWriteAll || !IsArgb8(format)) return std::nullopt;
    if (merger.DepthTarget() && !IsD24(merger.DepthTarget())) return std::nullopt;
    FastSpans spans(merger);
    spans.m_depth = merger.DepthTarget();
    spans.m_depthFunction = merger.DepthFunction();
    spans.m_writesDepth = merger.WritesDepth();
    spans.m_testsAlpha = merger.TestsAlpha();
    spans.m_targetHasAlpha = format == D3DFMT_A8R8G8B8;
    spans.m_products = *products;
    spans.m_textureFactor = stages.TextureFactor();
    spans.m_diffusePlane = FirstPlaneOf(varyings, 0);
    if (spans.m_diffusePlane < 0 || !spans.ChooseBlending(merger.Blending())) return std::nullopt;
    if (!spans.ChooseTexturing(varyings, stages)) return std::nullopt;
    return spans;
}

bool FastSpans::ChooseBlending(const BlendSetup& blending) {
    m_blend = blending.enabled;
    if (!m_blend) return true;
    const auto source = FactorIndex(blending.source);
    const auto destination = FactorIndex(blending.destination);
    if (blending.op != D3DBLENDOP_ADD || !source || !destination) return false;
    m_sourceFactor = *source;
    m_destinationFactor = *destination;
    return true;
}

bool FastSpans::ChooseTexturing(const VaryingSet& varyings, const TextureStages& stages) {
    if (!Reads(m_products, StageRegister::Texture)) {
        m_shade = &ShadeWith<Untextured>;
        return true;
    }
    const SamplerState& state = stages.SamplerStateAt(0);
    m_texcoordPlane = FirstPlaneOf(varyings, stages.TexcoordSlot(0));
    if (!stages.SnapshotAt(0) || !SpanSampler::Handles(state) || m_texcoordPlane < 0) return false;
    m_sampler.emplace(*stages.SnapshotAt(0), state);
    m_shade = state.magFilter == D3DTEXF_LINEAR ? &ShadeWith<LinearTextured> : &ShadeWith<PointTextured>;
    return true;
}

// ==== Shading ====

// Depth is tested before shading and written only once the alpha test
// passed. Everything the loop reads is copied to locals first: the byte
// stores into the target could alias any member, forcing reloads.
// Flat planes are evaluated once per span: a flat depth plane gives every
// pixel the same depth, and a flat non-zero rhw the same w. With the same
// w, flat colour planes give every pixel the same colour; where a channel
// is zero only the sign of that zero could differ, which no byte shows.
template <class Sampling>
void FastSpans::ShadeWith(const FastSpans& spans, const Interpolants& planes, int y, int x0, int x1) {
    const OutputMerger& merger = *spans.m_merger;
    const float fy = float(y) - planes.originY;
    const bool flatDepth = IsFlat(planes.z), flatW = IsFlat(planes.rhw) && planes.rhw.at != 0.0f;
    BYTE* const depthRow = spans.m_depth ? spans.m_depth->Texel(0, UINT(y)) : nullptr;
    BYTE* const targetRow = merger.Target().Texel(0, UINT(y));
    const DWORD depthFunction = spans.m_depthFunction;
    const bool writesDepth = spans.m_writesDepth, testsAlpha = spans.m_testsAlpha, blends = spans.m_blend;
    const bool targetHasAlpha = spans.m_targetHasAlpha;
    DWORD depthBits = depthRow && flatDepth ? merger.DepthBitsOf(planes.z.At(0.0f, fy)) : 0;
    const Planes4 diffuse(&planes.varyings[size_t(spans.m_diffusePlane)]);
    const bool flatDiffuse = flatW && diffuse.IsFlat();
    const float spanW = flatW ? 1.0f / planes.rhw.at : 0.0f;
    const Float4 spanDiffuse = diffuse.At(0.0f, fy) * Splat(spanW);
    const Plane* uv = &planes.varyings[size_t(spans.m_texcoordPlane)];
    const StageProducts products = spans.m_products;
    const Blender blend{spans.m_sourceFactor, spans.m_destinationFactor};
    const std::optional<SpanSampler> sampler = spans.m_sampler;
    std::array<Float4, 4> registers{Splat(1.0f), spanDiffuse, Splat(1.0f), ToFloat4(spans.m_textureFactor)};
    for (int x = x0; x < x1; ++x) {
        const float fx = float(x) - planes.originX;
        BYTE* const depthTexel = depthRow ? depthRow + 4 * x : nullptr;
        if (depthTexel) {
            if (!flatDepth) depthBits = merger.DepthBitsOf(planes.z.At(fx, fy));
            if (!Compare(depthFunction, depthBits, LoadDword(depthTexel) >> 8)) continue;
        }
        const float w = flatW ? spanW : 1.0f / planes.rhw.At(fx, fy);
        if (!flatDiffuse) registers[size_t(StageRegister::Diffuse)] = diffuse.At(fx, fy) * Splat(w);
        if constexpr (Sampling::kSamples) {
            const float u = uv[0].At(fx, fy) * w, v = uv[1].At(fx, fy) * w;
            registers[size_t(StageRegister::Texture)] = Sampling::Sample(*sampler, u, v);
        }
        Float4 colour = registers[size_t(products.colour[0])] * registers[size_t(products.colour[1])];
        colour[3] = registers[size_t(products.alpha[0])][3] * registers[size_t(products.alpha[1])][3];
        if (testsAlpha && !merger.AlphaPasses(colour[3])) continue;
        if (writesDepth) StoreDword(depthTexel, (LoadDword(depthTexel) & 0xFF) | (depthBits << 8));
        BYTE* const texel = targetRow + 4 * x;
        colour = Saturate(colour);
        WriteTarget(texel, blends ? blend(colour, ReadTarget(texel, targetHasAlpha)) : colour);
    }
}

}  // namespace swdevice::detail
