// D3DX 9 effects: ID3DXBuffer, ID3DXEffect and the effect creation functions,
// with the SDK's names, signatures and method order for the subset that is
// implemented.
//
// An effect is created from HLSL effect text. The text is read for its global
// parameters (bool, int, float, floatN, floatRxC, texture, sampler) with
// their defaults, sampler_state blocks, techniques and passes. A pass names
// the shader functions it compiles; each runs through the native C++
// function registered under that name (platform/nativeshader.h), so a pass
// whose function has no native implementation fails to compile.
//
// Index
//   ==== Constants and result codes ====
//   ==== Descriptions ====
//   ==== Interfaces ====
//   ==== Creation ====
#pragma once

#include "platform/d3d9interfaces.h"
#include "platform/d3dxmath.h"
#include "platform/export.h"
#include "platform/wintypes.h"

// ==== Constants and result codes ====

#define D3DXSHADER_DEBUG 0x00000001
#define D3DXSHADER_SKIPVALIDATION 0x00000002
#define D3DXSHADER_SKIPOPTIMIZATION 0x00000004
#define D3DXSHADER_PACKMATRIX_ROWMAJOR 0x00000008
#define D3DXSHADER_PACKMATRIX_COLUMNMAJOR 0x00000010
#define D3DXSHADER_PARTIALPRECISION 0x00000020
#define D3DXSHADER_FORCE_VS_SOFTWARE_NOOPT 0x00000040
#define D3DXSHADER_FORCE_PS_SOFTWARE_NOOPT 0x00000080
#define D3DXSHADER_NO_PRESHADER 0x00000100
#define D3DXSHADER_AVOID_FLOW_CONTROL 0x00000200
#define D3DXSHADER_PREFER_FLOW_CONTROL 0x00000400

// Begin flags: without them Begin saves the device state the passes change
// and End restores it.
#define D3DXFX_DONOTSAVESTATE 0x00000001
#define D3DXFX_DONOTSAVESHADERSTATE 0x00000002
#define D3DXFX_DONOTSAVESAMPLERSTATE 0x00000004

#ifndef MAKE_DDHRESULT
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#endif
#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#endif

// ==== Descriptions ====

typedef const char* D3DXHANDLE;
typedef D3DXHANDLE* LPD3DXHANDLE;

enum D3DXPARAMETER_CLASS {
    D3DXPC_SCALAR,
    D3DXPC_VECTOR,
    D3DXPC_MATRIX_ROWS,
    D3DXPC_MATRIX_COLUMNS,
    D3DXPC_OBJECT,
    D3DXPC_STRUCT,
    D3DXPC_FORCE_DWORD = 0x7fffffff
};

enum D3DXPARAMETER_TYPE {
    D3DXPT_VOID,
    D3DXPT_BOOL,
    D3DXPT_INT,
    D3DXPT_FLOAT,
    D3DXPT_STRING,
    D3DXPT_TEXTURE,
    D3DXPT_TEXTURE1D,
    D3DXPT_TEXTURE2D,
    D3DXPT_TEXTURE3D,
    D3DXPT_TEXTURECUBE,
    D3DXPT_SAMPLER,
    D3DXPT_SAMPLER1D,
    D3DXPT_SAMPLER2D,
    D3DXPT_SAMPLER3D,
    D3DXPT_SAMPLERCUBE,
    D3DXPT_PIXELSHADER,
    D3DXPT_VERTEXSHADER,
    D3DXPT_PIXELFRAGMENT,
    D3DXPT_VERTEXFRAGMENT,
    D3DXPT_UNSUPPORTED,
    D3DXPT_FORCE_DWORD = 0x7fffffff
};

struct D3DXEFFECT_DESC {
    LPCSTR Creator;
    UINT Parameters;
    UINT Techniques;
    UINT Functions;
};

struct D3DXPARAMETER_DESC {
    LPCSTR Name;
    LPCSTR Semantic;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;
    UINT Columns;
    UINT Elements;
    UINT Annotations;
    UINT StructMembers;
    DWORD Flags;
    UINT Bytes;
};

