// pyrelune-run: loads a definition document, plays it for a given time on
// the software device, prints what it holds and how it behaved, and renders
// chosen frames to pictures. The
// output depends only on the document and the options: times are simulated,
// and the host never calls setlocale, so numbers print in the "C" locale.
#include <cstdio>
#include <memory>

#include <Pyrelune.h>
#include <platform/crt_rand.h>
#include <platform/swdevice.h>

#include "backdrop.h"
#include "framecapture.h"
#include "hostdevice.h"
#include "imagelimits.h"
#include "inventory.h"
#include "loadreports.h"
#include "meshhooks.h"
#include "options.h"
#include "progressbar.h"
#include "statistics.h"
#include "texturecache.h"

namespace {

enum ExitCode { kExitOk = 0, kExitLoadFailed = 1, kExitBadOptions = 2, kExitNoDevice = 3, kExitNoPictures = 4 };

// Everything a run holds. Members are built in this order and destroyed in
// reverse, after the destructor has deleted the manager: its mesh systems
// still call the deleter hook and its textures still point into the cache.
struct HostSession {
    HostDevice device;
    Backdrop backdrop;
    TextureCache textures;
    MeshParticleHooks meshHooks;
    LoadReportCollector reports;
    std::unique_ptr<CParticleSystemManager> manager;
    D3DXMATRIXA16 shadowMatrix;  // the render properties point at it
    SParticleSystemRenderProperties renderProperties;

    explicit HostSession(const HostOptions& options)
        : device(options.width, options.height),
          textures(device.Get()),
          meshHooks(device.Get(), options.documentPath) {}

    ~HostSession() {
        manager.reset();
        ReleaseParticleSystemDXResources();
    }
};

// Inputs of the effect techniques; only systems that ask for them use them.
void PrepareRenderProperties(HostSession& session) {
    D3DXMatrixIdentity(&session.shadowMatrix);
    session.renderProperties.pSceneTex = session.device.SceneTexture();
    session.renderProperties.pStaticShadowMatrix = &session.shadowMatrix;
    session.renderProperties.fShadowIntensity = 0.5f;
    session.renderProperties.vAmbientLight = D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f);
}

void CreateManager(HostSession& session, const HostOptions& options) {
    session.manager = std::make_unique<CParticleSystemManager>(session.device.Get(), nullptr, nullptr, nullptr,
                                                               nullptr, false);
    crt::srand(options.seed);
    float aspect = static_cast<float>(options.width) / static_cast<float>(options.height);
    ApplyCamera(MakeCamera(options.cameraPosition, options.cameraTarget, options.fovDegrees, aspect),
                session.device.Get(), *session.manager);
    PrepareRenderProperties(session);
}

void PrintHeader(const HostOptions& options) {
    std::printf("pyrelune-run %s: %.2f s at %u fps (%u frames), seed %u, %ux%u\n", options.documentPath.c_str(),
                options.seconds, options.fps, FrameCount(options), options.seed, options.width, options.height);
}

void PrintInventory(const HostSession& session) {
    PrintSystems(*session.manager);
    PrintPieces(*session.manager, session.textures.LoadedCount());
    PrintReports(session.reports.Reports(), session.meshHooks.FailedFiles());
}

void SaveDocument(HostSession& session, const HostOptions& options) {
    session.manager->SaveParticleSystems(options.savePath.c_str());
    std::printf("saved the loaded pieces and systems to %s\n", options.savePath.c_str());
}

// The host places nothing itself: systems live in world space.
D3DXMATRIXA16 Identity() {
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    return identity;
}

// The scene is only the background colour and the backdrop, if any; the
// distortion technique bends a copy of it taken before any particle is drawn.
void RenderFrame(HostSession& session, D3DCOLOR background) {
    IDirect3DDevice9* pDevice = session.device.Get();
    pDevice->BeginScene();
    pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
    session.backdrop.Draw(pDevice);
    session.device.CopyBackBufferToSceneTexture();
    session.manager->Render(Identity(), false, &session.renderProperties);
    pDevice->EndScene();
}

