#include "swdevice_state.h"

#include <algorithm>
#include <cstring>

namespace swdevice::detail {

namespace {

// Not in our d3d9types.h yet; the SDK's D3DDEGREE_LINEAR and D3DDEGREE_CUBIC.
constexpr DWORD kDegreeLinear = 1;
constexpr DWORD kDegreeCubic = 3;
constexpr UINT kTransformSlots = 512;  // the world matrices end at D3DTS_WORLDMATRIX(255)

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct StateDefault {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// Every render state whose documented default is not zero.
const StateDefault kRenderDefaults[] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_FOGEND, FloatBits(1.0f)},
    {D3DRS_FOGDENSITY, FloatBits(1.0f)},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILMASK, 0xFFFFFFFF},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_POINTSIZE, FloatBits(1.0f)},
    {D3DRS_POINTSIZE_MIN, FloatBits(1.0f)},
    {D3DRS_POINTSCALE_A, FloatBits(1.0f)},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},
    {D3DRS_POINTSIZE_MAX, FloatBits(64.0f)},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_POSITIONDEGREE, kDegreeCubic},
    {D3DRS_NORMALDEGREE, kDegreeLinear},
    {D3DRS_MINTESSELLATIONLEVEL, FloatBits(1.0f)},
    {D3DRS_MAXTESSELLATIONLEVEL, FloatBits(1.0f)},
    {D3DRS_ADAPTIVETESS_Z, FloatBits(1.0f)},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0xF},
    {D3DRS_COLORWRITEENABLE2, 0xF},
    {D3DRS_COLORWRITEENABLE3, 0xF},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFF},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
};

void FillTextureStageDefaults(PipelineStates& states) {
    for (DWORD stage = 0; stage < kTextureStages; ++stage) {
        auto& s = states.textureStage[stage];
        s.fill(0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_COLORARG0] = s[D3DTSS_ALPHAARG0] = s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
    }
}

void FillSamplerDefaults(PipelineStates& states) {
    for (auto& s : states.sampler) {
        s.fill(0);
        s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        s[D3DSAMP_MAXANISOTROPY] = 1;
    }
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool IsTransformState(D3DTRANSFORMSTATETYPE state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) || (state >= 256 && state < kTransformSlots);
}

// The texture-stage and sampler tables start at 1; 0 is not a state.
bool IsTableIndex(DWORD index, size_t tableSize) { return index > 0 && index < tableSize; }

}  // namespace

DeviceState::DeviceState() : m_transforms(kTransformSlots) { ResetToDefaults(false, D3DVIEWPORT9{}); }

void DeviceState::ResetToDefaults(bool hasAutoDepthStencil, const D3DVIEWPORT9& viewport) {
    m_states.render.fill(0);
    for (const StateDefault& d : kRenderDefaults) m_states.render[d.state] = d.value;
    m_states.render[D3DRS_ZENABLE] = hasAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    FillTextureStageDefaults(m_states);
    FillSamplerDefaults(m_states);
    std::fill(m_transforms.begin(), m_transforms.end(), Identity());
    m_viewport = viewport;
    m_material = D3DMATERIAL9{};
}

// Any value below D3D_MAX_RENDERSTATES is stored, as the runtime ignores
// unknown states rather than failing; beyond the table it is refused.
HRESULT DeviceState::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    if (DWORD(State) >= m_states.render.size()) return D3DERR_INVALIDCALL;
    m_states.render[State] = Value;
    return D3D_OK;
}

HRESULT DeviceState::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) const {
    if (!pValue || DWORD(State) >= m_states.render.size()) return D3DERR_INVALIDCALL;
    *pValue = m_states.render[State];
    return D3D_OK;
}

HRESULT DeviceState::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    if (Stage >= kTextureStages || !IsTableIndex(Type, kTextureStageStateCount)) return D3DERR_INVALIDCALL;
    m_states.textureStage[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT DeviceState::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) const {
    if (!pValue || Stage >= kTextureStages || !IsTableIndex(Type, kTextureStageStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    *pValue = m_states.textureStage[Stage][Type];
    return D3D_OK;
}

HRESULT DeviceState::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    if (Sampler >= kSamplers || !IsTableIndex(Type, kSamplerStateCount)) return D3DERR_INVALIDCALL;
    m_states.sampler[Sampler][Type] = Value;
    return D3D_OK;
}

HRESULT DeviceState::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) const {
    if (!pValue || Sampler >= kSamplers || !IsTableIndex(Type, kSamplerStateCount)) return D3DERR_INVALIDCALL;
    *pValue = m_states.sampler[Sampler][Type];
    return D3D_OK;
}

HRESULT DeviceState::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    if (!pMatrix || !IsTransformState(State)) return D3DERR_INVALIDCALL;
    m_transforms[State] = *pMatrix;
    return D3D_OK;
}

HRESULT DeviceState::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) const {
    if (!pMatrix || !IsTransformState(State)) return D3DERR_INVALIDCALL;
    *pMatrix = m_transforms[State];
    return D3D_OK;
}

HRESULT DeviceState::SetMaterial(const D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    m_material = *pMaterial;
    return D3D_OK;
}

HRESULT DeviceState::GetMaterial(D3DMATERIAL9* pMaterial) const {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = m_material;
    return D3D_OK;
}

HRESULT DeviceState::SetViewport(const D3DVIEWPORT9* pViewport, UINT targetWidth, UINT targetHeight) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT9& v = *pViewport;
    const bool fits = v.Width > 0 && v.Height > 0 && uint64_t(v.X) + v.Width <= targetWidth &&
                      uint64_t(v.Y) + v.Height <= targetHeight;
    if (!fits || !(v.MinZ >= 0.0f && v.MinZ <= v.MaxZ && v.MaxZ <= 1.0f)) return D3DERR_INVALIDCALL;
    m_viewport = v;
    return D3D_OK;
}

HRESULT DeviceState::GetViewport(D3DVIEWPORT9* pViewport) const {
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = m_viewport;
    return D3D_OK;
}

void DeviceState::ResetViewport(UINT targetWidth, UINT targetHeight) {
    m_viewport = D3DVIEWPORT9{0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
}

}  // namespace swdevice::detail

