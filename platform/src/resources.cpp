#include "platform/resources.h"

#include <cstring>
#include <string>
#include <vector>

struct HINSTANCE__ {
    std::string name;
    const ResourceStringEntry* strings;
    const ResourceBlobEntry* blobs;
};

struct HRSRC__ {
    ResourceBlobEntry entry;
};

namespace {

// Every loaded module's tables, in load order. Function-local so that it
// exists before any library's registrar runs.
std::vector<HINSTANCE__*>& Modules() {
    static std::vector<HINSTANCE__*> modules;
    return modules;
}

bool IsRegistered(HMODULE module) {
    for (HINSTANCE__* m : Modules()) {
        if (m == module) return true;
    }
    return false;
}

const ResourceStringEntry* FindString(HMODULE module, UINT id) {
    if (!IsRegistered(module) || !module->strings) return nullptr;
    for (const ResourceStringEntry* e = module->strings; e->text; ++e) {
        if (e->id == id) return e;
    }
    return nullptr;
}

// A resource handle is the blob entry itself, so handles stay valid while
// their module is loaded.
HRSRC FindBlob(HMODULE module, LPCSTR name, LPCSTR type) {
    if (!IsRegistered(module) || !module->blobs) return nullptr;
    if (!IS_INTRESOURCE(name) || type != RT_RCDATA) return nullptr;
    const UINT id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
    for (const ResourceBlobEntry* e = module->blobs; e->data; ++e) {
        if (e->id == id) {
            return reinterpret_cast<HRSRC>(const_cast<ResourceBlobEntry*>(e));
        }
    }
    return nullptr;
}

}  // namespace

ModuleResourceRegistrar::ModuleResourceRegistrar(const char* moduleName,
                                                 const ResourceStringEntry* strings,
                                                 const ResourceBlobEntry* blobs)
    : m_module(new HINSTANCE__{moduleName ? moduleName : "", strings, blobs}) {
    Modules().push_back(m_module);
}

ModuleResourceRegistrar::~ModuleResourceRegistrar() {
    std::vector<HINSTANCE__*>& modules = Modules();
    for (auto it = modules.begin(); it != modules.end(); ++it) {
        if (*it == m_module) {
            modules.erase(it);
            break;
        }
    }
    delete m_module;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) return nullptr;
    for (HINSTANCE__* m : Modules()) {
        if (m->name == lpModuleName) return m;
    }
    return nullptr;
}

HMODULE FindStringModule(UINT uID) {
    for (HINSTANCE__* m : Modules()) {
        if (FindString(m, uID)) return m;
    }
    return nullptr;
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) return 0;
    const ResourceStringEntry* e = FindString(hInstance, uID);
    if (cchBufferMax == 0) {
        *reinterpret_cast<const char**>(lpBuffer) = e ? e->text : nullptr;
        return e ? static_cast<int>(std::strlen(e->text)) : 0;
    }
    if (!e) {
        lpBuffer[0] = '\0';
        return 0;
    }
    size_t n = std::strlen(e->text);
    if (n > static_cast<size_t>(cchBufferMax - 1)) n = static_cast<size_t>(cchBufferMax - 1);
    std::memcpy(lpBuffer, e->text, n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    return FindBlob(hModule, lpName, lpType);
}

HRSRC FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD) {
    return FindBlob(hModule, lpName, lpType);
}

HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    if (!hResInfo || !IsRegistered(hModule)) return nullptr;
    return const_cast<unsigned char*>(hResInfo->entry.data);
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    if (!hResInfo || !IsRegistered(hModule)) return 0;
    return hResInfo->entry.size;
}
