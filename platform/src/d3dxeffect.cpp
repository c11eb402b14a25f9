// The effect object: parameter storage, handles, techniques and passes, the
// pass binding to the device, and the shader context its native shaders read.
//
// Index
//   ==== Declarations ====
//   ==== Descriptions and handles ====
//   ==== Parameter values ====
//   ==== Techniques and passes ====
//   ==== Device ====
//   ==== Shader context ====
#include <algorithm>
#include <cstring>
#include <new>

#include "d3dxeffectobject.h"
#include "platform/d3d9iids.h"
#include "platform/texturesampler.h"
#include "swdevice_comobject.h"

const IID IID_ID3DXBaseEffect = {0x017C18AC, 0x103F, 0x4417, {0x8C, 0x51, 0x6B, 0xF6, 0xEF, 0x1E, 0x56, 0xBE}};
const IID IID_ID3DXEffect = {0xF6CEB4B3, 0x4E4C, 0x40DD, {0xB8, 0x83, 0x8D, 0x8D, 0xE5, 0xEA, 0x0C, 0xD5}};

template <>
bool swdevice::detail::IsInInterfaceChain<ID3DXEffect>(REFIID riid) {
    for (const IID* iid : {&IID_IUnknown, &IID_ID3DXBaseEffect, &IID_ID3DXEffect}) {
        if (std::memcmp(&riid, iid, sizeof(IID)) == 0) return true;
    }
    return false;
}

namespace {

using effectparser::EffectDescription;
using effectparser::Parameter;
using effectparser::Pass;
using effectparser::Technique;

// ==== Declarations ====

constexpr int kNone = -1;

class D3DXEffect;

// What the device sees of the pass between BeginPass and EndPass.
class PassBinding final : public IEffectPassBinding {
public:
    explicit PassBinding(const D3DXEffect& effect) : m_effect(effect) {}
    void Set(const Technique& technique, UINT index) {
        m_technique = &technique;
        m_index = index;
    }

    const char* TechniqueName() const override { return m_technique->name.c_str(); }
    UINT PassIndex() const override { return m_index; }
    const char* VertexShaderName() const override { return CurrentPass().vertexShader.function.c_str(); }
    const char* PixelShaderName() const override { return CurrentPass().pixelShader.function.c_str(); }
    const D3DXEffect& Effect() const { return m_effect; }

private:
    const Pass& CurrentPass() const { return m_technique->passes[m_index]; }

    const D3DXEffect& m_effect;
    const Technique* m_technique = nullptr;
    UINT m_index = 0;
};

// Every numeric value is kept as a float, whatever its declared type; int
// and bool parameters convert on the way in and out, as in D3DX.
class D3DXEffect final : public swdevice::detail::ComObject<ID3DXEffect>, public ShaderContext {
public:
    D3DXEffect(IDirect3DDevice9* device, EffectDescription description);
    ~D3DXEffect() override;

