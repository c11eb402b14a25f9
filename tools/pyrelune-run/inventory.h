// What a loaded document holds, printed for the user: the systems with the
// pieces they name, the piece registries, and the reports raised on loading.
#pragma once

#include <string>
#include <vector>

#include <Pyrelune.h>

#include "loadreports.h"

void PrintSystems(const CParticleSystemManager& manager);
void PrintPieces(const CParticleSystemManager& manager, size_t imagesLoaded);
void PrintReports(const std::vector<LoadReport>& reports, const std::vector<std::string>& failedMeshFiles);