struct D3DXTECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

// The shader function pointers are null: shaders run natively, not as
// shader byte code.
struct D3DXPASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    const DWORD* pVertexShaderFunction;
    const DWORD* pPixelShaderFunction;
};

struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};
typedef const D3DXMACRO* LPD3DXMACRO_CONST;

// Include handlers and effect pools are part of the signatures only: effect
// text with #include is rejected, and a pool is not supported.
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;
struct ID3DXEffectPool;
typedef ID3DXEffectPool* LPD3DXEFFECTPOOL;

// ==== Interfaces ====

extern PLATFORM_API const IID IID_ID3DXBuffer;
extern PLATFORM_API const IID IID_ID3DXBaseEffect;
extern PLATFORM_API const IID IID_ID3DXEffect;

struct ID3DXBuffer : IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

struct ID3DXBaseEffect : IUnknown {
    // Descs
    virtual HRESULT GetDesc(D3DXEFFECT_DESC* pDesc) = 0;
    virtual HRESULT GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) = 0;
    virtual HRESULT GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) = 0;
    virtual HRESULT GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) = 0;

    // Handle operations: a handle is the one returned here or the name itself.
    virtual D3DXHANDLE GetParameter(D3DXHANDLE hParameter, UINT Index) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) = 0;
    virtual D3DXHANDLE GetTechnique(UINT Index) = 0;
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR pName) = 0;
    virtual D3DXHANDLE GetPass(D3DXHANDLE hTechnique, UINT Index) = 0;
    virtual D3DXHANDLE GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) = 0;

    // Get/Set parameters
    virtual HRESULT SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) = 0;
    virtual HRESULT GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) = 0;
    virtual HRESULT SetBool(D3DXHANDLE hParameter, BOOL b) = 0;
    virtual HRESULT GetBool(D3DXHANDLE hParameter, BOOL* pb) = 0;
    virtual HRESULT SetInt(D3DXHANDLE hParameter, INT n) = 0;
    virtual HRESULT GetInt(D3DXHANDLE hParameter, INT* pn) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE hParameter, FLOAT f) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE hParameter, FLOAT* pf) = 0;
    virtual HRESULT SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) = 0;
    // GetTexture adds a reference to the texture it returns.
    virtual HRESULT SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) = 0;
    virtual HRESULT GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) = 0;
};

struct ID3DXEffect : ID3DXBaseEffect {
    // Selecting and setting a technique; the first technique is current after creation.
    virtual HRESULT SetTechnique(D3DXHANDLE hTechnique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;

    // Using current technique
    virtual HRESULT Begin(UINT* pPasses, DWORD Flags) = 0;
    virtual HRESULT BeginPass(UINT Pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    // Managing D3D Device
    virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXEffect* LPD3DXEFFECT;

// ==== Creation ====

// A buffer of NumBytes zeroed bytes.
PLATFORM_API HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

// Compile errors return D3DXERR_INVALIDDATA, a null effect and, when
// ppCompilationErrors is given, the error text (NUL-terminated) in a buffer
// that the caller releases. Macros are accepted and not applied.
PLATFORM_API HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                             const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                             LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                             LPD3DXBUFFER* ppCompilationErrors);

PLATFORM_API HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                      const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                                      DWORD Flags, LPD3DXEFFECTPOOL pPool,
                                                      LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors);

// The source is the RT_RCDATA resource pSrcResource of hSrcModule.
PLATFORM_API HRESULT WINAPI D3DXCreateEffectFromResourceA(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule,
                                                          LPCSTR pSrcResource, const D3DXMACRO* pDefines,
                                                          LPD3DXINCLUDE pInclude, DWORD Flags,
                                                          LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                                          LPD3DXBUFFER* ppCompilationErrors);

#define D3DXCreateEffectFromFile D3DXCreateEffectFromFileA
#define D3DXCreateEffectFromResource D3DXCreateEffectFromResourceA
