// The fixed-function texture stages 0 and 1: each combines its arguments
// (texture, diffuse, texture factor, current) by its colour and alpha
// operations, as D3D9's texture blending cascade does.
#pragma once

#include <optional>

#include "platform/texturesampler.h"
#include "swdevice_drawcall.h"
#include "swdevice_rastertypes.h"

namespace swdevice::detail {

constexpr int kFixedFunctionStages = 2;

class SpanTexture;

struct StageTextures {
    std::array<const TextureSampler*, kFixedFunctionStages> samplers{};  // null: no texture bound
    std::array<const SpanTexture*, kFixedFunctionStages> snapshots{};  // null: none taken or none possible
};

// What a one-stage product reads.
enum class StageRegister : uint8_t { White, Diffuse, Texture, Factor };

// A stage whose colour is colour[0].rgb × colour[1].rgb and whose alpha is
// alpha[0].a × alpha[1].a. Texture stands for a sampled texture only.
struct StageProducts {
    std::array<StageRegister, 2> colour;
    std::array<StageRegister, 2> alpha;
};

class TextureStages {
public:
    TextureStages(const DrawCall& call, const StageTextures& textures);

    // Stages in use: those before the first whose colour operation is DISABLE.
    int ActiveStages() const { return m_activeStages; }
    // The varying slot holding the stage's texture coordinates, or -1 when it samples nothing.
    int TexcoordSlot(int stage) const { return m_stages[stage].texcoordSlot; }
    // Whether sampling depends on the footprint (minification or mip levels).
    bool NeedsFootprint(int stage) const { return m_stages[stage].needsFootprint; }

    D3DXVECTOR4 Combine(const PixelInput& in, const std::array<float, kFixedFunctionStages>& footprints) const;

    // Stage 0 as products when it is the only stage and its arguments are
    // diffuse, current, texture, factor or unkept registers without modifiers.
    std::optional<StageProducts> SingleStageProducts() const;
    const SamplerState& SamplerStateAt(int stage) const { return m_stages[stage].samplerState; }
    const SpanTexture* SnapshotAt(int stage) const { return m_stages[stage].snapshot; }
    const D3DXVECTOR4& TextureFactor() const { return m_textureFactor; }

private:
    struct Stage {
        DWORD colorOp, colorArg1, colorArg2;
        DWORD alphaOp, alphaArg1, alphaArg2;
        int texcoordSlot;
        bool needsFootprint;
        const TextureSampler* sampler;
        SamplerState samplerState;
        const SpanTexture* snapshot;
    };

    struct Registers;
    D3DXVECTOR4 Argument(DWORD argument, const Registers& registers) const;
    D3DXVECTOR4 RunStage(const Stage& stage, const PixelInput& in, float footprint, const D3DXVECTOR4& current) const;

    std::array<Stage, kFixedFunctionStages> m_stages{};
    int m_activeStages = 0;
    D3DXVECTOR4 m_textureFactor;
};

// The sampler states of a sampler as TextureSampler takes them.
SamplerState SamplerStateOf(const PipelineStates& states, UINT sampler);

}  // namespace swdevice::detail
