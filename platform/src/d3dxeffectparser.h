// Reading HLSL effect text into a description: global parameters with their
// defaults, sampler states, techniques, passes and the shader function each
// pass compiles. Function and struct bodies are skipped; their functions run
// natively. The text is untrusted: the limits below bound the work, and any
// unexpected construct is a clean error, never a crash.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/d3dxeffect.h"
#include "platform/texturesampler.h"

namespace effectparser {

// Limits on effect text; real effects are a few kilobytes with a dozen
// parameters and a handful of techniques.
constexpr std::size_t kMaxTextBytes = 1u << 20;     // keeps tokenising bounded
constexpr std::size_t kMaxTokens = 1u << 18;        // bounds the token vector
constexpr std::size_t kMaxParameters = 256;         // handle lookups are linear
constexpr std::size_t kMaxTechniques = 64;
constexpr std::size_t kMaxPassesPerTechnique = 16;
constexpr std::size_t kMaxNestingDepth = 64;        // bracket nesting in skipped bodies
constexpr std::size_t kMaxNameLength = 256;

struct Parameter {
    std::string name;
    std::string semantic;
    D3DXPARAMETER_CLASS parameterClass = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    UINT rows = 1;
    UINT columns = 1;
    std::array<float, 16> defaults{};  // rows x columns, row by row
    // Samplers only: the texture parameter of "Texture = <Name>" ("" = none).
    std::string samplerTexture;
    SamplerState samplerState;

    bool IsNumeric() const { return parameterClass != D3DXPC_OBJECT; }
    bool IsTexture() const { return type >= D3DXPT_TEXTURE && type <= D3DXPT_TEXTURECUBE; }
    bool IsSampler() const { return type >= D3DXPT_SAMPLER && type <= D3DXPT_SAMPLERCUBE; }
    UINT ValueCount() const { return rows * columns; }
};

// A stage's "compile <profile> <function>()" ("" when the pass leaves it unset).
struct ShaderBinding {
    std::string profile;
    std::string function;
    int line = 0;
};

struct Pass {
    std::string name;
    ShaderBinding vertexShader;
    ShaderBinding pixelShader;
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
};

struct EffectDescription {
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
    std::vector<std::string> functions;  // defined in the text, in order
};

// Fills description, or returns false with a one-line error text of the
// form "effect(line): error: message".
bool ParseEffect(const char* text, std::size_t length, EffectDescription& description, std::string& error);

}  // namespace effectparser