    HRESULT GetDesc(D3DXEFFECT_DESC* pDesc) override;
    HRESULT GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) override;
    HRESULT GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) override;
    HRESULT GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) override;
    D3DXHANDLE GetParameter(D3DXHANDLE hParameter, UINT Index) override;
    D3DXHANDLE GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) override;
    D3DXHANDLE GetTechnique(UINT Index) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR pName) override;
    D3DXHANDLE GetPass(D3DXHANDLE hTechnique, UINT Index) override;
    D3DXHANDLE GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) override;

    HRESULT SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) override;
    HRESULT GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) override;
    HRESULT SetBool(D3DXHANDLE hParameter, BOOL b) override { return SetScalar(hParameter, b ? 1.0f : 0.0f); }
    HRESULT GetBool(D3DXHANDLE hParameter, BOOL* pb) override;
    HRESULT SetInt(D3DXHANDLE hParameter, INT n) override { return SetScalar(hParameter, static_cast<float>(n)); }
    HRESULT GetInt(D3DXHANDLE hParameter, INT* pn) override;
    HRESULT SetFloat(D3DXHANDLE hParameter, FLOAT f) override { return SetScalar(hParameter, f); }
    HRESULT GetFloat(D3DXHANDLE hParameter, FLOAT* pf) override;
    HRESULT SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) override;
    HRESULT GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) override;
    HRESULT SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    HRESULT GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    HRESULT SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) override;
    HRESULT GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) override;

    HRESULT SetTechnique(D3DXHANDLE hTechnique) override;
    D3DXHANDLE GetCurrentTechnique() override;
    HRESULT Begin(UINT* pPasses, DWORD Flags) override;
    HRESULT BeginPass(UINT Pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;

    HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override { return D3D_OK; }

    float Float(const char* name) const override;
    D3DXVECTOR4 Vector(const char* name) const override;
    D3DXMATRIX Matrix(const char* name) const override;
    D3DXVECTOR4 Sample(const char* sampler, float u, float v, float footprintLog2) const override;

private:
    // Null for an effect without techniques.
    const Technique* CurrentTechnique() const;
    int ParameterIndex(D3DXHANDLE handle) const;
    int TechniqueIndex(D3DXHANDLE handle) const;
    const Pass* FindPass(D3DXHANDLE handle) const;
    const Parameter* NumericParameter(D3DXHANDLE handle, UINT maxRows, UINT maxValues) const;
    HRESULT SetScalar(D3DXHANDLE handle, float value);
    HRESULT GetScalar(D3DXHANDLE handle, float& value) const;
    float* Values(const Parameter& parameter) { return m_values[&parameter - m_description.parameters.data()].data(); }
    const float* Values(const Parameter& parameter) const {
        return m_values[&parameter - m_description.parameters.data()].data();
    }
    void RefreshSampler(int sampler) const;
    void ForgetSamplers() const;

    IDirect3DDevice9* m_device;  // referenced through the Lifetime base
    EffectDescription m_description;
    std::vector<std::array<float, 16>> m_values;        // one row per parameter
    std::vector<IDirect3DBaseTexture9*> m_textures;     // one per parameter, referenced
    mutable std::vector<TextureSampler> m_samplers;     // one per parameter, read when first sampled
    mutable std::vector<bool> m_samplerFresh;           // cleared by BeginPass, CommitChanges, SetTexture
    size_t m_technique = 0;
    bool m_begun = false;   // set by Begin, cleared by End
    int m_activePass = kNone;  // set by BeginPass, cleared by EndPass
    PassBinding m_binding;
};

D3DXEffect::D3DXEffect(IDirect3DDevice9* device, EffectDescription description)
    : ComObject(device, Owner::Self),
      m_device(device),
      m_description(std::move(description)),
      m_values(m_description.parameters.size()),
      m_textures(m_description.parameters.size(), nullptr),
      m_samplers(m_description.parameters.size()),
      m_samplerFresh(m_description.parameters.size(), false),
      m_binding(*this) {
    for (size_t i = 0; i < m_values.size(); ++i) m_values[i] = m_description.parameters[i].defaults;
}

D3DXEffect::~D3DXEffect() {
    if (m_activePass != kNone) BindEffectPass(m_device, nullptr);
    for (IDirect3DBaseTexture9* texture : m_textures) {
        if (texture) texture->Release();
    }
}

// ==== Descriptions and handles ====

const char* NameOrNull(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

HRESULT D3DXEffect::GetDesc(D3DXEFFECT_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Creator = "Pyrelune native effect compiler";
    pDesc->Parameters = static_cast<UINT>(m_description.parameters.size());
    pDesc->Techniques = static_cast<UINT>(m_description.techniques.size());
    pDesc->Functions = static_cast<UINT>(m_description.functions.size());
    return D3D_OK;
}

HRESULT D3DXEffect::GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) {
    const int index = ParameterIndex(hParameter);
    if (!pDesc || index == kNone) return D3DERR_INVALIDCALL;
    const Parameter& parameter = m_description.parameters[index];
    *pDesc = D3DXPARAMETER_DESC{};
    pDesc->Name = parameter.name.c_str();
    pDesc->Semantic = NameOrNull(parameter.semantic);
    pDesc->Class = parameter.parameterClass;
    pDesc->Type = parameter.type;
    pDesc->Rows = parameter.IsNumeric() ? parameter.rows : 0;
    pDesc->Columns = parameter.IsNumeric() ? parameter.columns : 0;
    pDesc->Bytes = parameter.IsNumeric() ? parameter.ValueCount() * 4 : UINT(sizeof(void*));
    return D3D_OK;
}

