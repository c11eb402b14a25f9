// D3DXCreateEffect and its file and resource variants: read the text, bind
// every pass's shader functions to their native implementations, create
// the effect object.
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "d3dxbuffer.h"
#include "d3dxeffectobject.h"
#include "d3dxeffectparser.h"
#include "platform/nativeshader.h"
#include "platform/resources.h"

namespace {

using effectparser::EffectDescription;
using effectparser::ShaderBinding;

std::string BindingError(const ShaderBinding& binding, const char* stage) {
    return "effect(" + std::to_string(binding.line) + "): error: no native implementation of " + stage +
           " shader '" + binding.function + "' (" + binding.profile + ")";
}

// A pass compiles only when each of its shader functions is registered for
// its stage.
bool BindNativeShaders(const EffectDescription& description, std::string& error) {
    for (const auto& technique : description.techniques) {
        for (const auto& pass : technique.passes) {
            const ShaderBinding& vs = pass.vertexShader;
            const ShaderBinding& ps = pass.pixelShader;
            if (!vs.function.empty() && !FindNativeVertexShader(vs.function.c_str())) {
                error = BindingError(vs, "vertex");
                return false;
            }
            if (!ps.function.empty() && !FindNativePixelShader(ps.function.c_str())) {
                error = BindingError(ps, "pixel");
                return false;
            }
        }
    }
    return true;
}

HRESULT CompileFailure(const std::string& error, LPD3DXBUFFER* ppCompilationErrors) {
    if (ppCompilationErrors) CreateTextBuffer(error + "\n", ppCompilationErrors);
    return D3DXERR_INVALIDDATA;
}

void ClearOutputs(LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors) {
    if (ppEffect) *ppEffect = nullptr;
    if (ppCompilationErrors) *ppCompilationErrors = nullptr;
}

// The text of a file no larger than the parser accepts; false otherwise.
bool ReadEffectFile(LPCSTR path, std::string& text) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > effectparser::kMaxTextBytes) return false;
    text.resize(static_cast<std::size_t>(size));
    file.seekg(0);
    return static_cast<bool>(file.read(text.data(), size));
}

}  // namespace

HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                const D3DXMACRO* /*pDefines*/, LPD3DXINCLUDE /*pInclude*/, DWORD /*Flags*/,
                                LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors) {
    ClearOutputs(ppEffect, ppCompilationErrors);
    if (!pDevice || !pSrcData || SrcDataLen == 0 || !ppEffect) return D3DERR_INVALIDCALL;
    if (pPool) return E_NOTIMPL;
    try {
        EffectDescription description;
        std::string error;
        if (!effectparser::ParseEffect(static_cast<const char*>(pSrcData), SrcDataLen, description, error) ||
            !BindNativeShaders(description, error)) {
            return CompileFailure(error, ppCompilationErrors);
        }
        return CreateEffectObject(pDevice, std::move(description), ppEffect);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, const D3DXMACRO* pDefines,
                                         LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXEFFECTPOOL pPool,
                                         LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors) {
    ClearOutputs(ppEffect, ppCompilationErrors);
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    std::string text;
    if (!ReadEffectFile(pSrcFile, text) || text.empty()) return D3DXERR_INVALIDDATA;
    return D3DXCreateEffect(pDevice, text.data(), static_cast<UINT>(text.size()), pDefines, pInclude, Flags, pPool,
                            ppEffect, ppCompilationErrors);
}

HRESULT WINAPI D3DXCreateEffectFromResourceA(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule, LPCSTR pSrcResource,
                                             const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                             LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                             LPD3DXBUFFER* ppCompilationErrors) {
    ClearOutputs(ppEffect, ppCompilationErrors);
    if (!pDevice || !pSrcResource || !ppEffect) return D3DERR_INVALIDCALL;
    HRSRC resource = FindResourceA(hSrcModule, pSrcResource, RT_RCDATA);
    const void* data = resource ? LockResource(LoadResource(hSrcModule, resource)) : nullptr;
    if (!data) return D3DXERR_INVALIDDATA;
    return D3DXCreateEffect(pDevice, data, SizeofResource(hSrcModule, resource), pDefines, pInclude, Flags, pPool,
                            ppEffect, ppCompilationErrors);
}
