#include "swdevice_texturestages.h"

namespace swdevice::detail {

namespace {

const D3DXVECTOR4 kOpaqueWhite(1, 1, 1, 1);

D3DXVECTOR4 Modulate(const D3DXVECTOR4& a, const D3DXVECTOR4& b) {
    return D3DXVECTOR4(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}

// The operations the libraries use; any other combines as MODULATE, the default.
D3DXVECTOR4 Operate(DWORD op, const D3DXVECTOR4& arg1, const D3DXVECTOR4& arg2) {
    switch (op) {
        case D3DTOP_SELECTARG1: return arg1;
        case D3DTOP_SELECTARG2: return arg2;
        default: return Modulate(arg1, arg2);
    }
}

bool ReadsTexture(DWORD argument) { return (argument & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

constexpr DWORD kModifiers = D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;

// Every register an argument can select except the specular colour, which
// the fixed-function pipeline does not interpolate.
std::optional<StageRegister> FirstStageRegister(DWORD argument, bool sampling) {
    if (argument & kModifiers) return std::nullopt;
    switch (argument & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
        case D3DTA_CURRENT: return StageRegister::Diffuse;
        case D3DTA_TEXTURE: return sampling ? StageRegister::Texture : StageRegister::White;
        case D3DTA_TFACTOR: return StageRegister::Factor;
        case D3DTA_SPECULAR: return std::nullopt;
        default: return StageRegister::White;
    }
}

// SELECTARG multiplies by white, which leaves every float as it was.
std::optional<std::array<StageRegister, 2>> Product(DWORD op, DWORD arg1, DWORD arg2, bool sampling) {
    const auto first = FirstStageRegister(arg1, sampling);
    const auto second = FirstStageRegister(arg2, sampling);
    if (op == D3DTOP_SELECTARG1 && first) return std::array{*first, StageRegister::White};
    if (op == D3DTOP_SELECTARG2 && second) return std::array{StageRegister::White, *second};
    if (op == D3DTOP_SELECTARG1 || op == D3DTOP_SELECTARG2 || !first || !second) return std::nullopt;
    return std::array{*first, *second};
}

D3DXVECTOR4 ColourFromDword(DWORD c) {
    const float k = 1.0f / 255.0f;
    return D3DXVECTOR4(((c >> 16) & 0xFF) * k, ((c >> 8) & 0xFF) * k, (c & 0xFF) * k, (c >> 24) * k);
}

}  // namespace

SamplerState SamplerStateOf(const PipelineStates& states, UINT sampler) {
    const auto& s = states.sampler[sampler];
    SamplerState state;
    state.minFilter = D3DTEXTUREFILTERTYPE(s[D3DSAMP_MINFILTER]);
    state.magFilter = D3DTEXTUREFILTERTYPE(s[D3DSAMP_MAGFILTER]);
    state.mipFilter = D3DTEXTUREFILTERTYPE(s[D3DSAMP_MIPFILTER]);
    state.addressU = D3DTEXTUREADDRESS(s[D3DSAMP_ADDRESSU]);
    state.addressV = D3DTEXTUREADDRESS(s[D3DSAMP_ADDRESSV]);
    state.borderColor = s[D3DSAMP_BORDERCOLOR];
    return state;
}

struct TextureStages::Registers {
    D3DXVECTOR4 diffuse;
    D3DXVECTOR4 specular;
    D3DXVECTOR4 current;
    D3DXVECTOR4 texture;
};

TextureStages::TextureStages(const DrawCall& call, const StageTextures& textures)
    : m_textureFactor(ColourFromDword(call.record.states.render[D3DRS_TEXTUREFACTOR])) {
    const PipelineStates& states = call.record.states;
    for (int i = 0; i < kFixedFunctionStages; ++i) {
        const auto& s = states.textureStage[i];
        if (s[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        Stage& stage = m_stages[i];
        stage = {s[D3DTSS_COLOROP], s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2], s[D3DTSS_ALPHAOP],
                 s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2], -1, false,
                 textures.samplers[i], SamplerStateOf(states, i), textures.snapshots[i]};
        const bool readsTexture = ReadsTexture(stage.colorArg1) || ReadsTexture(stage.colorArg2) ||
                                  ReadsTexture(stage.alphaArg1) || ReadsTexture(stage.alphaArg2);
        if (readsTexture && stage.sampler) stage.texcoordSlot = kTexcoordSlot + int(s[D3DTSS_TEXCOORDINDEX] & 7);
        stage.needsFootprint = stage.samplerState.minFilter != stage.samplerState.magFilter ||
                               stage.samplerState.mipFilter != D3DTEXF_NONE;
        m_activeStages = i + 1;
    }
}

// D3DTA_TEMP and D3DTA_CONSTANT are not kept; they read as opaque white.
D3DXVECTOR4 TextureStages::Argument(DWORD argument, const Registers& registers) const {
    D3DXVECTOR4 value;
    switch (argument & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: value = registers.diffuse; break;
        case D3DTA_CURRENT: value = registers.current; break;
        case D3DTA_TEXTURE: value = registers.texture; break;
        case D3DTA_TFACTOR: value = m_textureFactor; break;
        case D3DTA_SPECULAR: value = registers.specular; break;
        default: value = kOpaqueWhite; break;
    }
    if (argument & D3DTA_COMPLEMENT) value = kOpaqueWhite - value;
    if (argument & D3DTA_ALPHAREPLICATE) value = D3DXVECTOR4(value.w, value.w, value.w, value.w);
    return value;
}

// A stage without a texture reads its texture argument as opaque white, so
// the default MODULATE of an untextured draw shows the diffuse colour.
D3DXVECTOR4 TextureStages::RunStage(const Stage& stage, const PixelInput& in, float footprint,
                                    const D3DXVECTOR4& current) const {
    Registers registers{in.color[0], in.color[1], current, kOpaqueWhite};
    if (stage.texcoordSlot >= 0) {
        const D3DXVECTOR4& uv = in.texcoord[stage.texcoordSlot - kTexcoordSlot];
        registers.texture = stage.sampler->Sample(stage.samplerState, uv.x, uv.y, footprint);
    }
    const D3DXVECTOR4 colour = Operate(stage.colorOp, Argument(stage.colorArg1, registers),
                                       Argument(stage.colorArg2, registers));
    if (stage.alphaOp == D3DTOP_DISABLE) return D3DXVECTOR4(colour.x, colour.y, colour.z, current.w);
    const D3DXVECTOR4 alpha = Operate(stage.alphaOp, Argument(stage.alphaArg1, registers),
                                      Argument(stage.alphaArg2, registers));
    return D3DXVECTOR4(colour.x, colour.y, colour.z, alpha.w);
}

D3DXVECTOR4 TextureStages::Combine(const PixelInput& in,
                                   const std::array<float, kFixedFunctionStages>& footprints) const {
    D3DXVECTOR4 current = in.color[0];
    for (int i = 0; i < m_activeStages; ++i) current = RunStage(m_stages[i], in, footprints[i], current);
    return current;
}

// A disabled alpha operation keeps the current alpha: the diffuse alpha in stage 0.
std::optional<StageProducts> TextureStages::SingleStageProducts() const {
    if (m_activeStages != 1) return std::nullopt;
    const Stage& stage = m_stages[0];
    const bool sampling = stage.texcoordSlot >= 0;
    const auto colour = Product(stage.colorOp, stage.colorArg1, stage.colorArg2, sampling);
    const auto alpha = stage.alphaOp == D3DTOP_DISABLE
                           ? std::optional(std::array{StageRegister::Diffuse, StageRegister::White})
                           : Product(stage.alphaOp, stage.alphaArg1, stage.alphaArg2, sampling);
    if (!colour || !alpha) return std::nullopt;
    return StageProducts{*colour, *alpha};
}

}  // namespace swdevice::detail