HRESULT D3DXEffect::GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) {
    const int index = TechniqueIndex(hTechnique);
    if (!pDesc || index == kNone) return D3DERR_INVALIDCALL;
    const Technique& technique = m_description.techniques[index];
    *pDesc = D3DXTECHNIQUE_DESC{NameOrNull(technique.name), static_cast<UINT>(technique.passes.size()), 0};
    return D3D_OK;
}

HRESULT D3DXEffect::GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) {
    const Pass* pass = FindPass(hPass);
    if (!pDesc || !pass) return D3DERR_INVALIDCALL;
    *pDesc = D3DXPASS_DESC{NameOrNull(pass->name), 0, nullptr, nullptr};
    return D3D_OK;
}

D3DXHANDLE D3DXEffect::GetParameter(D3DXHANDLE hParameter, UINT Index) {
    if (hParameter || Index >= m_description.parameters.size()) return nullptr;  // no struct members
    return m_description.parameters[Index].name.c_str();
}

D3DXHANDLE D3DXEffect::GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) {
    if (hParameter || !pName) return nullptr;
    const int index = ParameterIndex(pName);
    return index == kNone ? nullptr : m_description.parameters[index].name.c_str();
}

D3DXHANDLE D3DXEffect::GetTechnique(UINT Index) {
    return Index < m_description.techniques.size() ? m_description.techniques[Index].name.c_str() : nullptr;
}

D3DXHANDLE D3DXEffect::GetTechniqueByName(LPCSTR pName) {
    if (!pName) return nullptr;
    const int index = TechniqueIndex(pName);
    return index == kNone ? nullptr : m_description.techniques[index].name.c_str();
}

D3DXHANDLE D3DXEffect::GetPass(D3DXHANDLE hTechnique, UINT Index) {
    const int index = TechniqueIndex(hTechnique);
    if (index == kNone || Index >= m_description.techniques[index].passes.size()) return nullptr;
    return m_description.techniques[index].passes[Index].name.c_str();
}

D3DXHANDLE D3DXEffect::GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) {
    const int index = TechniqueIndex(hTechnique);
    if (index == kNone || !pName) return nullptr;
    for (const Pass& pass : m_description.techniques[index].passes) {
        if (pass.name == pName) return pass.name.c_str();
    }
    return nullptr;
}

// A handle is either one this effect gave out (compared by address) or a
// name, as in D3DX.
template <class Items>
int HandleIndex(const Items& items, D3DXHANDLE handle) {
    if (!handle) return kNone;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].name.c_str() == handle) return static_cast<int>(i);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].name == handle) return static_cast<int>(i);
    }
    return kNone;
}

int D3DXEffect::ParameterIndex(D3DXHANDLE handle) const { return HandleIndex(m_description.parameters, handle); }

int D3DXEffect::TechniqueIndex(D3DXHANDLE handle) const { return HandleIndex(m_description.techniques, handle); }

// Pass handles are unique by address; a name looks in the current technique.
const Pass* D3DXEffect::FindPass(D3DXHANDLE handle) const {
    if (!handle) return nullptr;
    for (const Technique& technique : m_description.techniques) {
        for (const Pass& pass : technique.passes) {
            if (pass.name.c_str() == handle) return &pass;
        }
    }
    const Technique* current = CurrentTechnique();
    const int index = current ? HandleIndex(current->passes, handle) : kNone;
    return index == kNone ? nullptr : &current->passes[index];
}

