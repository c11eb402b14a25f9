// The texture the fast span loops sample: a float copy of a texture's top
// level, and inline point and linear magnification for wrapped and clamped
// addressing. Both filters do TextureSampler's arithmetic step for step, so
// the two agree to the bit wherever the fast loops are chosen.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/texturesampler.h"
#include "swdevice_float4.h"

namespace swdevice::detail {

class Texture;

class SpanTexture {
public:
    // False, and empty, when the top level has no colour decoder.
    bool Attach(const Texture& texture);

    long Width() const { return m_width; }
    long Height() const { return m_height; }
    const Float4& At(long column, long row) const { return m_texels[size_t(row) * size_t(m_width) + size_t(column)]; }

private:
    long m_width = 0;
    long m_height = 0;
    std::vector<Float4> m_texels;  // decoded, rows packed without padding
};

// One draw's view of a SpanTexture: its addressing and magnification filter.
class SpanSampler {
public:
    // Whether the fast loops can sample with these states: wrap or clamp
    // addressing, and magnification whatever the footprint.
    static bool Handles(const SamplerState& state);

    SpanSampler(const SpanTexture& texture, const SamplerState& state)
        : m_texture(&texture),
          m_wrapU(state.addressU == D3DTADDRESS_WRAP),
          m_wrapV(state.addressV == D3DTADDRESS_WRAP) {}

    Float4 Point(float u, float v) const {
        return Texel(FloorIndex(u * float(m_texture->Width())), FloorIndex(v * float(m_texture->Height())));
    }

    // Texel centres sit at (i + 0.5) / size; each tap is addressed on its
    // own, unless all four lie inside the texture.
    Float4 Linear(float u, float v) const {
        const Axis x = Split(u * float(m_texture->Width()) - 0.5f);
        const Axis y = Split(v * float(m_texture->Height()) - 0.5f);
        if (x.index >= 0 && x.index + 1 < m_texture->Width() && y.index >= 0 && y.index + 1 < m_texture->Height()) {
            const Float4* top = &m_texture->At(x.index, y.index);
            const Float4* bottom = top + m_texture->Width();
            return Lerp(Lerp(top[0], top[1], x.fraction), Lerp(bottom[0], bottom[1], x.fraction), y.fraction);
        }
        const Float4 top = Lerp(Texel(x.index, y.index), Texel(x.index + 1, y.index), x.fraction);
        const Float4 bottom = Lerp(Texel(x.index, y.index + 1), Texel(x.index + 1, y.index + 1), x.fraction);
        return Lerp(top, bottom, y.fraction);
    }

private:
    static constexpr float kIndexLimit = float(1 << 30);

    // Positive coordinates below the limit truncate to their floor, which
    // saves the general floor; zeros keep the general path, so that a zero
    // fraction keeps the sign it had there.
    static bool Truncates(float coordinate) { return coordinate > 0.0f && coordinate < kIndexLimit; }

    // Non-finite and far-out coordinates are pinned so the conversion stays defined.
    static long FloorIndex(float coordinate) {
        if (Truncates(coordinate)) return long(coordinate);
        if (!std::isfinite(coordinate)) return 0;
        return long(std::floor(std::clamp(coordinate, -kIndexLimit, kIndexLimit)));
    }

    // A coordinate's texel index and the fraction past it, from one floor:
    // clamping to whole limits commutes with floor.
    struct Axis {
        long index;
        float fraction;
    };
    static Axis Split(float coordinate) {
        if (Truncates(coordinate)) {
            const long index = long(coordinate);
            return {index, coordinate - float(index)};
        }
        if (!std::isfinite(coordinate)) return {0, 0.0f};
        const float whole = std::floor(coordinate);
        return {long(std::clamp(whole, -kIndexLimit, kIndexLimit)), coordinate - whole};
    }

    static long Address(bool wrap, long i, long size) {
        if (i >= 0 && i < size) return i;
        return wrap ? ((i % size) + size) % size : std::clamp(i, 0L, size - 1);
    }

    static Float4 Lerp(Float4 a, Float4 b, float t) { return a + (b - a) * Splat(t); }

    Float4 Texel(long x, long y) const {
        return m_texture->At(Address(m_wrapU, x, m_texture->Width()), Address(m_wrapV, y, m_texture->Height()));
    }

    const SpanTexture* m_texture;
    bool m_wrapU;
    bool m_wrapV;
};

}  // namespace swdevice::detail
