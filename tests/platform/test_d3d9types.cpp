// Numeric values and layouts that definition documents, archives and the
// library's binary records depend on. Everything checkable at compile time is
// a static_assert, so a wrong value stops the build.
#include <gtest/gtest.h>

#include <cstddef>

#include "platform/d3d9types.h"
#include "platform/d3dxmath.h"

// ==== Layouts ====

static_assert(sizeof(D3DVECTOR) == 12, "three floats");
static_assert(sizeof(D3DCOLORVALUE) == 16, "four floats");
static_assert(sizeof(D3DMATRIX) == 64, "sixteen floats");
static_assert(offsetof(D3DMATRIX, _12) == 4 && offsetof(D3DMATRIX, _21) == 16, "row-major fields");
static_assert(offsetof(D3DMATRIX, _41) == 48 && offsetof(D3DMATRIX, _44) == 60, "translation in row 4");
static_assert(sizeof(D3DVIEWPORT9) == 24, "four DWORDs and two floats");
static_assert(offsetof(D3DVIEWPORT9, MinZ) == 16, "depth range after the rectangle");
static_assert(sizeof(D3DMATERIAL9) == 68, "four colours and the power");
static_assert(sizeof(D3DLIGHT9) == 104, "SDK light layout");
static_assert(sizeof(D3DRECT) == 16, "four LONGs");
static_assert(sizeof(D3DSURFACE_DESC) == 32, "eight 32-bit fields");
static_assert(sizeof(D3DVERTEXBUFFER_DESC) == 24, "six 32-bit fields");
static_assert(sizeof(D3DINDEXBUFFER_DESC) == 20, "five 32-bit fields");
static_assert(sizeof(D3DDISPLAYMODE) == 16, "four 32-bit fields");

static_assert(sizeof(D3DCAPS9) == 304, "76 32-bit fields, as in the SDK");
static_assert(offsetof(D3DCAPS9, FVFCaps) == 140, "FVFCaps after StencilCaps");
static_assert(offsetof(D3DCAPS9, MaxPointSize) == 176, "MaxPointSize after the blend-matrix caps");
static_assert(offsetof(D3DCAPS9, VertexShaderVersion) == 196, "shader versions after the stream caps");
static_assert(offsetof(D3DCAPS9, PixelShaderVersion) == 204, "pixel shader version after the VS constants");
static_assert(offsetof(D3DCAPS9, VS20Caps) == 248, "shader 2.0 caps after StretchRectFilterCaps");
static_assert(offsetof(D3DCAPS9, MaxPixelShader30InstructionSlots) == 300, "last field");

static_assert(sizeof(D3DXVECTOR2) == 8 && sizeof(D3DXVECTOR3) == 12 && sizeof(D3DXVECTOR4) == 16,
              "archives store vectors as raw floats");
static_assert(sizeof(D3DXMATRIX) == 64, "archives store matrices as 16 raw floats");
static_assert(sizeof(D3DXMATRIXA16) == 64 && alignof(D3DXMATRIXA16) == 16, "aligned, not padded");
static_assert(sizeof(D3DXQUATERNION) == 16 && sizeof(D3DXPLANE) == 16, "four floats");
static_assert(sizeof(D3DXCOLOR) == sizeof(D3DCOLORVALUE), "same layout as D3DCOLORVALUE");

// ==== Enumerations and flags ====

static_assert(D3DRS_ZENABLE == 7 && D3DRS_FILLMODE == 8 && D3DRS_ZWRITEENABLE == 14, "render states");
static_assert(D3DRS_SRCBLEND == 19 && D3DRS_DESTBLEND == 20 && D3DRS_CULLMODE == 22, "render states");
static_assert(D3DRS_ALPHABLENDENABLE == 27 && D3DRS_FOGENABLE == 28 && D3DRS_STENCILENABLE == 52, "render states");
static_assert(D3DRS_TEXTUREFACTOR == 60 && D3DRS_CLIPPING == 136 && D3DRS_LIGHTING == 137, "render states");
static_assert(D3DRS_DIFFUSEMATERIALSOURCE == 145, "render states");
static_assert(D3DRS_POINTSIZE == 154 && D3DRS_POINTSIZE_MIN == 155 && D3DRS_POINTSPRITEENABLE == 156,
              "point-sprite states");
static_assert(D3DRS_POINTSCALEENABLE == 157 && D3DRS_POINTSCALE_A == 158 && D3DRS_POINTSCALE_C == 160,
              "point-scale states");
