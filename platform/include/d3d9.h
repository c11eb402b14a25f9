// The Direct3D 9 subset that the libraries use.
#pragma once

#include "platform/d3d9iids.h"
#include "platform/d3d9interfaces.h"
#include "platform/d3d9types.h"