// Only this frame's draws are in the log when it is read.
FrameDraws RunFrame(HostSession& session, float dt, D3DCOLOR background) {
    swdevice::ClearDrawLog(session.device.Get());
    session.manager->Update(dt, Identity(), false);
    RenderFrame(session, background);
    return SummariseDraws(swdevice::DrawLog(session.device.Get()));
}

// Starting the manager's timeline plays every system; the document's own
// timelines take over from there.
// False when a picture could not be written.
bool Simulate(HostSession& session, const HostOptions& options, FrameCapture& capture) {
    const unsigned int frames = FrameCount(options);
    const float dt = 1.0f / static_cast<float>(options.fps);
    RunStatistics statistics;
    ProgressBar progress(frames);
    bool pictured = true;
    session.manager->StartTimer();
    std::printf("frames:\n");
    for (unsigned int frame = 1; frame <= frames; ++frame) {
        float time = static_cast<float>(frame) / static_cast<float>(options.fps);
        FrameDraws draws = RunFrame(session, dt, options.background);
        if (WritesPictures(options)) pictured = capture.Capture(session.device.Get(), frame) && pictured;
        statistics.AddFrame(time, session.manager->GetActiveParticleCount(), draws);
        if (frame % options.fps == 0 || frame == frames) PrintProgressLine(time, *session.manager, draws);
        progress.Step(frame);
    }
    statistics.PrintSummary();
    std::printf("  mesh render calls %llu, mesh instances drawn %llu\n", session.meshHooks.RenderCalls(),
                session.meshHooks.InstancesDrawn());
    return pictured;
}

// Plays the run, writing pictures when asked; false when one could not be written.
bool PlayAndPicture(HostSession& session, const HostOptions& options) {
    FrameCapture capture(options);
    std::string error;
    if (WritesPictures(options) && !capture.Begin(error)) {
        std::fprintf(stderr, "pyrelune-run: %s\n", error.c_str());
        return false;
    }
    bool pictured = Simulate(session, options, capture);
    if (WritesPictures(options)) pictured = capture.Finish() && pictured;
    if (!pictured) std::fprintf(stderr, "pyrelune-run: some pictures could not be written\n");
    return pictured;
}

bool LoadBackdrop(HostSession& session, const HostOptions& options) {
    if (options.backgroundImagePath.empty() ||
        session.backdrop.Load(options.backgroundImagePath, options.width, options.height, options.background))
        return true;
    std::fprintf(stderr,
                 "pyrelune-run: cannot read the background image %s: expected a PNG or DDS file of at most %u "
                 "pixels a side\n",
                 options.backgroundImagePath.c_str(), kMaxImageSide);
    return false;
}

int Run(HostSession& session, const HostOptions& options) {
    PrintHeader(options);
    if (!LoadBackdrop(session, options)) return kExitLoadFailed;
    CreateManager(session, options);
    if (!session.manager->LoadParticleSystemsFromFile(options.documentPath.c_str())) {
        std::printf("the document could not be loaded\n");
        PrintReports(session.reports.Reports(), session.meshHooks.FailedFiles());
        return kExitLoadFailed;
    }
    PrintInventory(session);
    if (!options.savePath.empty()) SaveDocument(session, options);
    return PlayAndPicture(session, options) ? kExitOk : kExitNoPictures;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "pyrelune-run: %s\n%s", error.c_str(), UsageText());
        return kExitBadOptions;
    }
    if (options.showHelp) {
        std::fputs(UsageText(), stdout);
        return kExitOk;
    }
    HostSession session(options);
    if (!session.device.Valid()) {
        std::fprintf(stderr, "pyrelune-run: the software Direct3D 9 device could not be created\n");
        return kExitNoDevice;
    }
    return Run(session, options);
}
