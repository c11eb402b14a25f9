// Interface identifiers of the Direct3D 9 interfaces, for QueryInterface.
// The values are our own; only their identity matters.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

extern PLATFORM_API const IID IID_IUnknown;
extern PLATFORM_API const IID IID_IDirect3D9;
extern PLATFORM_API const IID IID_IDirect3DDevice9;
extern PLATFORM_API const IID IID_IDirect3DResource9;
extern PLATFORM_API const IID IID_IDirect3DBaseTexture9;
extern PLATFORM_API const IID IID_IDirect3DTexture9;
extern PLATFORM_API const IID IID_IDirect3DSurface9;
extern PLATFORM_API const IID IID_IDirect3DVertexBuffer9;
extern PLATFORM_API const IID IID_IDirect3DIndexBuffer9;
