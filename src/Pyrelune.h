// The one header a host includes: the platform API the library is written
// against and every public header of the particle library.
#pragma once

#include <windows.h>
#include <afx.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "UtilsSrc/calc.h"
#include "UtilsSrc/cmyfile.h"
#include "UtilsSrc/cmylog.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/ctickmanager.h"
#include "UtilsSrc/cvastrelexception.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/memorymanager.h"
#include "UtilsSrc/utility.h"

#include "cmanager.h"
#include "emitter.h"
#include "iparticlesystem.h"
#include "itexture.h"
#include "particleeffect.h"
#include "renderstatestack.h"

#include "PointSpriteParticle/cpointspriteparticle.h"
#include "PointSpriteParticle/cpointspriteparticleparamupdater.h"
#include "PointSpriteParticle/cpointspriteparticlesystem.h"
#include "PointSpriteParticle/cpointspriteparticlesystemparams.h"

#include "BillboardParticle/cbillboardparticle.h"
#include "BillboardParticle/cbillboardparticleparamupdater.h"
#include "BillboardParticle/cbillboardparticlesystem.h"
#include "BillboardParticle/cbillboardparticlesystemparams.h"

#include "MeshParticle/cmeshparticle.h"
#include "MeshParticle/cmeshparticleparamupdater.h"
#include "MeshParticle/cmeshparticlesystem.h"
#include "MeshParticle/cmeshparticlesystemparams.h"
