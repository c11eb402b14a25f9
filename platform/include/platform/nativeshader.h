// Native shader functions: the C++ implementations that stand in for the
// HLSL functions an effect pass compiles.
//
// A library registers its functions by their HLSL names when it loads (a
// NativeShaderRegistrar at namespace scope). Creating an effect binds each
// pass's "compile vs_x_y Name()" / "compile ps_x_y Name()" to the function
// registered under Name; the rasteriser then runs the vertex function once
// per vertex and the pixel function once per pixel. Names are process-wide,
// so every library keeps its function names unique.
#pragma once

#include "platform/d3dxmath.h"
#include "platform/export.h"
#include "platform/wintypes.h"

struct IDirect3DBaseTexture9;

// Vertex stage input, filled from the vertex stream by semantic. Unused
// registers hold (0, 0, 0, 1) for colours and positions, 0 otherwise.
struct VertexInput {
    D3DXVECTOR4 position;     // POSITION, w = 1 for three-component positions
    D3DXVECTOR4 normal;       // NORMAL
    D3DXVECTOR4 color[2];     // COLOR0 (diffuse), COLOR1 (specular), in [0, 1]
    D3DXVECTOR4 texcoord[8];  // TEXCOORD0..7
    float pointSize;          // PSIZE
};

// Vertex stage output; the rasteriser interpolates it into PixelInput.
struct VertexOutput {
    D3DXVECTOR4 position;  // clip space, before the divide by w
    D3DXVECTOR4 color[2];
    D3DXVECTOR4 texcoord[8];
    float fog;
    float pointSize;
};

struct PixelInput {
    D3DXVECTOR4 position;  // VPOS: x, y in pixels, z depth, w = 1 / clip w
    D3DXVECTOR4 color[2];
    D3DXVECTOR4 texcoord[8];
    // log2 of the largest texture-coordinate change across one pixel: with
    // the texture's size it gives the mip level. Very negative = magnified.
    float footprintLog2 = -128.0f;
};

// What a shader function sees of its effect: the current parameter values
// by name and its samplers. Unknown names read as zero; a sampler without a
// texture reads (0, 0, 0, 1), as an unbound stage does.
class PLATFORM_API ShaderContext {
public:
    virtual float Float(const char* name) const = 0;
    // Scalars and vectors; missing components are 0.
    virtual D3DXVECTOR4 Vector(const char* name) const = 0;
    virtual D3DXMATRIX Matrix(const char* name) const = 0;
    // tex2D: the sampler's texture at (u, v) with its filtering and addressing.
    virtual D3DXVECTOR4 Sample(const char* sampler, float u, float v, float footprintLog2) const = 0;

protected:
    ~ShaderContext() = default;
};

// The caller zero-initialises the output; a function writes the registers
// its HLSL function writes.
typedef void (*NativeVertexShader)(const ShaderContext& context, const VertexInput& in, VertexOutput& out);
typedef void (*NativePixelShader)(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour);

// One registry row: exactly one of the two functions is set.
struct NativeShaderEntry {
    const char* name;
    NativeVertexShader vertexShader;
    NativePixelShader pixelShader;
};

// False when the name is taken (the first registration stays) or the entry
// is malformed.
PLATFORM_API bool RegisterNativeShader(const NativeShaderEntry& entry);
PLATFORM_API void UnregisterNativeShader(const char* name);
// Null when no function of that stage is registered under the name.
PLATFORM_API NativeVertexShader FindNativeVertexShader(const char* name);
PLATFORM_API NativePixelShader FindNativePixelShader(const char* name);

// Registers a table (ending with a null name) for the registrar's lifetime,
// so that a library's functions leave the registry when it unloads.
class PLATFORM_API NativeShaderRegistrar {
public:
    explicit NativeShaderRegistrar(const NativeShaderEntry* table);
    ~NativeShaderRegistrar();
    NativeShaderRegistrar(const NativeShaderRegistrar&) = delete;
    NativeShaderRegistrar& operator=(const NativeShaderRegistrar&) = delete;

private:
    const NativeShaderEntry* m_table;
};

// The shader context of an effect created by D3DXCreateEffect*, or null for
// any other object. It lives as long as the effect.
struct ID3DXEffect;
PLATFORM_API const ShaderContext* GetEffectShaderContext(ID3DXEffect* effect);