// ==== Parameter values ====

// The numeric parameter behind a handle if its shape fits, else null.
const Parameter* D3DXEffect::NumericParameter(D3DXHANDLE handle, UINT maxRows, UINT maxValues) const {
    const int index = ParameterIndex(handle);
    if (index == kNone) return nullptr;
    const Parameter& parameter = m_description.parameters[index];
    if (!parameter.IsNumeric() || parameter.rows > maxRows || parameter.ValueCount() > maxValues) return nullptr;
    return &parameter;
}

float ConvertForType(D3DXPARAMETER_TYPE type, float value) {
    if (type == D3DXPT_BOOL) return value != 0.0f ? 1.0f : 0.0f;
    if (type == D3DXPT_INT) return static_cast<float>(static_cast<INT>(value));
    return value;
}

HRESULT D3DXEffect::SetScalar(D3DXHANDLE handle, float value) {
    const Parameter* parameter = NumericParameter(handle, 1, 1);
    if (!parameter) return D3DERR_INVALIDCALL;
    Values(*parameter)[0] = ConvertForType(parameter->type, value);
    return D3D_OK;
}

HRESULT D3DXEffect::GetScalar(D3DXHANDLE handle, float& value) const {
    const Parameter* parameter = NumericParameter(handle, 1, 1);
    if (!parameter) return D3DERR_INVALIDCALL;
    value = Values(*parameter)[0];
    return D3D_OK;
}

HRESULT D3DXEffect::GetBool(D3DXHANDLE hParameter, BOOL* pb) {
    float value = 0.0f;
    if (!pb || FAILED(GetScalar(hParameter, value))) return D3DERR_INVALIDCALL;
    *pb = value != 0.0f;
    return D3D_OK;
}

HRESULT D3DXEffect::GetInt(D3DXHANDLE hParameter, INT* pn) {
    float value = 0.0f;
    if (!pn || FAILED(GetScalar(hParameter, value))) return D3DERR_INVALIDCALL;
    *pn = static_cast<INT>(value);
    return D3D_OK;
}

HRESULT D3DXEffect::GetFloat(D3DXHANDLE hParameter, FLOAT* pf) {
    float value = 0.0f;
    if (!pf || FAILED(GetScalar(hParameter, value))) return D3DERR_INVALIDCALL;
    *pf = value;
    return D3D_OK;
}

// The bytes are the parameter's own type: floats, INTs or BOOLs, row by row.
HRESULT D3DXEffect::SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) {
    const Parameter* parameter = NumericParameter(hParameter, 4, 16);
    if (!parameter || !pData || Bytes < parameter->ValueCount() * 4) return D3DERR_INVALIDCALL;
    float* values = Values(*parameter);
    for (UINT i = 0; i < parameter->ValueCount(); ++i) {
        uint32_t word;
        std::memcpy(&word, static_cast<const char*>(pData) + i * 4, 4);
        float number;
        std::memcpy(&number, &word, 4);
        values[i] = parameter->type == D3DXPT_FLOAT ? number : ConvertForType(parameter->type, float(INT(word)));
    }
    return D3D_OK;
}

HRESULT D3DXEffect::GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) {
    const Parameter* parameter = NumericParameter(hParameter, 4, 16);
    if (!parameter || !pData || Bytes < parameter->ValueCount() * 4) return D3DERR_INVALIDCALL;
    const float* values = Values(*parameter);
    for (UINT i = 0; i < parameter->ValueCount(); ++i) {
        const INT integer = static_cast<INT>(values[i]);
        const void* source = parameter->type == D3DXPT_FLOAT ? static_cast<const void*>(&values[i]) : &integer;
        std::memcpy(static_cast<char*>(pData) + i * 4, source, 4);
    }
    return D3D_OK;
}

