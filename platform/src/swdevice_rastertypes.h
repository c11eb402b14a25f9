// What the stages of the rasteriser hand each other: screen-space vertices
// and primitives, the varyings a draw interpolates, planes for
// interpolation, and the rectangle of pixels a draw may touch.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/nativeshader.h"

namespace swdevice::detail {

// The interpolated four-component registers of VertexOutput and PixelInput:
// slots 0 and 1 are the colours, 2 to 9 the texture coordinates.
constexpr int kVaryingSlots = 10;
constexpr int kTexcoordSlot = 2;

inline D3DXVECTOR4& Varying(VertexOutput& v, int slot) { return slot < 2 ? v.color[slot] : v.texcoord[slot - 2]; }
inline const D3DXVECTOR4& Varying(const VertexOutput& v, int slot) {
    return slot < 2 ? v.color[slot] : v.texcoord[slot - 2];
}
inline D3DXVECTOR4& Varying(PixelInput& p, int slot) { return slot < 2 ? p.color[slot] : p.texcoord[slot - 2]; }
inline const D3DXVECTOR4& Varying(const PixelInput& p, int slot) {
    return slot < 2 ? p.color[slot] : p.texcoord[slot - 2];
}

// The slots a draw interpolates, in increasing order.
struct VaryingSet {
    std::array<int, kVaryingSlots> slots{};
    int count = 0;

    void Add(int slot) {
        for (int i = 0; i < count; ++i) {
            if (slots[i] == slot) return;
        }
        slots[count++] = slot;
    }
};

// Sub-pixel precision of vertex positions: 8 bits, as D3D9 hardware uses.
constexpr int kSubpixelBits = 8;
constexpr float kSubpixelScale = float(1 << kSubpixelBits);

struct ScreenVertex {
    float x = 0, y = 0;  // pixels, on the sub-pixel grid; pixel centres are at integers
    float z = 0;         // depth after the viewport's MinZ..MaxZ mapping
    float rhw = 1;       // 1 / clip w
    float pointSize = 0;  // pixels, after scaling and clamping
    uint32_t attributes = 0;  // index of the VertexOutput with the vertex's varyings
};

enum class PrimitiveKind : uint8_t { Triangle, Line, Sprite };

struct Primitive {
    PrimitiveKind kind;
    std::array<uint32_t, 3> vertices;  // into the screen vertices; lines use 2, sprites 1
};

// Everything one draw produced for scan conversion.
struct ScreenGeometry {
    std::vector<VertexOutput> attributes;  // processed vertices, then vertices made by clipping
    std::vector<ScreenVertex> vertices;
    std::vector<Primitive> primitives;
};

// Half-open rectangle of pixels.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A linear function of the pixel position, relative to an origin.
struct Plane {
    float at = 0, dx = 0, dy = 0;
    float At(float x, float y) const { return at + dx * x + dy * y; }
};

// What a primitive interpolates across its pixels. Varyings hold value × rhw
// so that dividing by the interpolated rhw makes them perspective-correct.
struct Interpolants {
    float originX = 0, originY = 0;
    Plane z;
    Plane rhw;
    std::array<Plane, 4 * kVaryingSlots> varyings;  // four per slot of the draw's VaryingSet, in its order
};

}  // namespace swdevice::detail