static_assert(D3DRS_POINTSIZE_MAX == 166 && D3DRS_BLENDOP == 171 && D3DRS_BLENDOPALPHA == 209, "render states");

static_assert(D3DBLEND_ZERO == 1 && D3DBLEND_ONE == 2 && D3DBLEND_SRCALPHA == 5 && D3DBLEND_INVSRCALPHA == 6,
              "blend factors");
static_assert(D3DBLEND_INVSRCCOLOR2 == 17 && D3DBLENDOP_MAX == 5, "blend factors and operations");
static_assert(D3DCULL_NONE == 1 && D3DCULL_CCW == 3 && D3DFILL_WIREFRAME == 2 && D3DCMP_ALWAYS == 8,
              "raster enums");
static_assert(D3DZB_TRUE == 1 && D3DMCS_COLOR1 == 1 && D3DFOG_LINEAR == 3 && D3DSTENCILOP_DECR == 8, "misc enums");
static_assert(D3DTSS_COLOROP == 1 && D3DTSS_ALPHAARG1 == 5 && D3DTSS_TEXCOORDINDEX == 11 &&
                  D3DTSS_TEXTURETRANSFORMFLAGS == 24 && D3DTSS_CONSTANT == 32,
              "texture-stage states");
static_assert(D3DSAMP_ADDRESSU == 1 && D3DSAMP_MIPFILTER == 7 && D3DSAMP_DMAPOFFSET == 13, "sampler states");
static_assert(D3DTOP_DISABLE == 1 && D3DTOP_SELECTARG1 == 2 && D3DTOP_MODULATE == 4 && D3DTOP_LERP == 26,
              "texture operations");
static_assert(D3DTA_DIFFUSE == 0 && D3DTA_TEXTURE == 2 && D3DTA_TFACTOR == 3 && D3DTA_ALPHAREPLICATE == 0x20,
              "texture arguments");
static_assert(D3DTADDRESS_WRAP == 1 && D3DTADDRESS_MIRRORONCE == 5 && D3DTEXF_LINEAR == 2, "sampling enums");
static_assert(D3DPT_POINTLIST == 1 && D3DPT_TRIANGLELIST == 4 && D3DPT_TRIANGLEFAN == 6, "primitive types");
static_assert(D3DTS_VIEW == 2 && D3DTS_PROJECTION == 3 && D3DTS_TEXTURE7 == 23, "transform states");
static_assert(D3DTS_WORLD == 256 && D3DTS_WORLDMATRIX(3) == 259, "world matrices start at 256");

static_assert((D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE) == 0x62, "point-sprite vertex");
static_assert((D3DFVF_XYZ | D3DFVF_NORMAL) == 0x012 && D3DFVF_XYZRHW == 0x004 && D3DFVF_XYZB5 == 0x00e,
              "position codes");
static_assert(D3DFVF_TEX1 == 0x100 && D3DFVF_TEX8 == 0x800 && D3DFVF_POSITION_MASK == 0x400E, "FVF fields");
static_assert(D3DFVF_TEXCOORDSIZE1(0) == 0x30000 && D3DFVF_TEXCOORDSIZE3(1) == 0x40000 &&
                  static_cast<DWORD>(D3DFVF_TEXCOORDSIZE4(7)) == 0x80000000u && D3DFVF_TEXCOORDSIZE2(5) == 0,
              "two bits per coordinate set from bit 16");

static_assert(D3DFMT_A8R8G8B8 == 21 && D3DFMT_X8R8G8B8 == 22 && D3DFMT_R5G6B5 == 23 && D3DFMT_A8 == 28,
              "colour formats");
static_assert(D3DFMT_A16B16G16R16 == 36 && D3DFMT_L8 == 50 && D3DFMT_L16 == 81, "colour formats");
static_assert(D3DFMT_A16B16G16R16F == 113 && D3DFMT_R32F == 114 && D3DFMT_A32B32G32R32F == 116, "float formats");
static_assert(D3DFMT_D16 == 80 && D3DFMT_D24S8 == 75 && D3DFMT_D24X8 == 77 && D3DFMT_D32 == 71, "depth formats");
static_assert(D3DFMT_VERTEXDATA == 100 && D3DFMT_INDEX16 == 101 && D3DFMT_INDEX32 == 102, "buffer formats");
static_assert(D3DFMT_DXT1 == 0x31545844 && D3DFMT_DXT5 == 0x35545844, "FOURCC formats, first letter lowest");

