// The D3DX 9 subset that the libraries use.
#pragma once

#include "d3d9.h"
#include "platform/d3dxmath.h"
#include "platform/d3dxeffect.h"
#include "platform/d3dxmesh.h"
