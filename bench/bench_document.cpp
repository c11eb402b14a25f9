// Loading and saving a definition document of 200 systems, each with its own
// emitter, parameter set and texture.
//
// The pieces are stand-ins with the real element readers and writers where
// they exist: emitters read and write the common emitter element, systems go
// through IParticleSystem::Init and Save, parameter sets and textures write
// only a few attributes. The figures therefore measure the document frame
// (parse, dispatch, factories, registries, write) plus the emitter element.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "cmanager.h"
#include "particleeffect.h"

#include "bench_device.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

const int kSystems = 200;

class CBenchEmitter : public IEmitter {
public:
    CBenchEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) : IEmitter(pDevice, pNode, ET_POINT) {}
    explicit CBenchEmitter(IDirect3DDevice9* pDevice) : IEmitter(pDevice, ET_POINT) {}
    D3DXVECTOR3 GetEmitPoint() const override { return GetMatrixPosition(); }
    void Save(CMyXMLNode* pNode) const override {
        IEmitter::Save(pNode);
        pNode->SetAttribute("type", "BENCHPOINT");
    }
};

class CBenchParams : public CStandardParticleSystemParams {
public:
    CBenchParams() : CStandardParticleSystemParams(1.0f, 2.0f, PSPT_STANDARD) {}
    IParticleParamUpdater* CreateParticleParamUpdater() const override { return nullptr; }
    void SetParticleParamUpdater(IParticleParamUpdater*) const override {}
    void Save(CMyXMLNode* pNode) const override {
        pNode->SetAttribute("type", "BENCHPARAMS");
        pNode->SetAttribute("minLifeTime", GetMinLifeTime());
        pNode->SetAttribute("maxLifeTime", GetMaxLifeTime());
        pNode->SetAttribute("aroundAxis", GetAroundAxis());
    }
};

class CBenchTexture : public ITexture {
public:
    CBenchTexture() : ITexture(nullptr, TT_SINGLE) {}
    bool QueryInterface(int, void**) override { return false; }
    void Save(CMyXMLNode* pNode) const override {
        pNode->SetAttribute("type", "BENCHTEXTURE");
        pNode->SetAttribute("fileName", "textures/flame.png");
    }
};

class CBenchSystem : public IParticleSystem {
public:
    explicit CBenchSystem(CParticleSystemManager* pManager) : IParticleSystem(pManager, PST_BILLBOARD) {}
    bool Resize() override { return true; }
    bool BeginReset() override { return true; }
    bool EndReset() override { return true; }
    void Save(CMyXMLNode* pNode) const override {
        IParticleSystem::Save(pNode);
        pNode->SetAttribute("type", "BENCHSYSTEM");
    }
};

class CBenchEmitterFactory : public IEmitterFactory {
public:
    explicit CBenchEmitterFactory(CEmitterManager* pRegistry) : IEmitterFactory(pRegistry, "BENCHPOINT") {}
    IEmitter* Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const override {
        return new CBenchEmitter(pDevice, pNode);
    }
};

class CBenchParamsFactory : public IPSParamsFactory {
public:
    explicit CBenchParamsFactory(CPSParamsManager* pRegistry) : IPSParamsFactory(pRegistry, "BENCHPARAMS") {}
    IParticleSystemParams* Create(IDirect3DDevice9*, CEmitterManager*, const CMyXMLNode*) const override {
        return new CBenchParams();
    }
};

class CBenchTextureFactory : public ITextureFactory {
public:
    explicit CBenchTextureFactory(CTextureManager* pRegistry) : ITextureFactory(pRegistry, "BENCHTEXTURE") {}
    ITexture* Create(IDirect3DDevice9*, const CMyXMLNode*) const override { return new CBenchTexture(); }
};

class CBenchSystemFactory : public IParticleSystemFactory {
public:
    explicit CBenchSystemFactory(CParticleSystemManager* pRegistry) : IParticleSystemFactory(pRegistry, "BENCHSYSTEM") {}
    IParticleSystem* Create(CParticleSystemManager* pManager) const override { return new CBenchSystem(pManager); }
};

std::unique_ptr<CParticleSystemManager> MakeManager(IDirect3DDevice9* pDevice) {
    auto manager = std::make_unique<CParticleSystemManager>(pDevice, nullptr, nullptr, nullptr, nullptr, false);
    new CBenchEmitterFactory(manager->GetEmitterManager());
    new CBenchParamsFactory(manager->GetParamsManager());
    new CBenchTextureFactory(manager->GetTextureManager());
    new CBenchSystemFactory(manager.get());
    return manager;
}

// Each system names its own pieces; emitters stand in a row along x.
void Populate(CParticleSystemManager& manager) {
    for (int index = 0; index < kSystems; ++index) {
        const CString name = ("fire" + std::to_string(index)).c_str();
        D3DXMATRIX placement;
        auto* emitter = new CBenchEmitter(manager.GetD3DDevice());
        emitter->SetMatrix(*D3DXMatrixTranslation(&placement, static_cast<float>(index), 0.0f, 0.0f));
        manager.GetEmitterManager()->Add(name, emitter);
        manager.GetParamsManager()->Add(name, new CBenchParams());
        manager.GetTextureManager()->Add(name, new CBenchTexture());
        auto* system = new CBenchSystem(&manager);
        system->SetEmitter(name);
        system->SetParticleSystemParams(name);
        system->SetTexture(name);
        manager.Add(name, system);
    }
    manager.AddTimer(1.0f, IPSTimer::TIMER_START);
    manager.AddTimer(5.0f, IPSTimer::TIMER_END);
}

std::string DocumentPath() {
    return (std::filesystem::temp_directory_path() / ("bench_document_" + std::to_string(::getpid()) + ".xml"))
        .string();
}

void BM_DocumentSave(benchmark::State& state) {
    CBenchDevice device;
    std::unique_ptr<CParticleSystemManager> manager = MakeManager(device.Get());
    Populate(*manager);
    const std::string path = DocumentPath();
    for (auto _ : state) manager->SaveParticleSystems(path.c_str());
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_DocumentSave)->Arg(kSystems)->Unit(benchmark::kMillisecond);

// Each load goes into a fresh manager; building and destroying it is not timed.
void BM_DocumentLoad(benchmark::State& state) {
    CBenchDevice device;
    const std::string path = DocumentPath();
    {
        std::unique_ptr<CParticleSystemManager> source = MakeManager(device.Get());
        Populate(*source);
        source->SaveParticleSystems(path.c_str());
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CParticleSystemManager> manager = MakeManager(device.Get());
        state.ResumeTiming();
        if (!manager->LoadParticleSystemsFromFile(path.c_str())) state.SkipWithError("the document did not load");
        benchmark::DoNotOptimize(manager->GetCount());
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_DocumentLoad)->Arg(kSystems)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