HRESULT D3DXEffect::SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) {
    const Parameter* parameter = NumericParameter(hParameter, 1, 4);
    if (!parameter || !pVector) return D3DERR_INVALIDCALL;
    float* values = Values(*parameter);
    for (UINT i = 0; i < parameter->columns; ++i) values[i] = ConvertForType(parameter->type, (*pVector)[i]);
    return D3D_OK;
}

HRESULT D3DXEffect::GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) {
    const Parameter* parameter = NumericParameter(hParameter, 1, 4);
    if (!parameter || !pVector) return D3DERR_INVALIDCALL;
    *pVector = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    std::copy_n(Values(*parameter), parameter->columns, static_cast<float*>(*pVector));
    return D3D_OK;
}

HRESULT D3DXEffect::SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) {
    const Parameter* parameter = NumericParameter(hParameter, 4, 16);
    if (!parameter || parameter->rows < 2 || !pMatrix) return D3DERR_INVALIDCALL;
    float* values = Values(*parameter);
    for (UINT row = 0; row < parameter->rows; ++row) {
        std::copy_n(pMatrix->m[row], parameter->columns, values + row * parameter->columns);
    }
    return D3D_OK;
}

HRESULT D3DXEffect::GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) {
    const Parameter* parameter = NumericParameter(hParameter, 4, 16);
    if (!parameter || parameter->rows < 2 || !pMatrix) return D3DERR_INVALIDCALL;
    *pMatrix = Matrix(parameter->name.c_str());
    return D3D_OK;
}

HRESULT D3DXEffect::SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) {
    const int index = ParameterIndex(hParameter);
    if (index == kNone || !m_description.parameters[index].IsTexture()) return D3DERR_INVALIDCALL;
    if (pTexture) pTexture->AddRef();
    if (m_textures[index]) m_textures[index]->Release();
    m_textures[index] = pTexture;
    ForgetSamplers();
    return D3D_OK;
}

HRESULT D3DXEffect::GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) {
    const int index = ParameterIndex(hParameter);
    if (!ppTexture || index == kNone || !m_description.parameters[index].IsTexture()) return D3DERR_INVALIDCALL;
    *ppTexture = m_textures[index];
    if (*ppTexture) (*ppTexture)->AddRef();
    return D3D_OK;
}

// ==== Techniques and passes ====

const Technique* D3DXEffect::CurrentTechnique() const {
    return m_description.techniques.empty() ? nullptr : &m_description.techniques[m_technique];
}

D3DXHANDLE D3DXEffect::GetCurrentTechnique() {
    const Technique* current = CurrentTechnique();
    return current ? current->name.c_str() : nullptr;
}

HRESULT D3DXEffect::SetTechnique(D3DXHANDLE hTechnique) {
    const int index = TechniqueIndex(hTechnique);
    if (index == kNone || m_begun) return D3DERR_INVALIDCALL;
    m_technique = static_cast<size_t>(index);
    return D3D_OK;
}

// Our passes set no device state (shaders run natively and sample through
// the effect), so there is nothing for Begin to save or End to restore,
// whatever the flags.
HRESULT D3DXEffect::Begin(UINT* pPasses, DWORD /*Flags*/) {
    const Technique* current = CurrentTechnique();
    if (m_begun || !current) return D3DERR_INVALIDCALL;
    m_begun = true;
    if (pPasses) *pPasses = static_cast<UINT>(current->passes.size());
    return D3D_OK;
}

HRESULT D3DXEffect::BeginPass(UINT Pass) {
    const Technique* technique = CurrentTechnique();
    if (!m_begun || m_activePass != kNone || Pass >= technique->passes.size()) return D3DERR_INVALIDCALL;
    m_activePass = static_cast<int>(Pass);
    m_binding.Set(*technique, Pass);
    ForgetSamplers();
    BindEffectPass(m_device, &m_binding);
    return D3D_OK;
}

// Textures are read again at the next sample: their texels may have changed.
HRESULT D3DXEffect::CommitChanges() {
    if (m_activePass == kNone) return D3DERR_INVALIDCALL;
    ForgetSamplers();
    BindEffectPass(m_device, &m_binding);
    return D3D_OK;
}

