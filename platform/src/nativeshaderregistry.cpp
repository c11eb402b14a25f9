// The registry of native shader functions, keyed by HLSL function name.
#include <cstring>
#include <map>
#include <string>

#include "platform/nativeshader.h"

namespace {

// The one registry of the process: filled while libraries load (before
// main) and read when effects are created. Not thread-safe; like the
// resource registry it is touched on the host's thread only.
std::map<std::string, NativeShaderEntry>& Registry() {
    static std::map<std::string, NativeShaderEntry> registry;
    return registry;
}

const NativeShaderEntry* Find(const char* name) {
    if (!name) return nullptr;
    const auto found = Registry().find(name);
    return found == Registry().end() ? nullptr : &found->second;
}

}  // namespace

bool RegisterNativeShader(const NativeShaderEntry& entry) {
    const bool oneStage = (entry.vertexShader != nullptr) != (entry.pixelShader != nullptr);
    if (!entry.name || !*entry.name || !oneStage) return false;
    return Registry().emplace(entry.name, entry).second;
}

void UnregisterNativeShader(const char* name) {
    if (name) Registry().erase(name);
}

NativeVertexShader FindNativeVertexShader(const char* name) {
    const NativeShaderEntry* entry = Find(name);
    return entry ? entry->vertexShader : nullptr;
}

NativePixelShader FindNativePixelShader(const char* name) {
    const NativeShaderEntry* entry = Find(name);
    return entry ? entry->pixelShader : nullptr;
}

NativeShaderRegistrar::NativeShaderRegistrar(const NativeShaderEntry* table) : m_table(table) {
    for (const NativeShaderEntry* entry = m_table; entry && entry->name; ++entry) RegisterNativeShader(*entry);
}

// Only the entries this table registered leave: a name that another library
// took first keeps that library's function.
NativeShaderRegistrar::~NativeShaderRegistrar() {
    for (const NativeShaderEntry* entry = m_table; entry && entry->name; ++entry) {
        const NativeShaderEntry* current = Find(entry->name);
        if (current && current->vertexShader == entry->vertexShader && current->pixelShader == entry->pixelShader) {
            UnregisterNativeShader(entry->name);
        }
    }
}