static_assert(D3DPOOL_DEFAULT == 0 && D3DPOOL_MANAGED == 1 && D3DPOOL_SCRATCH == 3, "pools");
static_assert(D3DUSAGE_RENDERTARGET == 1 && D3DUSAGE_WRITEONLY == 8 && D3DUSAGE_POINTS == 0x40 &&
                  D3DUSAGE_DYNAMIC == 0x200 && D3DUSAGE_AUTOGENMIPMAP == 0x400,
              "usages");
static_assert(D3DLOCK_READONLY == 0x10 && D3DLOCK_NOSYSLOCK == 0x800 && D3DLOCK_NOOVERWRITE == 0x1000 &&
                  D3DLOCK_DISCARD == 0x2000 && D3DLOCK_DONOTWAIT == 0x4000 && D3DLOCK_NO_DIRTY_UPDATE == 0x8000,
              "lock flags");
static_assert(D3DRTYPE_TEXTURE == 3 && D3DRTYPE_INDEXBUFFER == 7 && D3DDEVTYPE_HAL == 1, "resource and device types");
static_assert(D3DCREATE_SOFTWARE_VERTEXPROCESSING == 0x20 && D3DCREATE_HARDWARE_VERTEXPROCESSING == 0x40,
              "creation flags");
static_assert(D3D_SDK_VERSION == 32 && D3DADAPTER_DEFAULT == 0, "device creation");
static_assert(D3DCLEAR_TARGET == 1 && D3DCLEAR_ZBUFFER == 2 && D3DCLEAR_STENCIL == 4, "clear flags");
static_assert(D3DSWAPEFFECT_DISCARD == 1 && D3DMULTISAMPLE_NONMASKABLE == 1, "presentation");
static_assert(D3DPRESENT_INTERVAL_IMMEDIATE == 0x80000000L, "presentation");

static_assert(D3DFVFCAPS_PSIZE == 0x00100000 && D3DFVFCAPS_TEXCOORDCOUNTMASK == 0xffff, "FVF caps");
static_assert(D3DPS_VERSION(2, 0) == 0xFFFF0200 && D3DVS_VERSION(1, 1) == 0xFFFE0101, "shader version tokens");
static_assert(D3DSHADER_VERSION_MAJOR(D3DPS_VERSION(1, 4)) == 1 && D3DSHADER_VERSION_MINOR(D3DPS_VERSION(1, 4)) == 4,
              "version fields");

static_assert(D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78) == 0x12345678, "alpha in the top byte");
static_assert(D3DCOLOR_RGBA(0x34, 0x56, 0x78, 0x12) == 0x12345678, "same word, other argument order");
static_assert(D3DCOLOR_XRGB(1, 2, 3) == 0xFF010203, "opaque");

// ==== Result codes ====

static_assert(static_cast<DWORD>(D3DERR_INVALIDCALL) == 0x8876086C, "2156");
static_assert(static_cast<DWORD>(D3DERR_NOTAVAILABLE) == 0x8876086A, "2154");
static_assert(static_cast<DWORD>(D3DERR_DEVICELOST) == 0x88760868, "2152");
static_assert(static_cast<DWORD>(D3DERR_DEVICENOTRESET) == 0x88760869, "2153");
static_assert(static_cast<DWORD>(D3DERR_NOTFOUND) == 0x88760866 && static_cast<DWORD>(D3DERR_MOREDATA) == 0x88760867,
              "2150, 2151");
static_assert(static_cast<DWORD>(D3DERR_OUTOFVIDEOMEMORY) == 0x8876017C, "380");
static_assert(static_cast<DWORD>(D3DERR_WASSTILLDRAWING) == 0x8876021C, "540");
static_assert(static_cast<DWORD>(D3DERR_DRIVERINTERNALERROR) == 0x88760827, "2087");
static_assert(D3D_OK == 0 && FAILED(D3DERR_INVALIDCALL) && SUCCEEDED(D3DOK_NOAUTOGEN), "severity bit");

// ==== Run-time checks ====

TEST(D3DMATRIX, NamedFieldsAndArrayShareStorage) {
    D3DMATRIX mat{};
    mat.m[3][0] = 5.0f;
    mat.m[1][2] = -2.0f;
    EXPECT_EQ(mat._41, 5.0f);
    EXPECT_EQ(mat._23, -2.0f);
}

TEST(D3DCOLOR, ColorValueMacroTruncatesEachChannel) {
    // 0.5 * 255 = 127.5 truncates to 0x7F.
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xFFFF7F00u);
}