HRESULT D3DXEffect::EndPass() {
    if (m_activePass == kNone) return D3DERR_INVALIDCALL;
    BindEffectPass(m_device, nullptr);
    m_activePass = kNone;
    return D3D_OK;
}

HRESULT D3DXEffect::End() {
    if (!m_begun) return D3DERR_INVALIDCALL;
    if (m_activePass != kNone) EndPass();
    m_begun = false;
    return D3D_OK;
}

// ==== Device ====

HRESULT D3DXEffect::GetDevice(LPDIRECT3DDEVICE9* ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *ppDevice = m_device;
    return D3D_OK;
}

// The effect owns no default-pool resources; only the texel copies go.
HRESULT D3DXEffect::OnLostDevice() {
    for (TextureSampler& sampler : m_samplers) sampler.Detach();
    ForgetSamplers();
    return D3D_OK;
}

// ==== Shader context ====

float D3DXEffect::Float(const char* name) const {
    const int index = ParameterIndex(name);
    return index != kNone && m_description.parameters[index].IsNumeric() ? m_values[index][0] : 0.0f;
}

D3DXVECTOR4 D3DXEffect::Vector(const char* name) const {
    D3DXVECTOR4 vector(0.0f, 0.0f, 0.0f, 0.0f);
    const int index = ParameterIndex(name);
    if (index == kNone || !m_description.parameters[index].IsNumeric()) return vector;
    std::copy_n(m_values[index].data(), std::min(4u, m_description.parameters[index].ValueCount()),
                static_cast<float*>(vector));
    return vector;
}

D3DXMATRIX D3DXEffect::Matrix(const char* name) const {
    D3DXMATRIX matrix;
    std::fill_n(&matrix.m[0][0], 16, 0.0f);
    const int index = ParameterIndex(name);
    if (index == kNone || !m_description.parameters[index].IsNumeric()) return matrix;
    const Parameter& parameter = m_description.parameters[index];
    for (UINT row = 0; row < parameter.rows; ++row) {
        std::copy_n(&m_values[index][row * parameter.columns], parameter.columns, matrix.m[row]);
    }
    return matrix;
}

D3DXVECTOR4 D3DXEffect::Sample(const char* sampler, float u, float v, float footprintLog2) const {
    const int index = ParameterIndex(sampler);
    if (index == kNone || !m_description.parameters[index].IsSampler()) return D3DXVECTOR4(0.0f, 0.0f, 0.0f, 1.0f);
    if (!m_samplerFresh[index]) RefreshSampler(index);
    return m_samplers[index].Sample(m_description.parameters[index].samplerState, u, v, footprintLog2);
}

// A texture that cannot be read samples as an unbound stage.
void D3DXEffect::RefreshSampler(int sampler) const {
    const int texture = ParameterIndex(m_description.parameters[sampler].samplerTexture.c_str());
    if (FAILED(m_samplers[sampler].Attach(texture == kNone ? nullptr : m_textures[texture]))) {
        m_samplers[sampler].Detach();
    }
    m_samplerFresh[sampler] = true;
}

void D3DXEffect::ForgetSamplers() const { std::fill(m_samplerFresh.begin(), m_samplerFresh.end(), false); }

}  // namespace

HRESULT CreateEffectObject(IDirect3DDevice9* device, EffectDescription description, ID3DXEffect** ppEffect) {
    *ppEffect = nullptr;
    try {
        *ppEffect = new D3DXEffect(device, std::move(description));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

const ShaderContext* PassShaderContext(const IEffectPassBinding* pass) {
    const PassBinding* binding = dynamic_cast<const PassBinding*>(pass);
    return binding ? &binding->Effect() : nullptr;
}

const ShaderContext* GetEffectShaderContext(ID3DXEffect* effect) {
    return dynamic_cast<const D3DXEffect*>(effect);
}
