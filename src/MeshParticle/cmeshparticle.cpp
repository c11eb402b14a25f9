#include "MeshParticle/cmeshparticle.h"

CMeshParticle::CMeshParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}
