#include "inventory.h"

#include <cstdio>

namespace {

using Vastrel::Utils::CMyXMLNode;

const char* const kEmitterTypeNames[] = {"POINT", "SPHERE", "BOX", "CYLINDER", "TORUS", "STATICMESH_FROMXFILE"};
const char* const kParamsTypeNames[] = {"STANDARD", "BILLBOARD", "POINTSPRITE", "MESH"};
const char* const kTextureTypeNames[] = {"SINGLE", "ANIMATED"};

template <size_t N>
const char* TypeName(const char* const (&names)[N], int type) {
    return type >= 0 && static_cast<size_t>(type) < N ? names[type] : "?";
}

// The element a system writes of itself: the one public place where it
// tells the names it refers to, registered or not.
struct SystemElement {
    CMyXMLNode root{nullptr, "ParticleSystem"};

    explicit SystemElement(const IParticleSystem& system) { system.Save(&root); }

    std::string Attribute(const char* name) const {
        CString value;
        return root.GetAttribute(name, value) ? value.GetString() : "";
    }
    std::string ChildName(const char* child) const {
        CString value;
        for (const CMyXMLNode* pChild : root.GetChildrens())
            if (pChild->GetName() == child && pChild->GetAttribute("name", value)) return value.GetString();
        return "";
    }
};

// "name (TYPE)", "name (missing)" when not registered, "-" for no name.
std::string Reference(const std::string& name, const char* typeName) {
    if (name.empty()) return "-";
    return name + " (" + (typeName ? typeName : "missing") + ")";
}

void PrintSystem(const CString& name, const IParticleSystem& system) {
    SystemElement element(system);
    const IEmitter* pEmitter = system.GetEmitter();
    const IParticleSystemParams* pParams = system.GetParticleParams();
    const ITexture* pTexture = system.GetTexture();
    std::printf("  %-14s %-11s cap %-6u emitter %s, params %s, texture %s\n", name.GetString(),
                element.Attribute("type").c_str(), system.GetMaxParticle(),
                Reference(element.ChildName("Emitter"),
                          pEmitter ? TypeName(kEmitterTypeNames, pEmitter->GetEmitterIntType()) : nullptr).c_str(),
                Reference(element.ChildName("ParticleSystemParams"),
                          pParams ? TypeName(kParamsTypeNames, pParams->GetPSParamsIntType()) : nullptr).c_str(),
                Reference(element.ChildName("Texture"),
                          pTexture ? TypeName(kTextureTypeNames, pTexture->GetTextureIntType()) : nullptr).c_str());
}

}  // namespace

void PrintSystems(const CParticleSystemManager& manager) {
    std::printf("systems (%u):\n", manager.GetCount());
    for (const auto& entry : manager.GetManagedClasses())
        if (entry.second) PrintSystem(entry.first, *entry.second);
}

void PrintPieces(const CParticleSystemManager& manager, size_t imagesLoaded) {
    std::printf("pieces: %u emitters, %u parameter sets, %u textures (%zu images loaded)\n",
                manager.GetEmitterManager()->GetCount(), manager.GetParamsManager()->GetCount(),
                manager.GetTextureManager()->GetCount(), imagesLoaded);
}

void PrintReports(const std::vector<LoadReport>& reports, const std::vector<std::string>& failedMeshFiles) {
    std::printf("loading reports (%zu):\n", reports.size() + failedMeshFiles.size());
    for (const LoadReport& report : reports)
        std::printf("  [%d] %s (%s:%ld)\n", report.messageId, report.description.c_str(), report.sourceFile.c_str(),
                    report.line);
    for (const std::string& file : failedMeshFiles) std::printf("  [host] mesh file not loaded: %s\n", file.c_str());
}
