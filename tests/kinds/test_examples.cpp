// Every bundled example document loads, plays and draws on the software
// device, the way the command-line host runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <Pyrelune.h>
#include <platform/crt_rand.h>
#include <platform/swdevice.h>

#include "support/testdevice.h"

namespace fs = std::filesystem;

namespace {

IDirect3DDevice9* g_device = nullptr;
std::map<std::string, IDirect3DTexture9*>* g_images = nullptr;  // one 1x1 texture per existing file
std::vector<std::string>* g_reports = nullptr;

void ExistingFileLoader(const CString& file, IDirect3DTexture9** ppTexture) {
    if (!fs::exists(file.GetString())) return;
    IDirect3DTexture9*& image = (*g_images)[file.GetString()];
    if (!image) g_device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &image, nullptr);
    *ppTexture = image;
}

// Mesh file names in the examples are relative to the examples folder.
void* ExampleMeshLoader(const CString& fileName) {
    fs::path path = fs::path(PYRELUNE_SOURCE_DIR) / "examples" / fileName.GetString();
    ID3DXMesh* pMesh = nullptr;
    D3DXLoadMeshFromXA(path.string().c_str(), D3DXMESH_MANAGED, g_device, nullptr, nullptr, nullptr, nullptr, &pMesh);
    return pMesh;
}

void MeshDeleter(void* pObject) { static_cast<ID3DXMesh*>(pObject)->Release(); }

void MeshRenderer(SParticleRenderProperties* pProperties, int count, void* pObject) {
    for (int i = 0; i < count; ++i) {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, pProperties[i].vPosition.x, pProperties[i].vPosition.y,
                              pProperties[i].vPosition.z);
        g_device->SetTransform(D3DTS_WORLD, &world);
        static_cast<ID3DXMesh*>(pObject)->DrawSubset(0);
    }
}

void CollectReport(const char*, long, int messageId, const char* description, void*) {
    g_reports->push_back(std::to_string(messageId) + " " + description);
}

std::vector<fs::path> BundledExamples() {
    std::vector<fs::path> examples;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(PYRELUNE_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".xml") examples.push_back(entry.path());
    std::sort(examples.begin(), examples.end());
    return examples;
}

class BundledExample : public ::testing::Test {
protected:
    void SetUp() override {
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        m_device = CreateTestDevice(m_d3d, WindowedParams(64, 48, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
        g_device = m_device;
        g_images = &m_images;
        g_reports = &m_reports;
        ITexture::RegisterTextureLoaderFunction(&ExistingFileLoader);
        CMeshParticleSystem::RegisterParticleLoaderFunction(&ExampleMeshLoader);
        CMeshParticleSystem::RegisterParticleDeleterFunction(&MeshDeleter);
        CMeshParticleSystem::RegisterParticleRenderFunction(&MeshRenderer);
        Vastrel::Utils::SetErrorReportHook(&CollectReport, nullptr);
    }

    void TearDown() override {
        Vastrel::Utils::SetErrorReportHook(nullptr, nullptr);
        ReleaseParticleSystemDXResources();
        for (auto& image : m_images)
            if (image.second) image.second->Release();
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_d3d) m_d3d->Release();
        ITexture::RegisterTextureLoaderFunction(nullptr);
    }

    // Plays one second at 30 frames; returns the peak of live particles and
    // the draw calls of the busiest frame.
    void Play(CParticleSystemManager& manager, unsigned int& peakParticles, size_t& peakDraws) {
        D3DXMATRIXA16 identity;
        D3DXMatrixIdentity(&identity);
        manager.StartTimer();
        for (int frame = 0; frame < 30; ++frame) {
            swdevice::ClearDrawLog(m_device);
            manager.Update(1.0f / 30.0f, identity, false);
            m_device->BeginScene();
            manager.Render(identity, false, nullptr);
            m_device->EndScene();
            peakParticles = std::max(peakParticles, manager.GetActiveParticleCount());
            peakDraws = std::max(peakDraws, swdevice::DrawLog(m_device).size());
        }
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::map<std::string, IDirect3DTexture9*> m_images;
    std::vector<std::string> m_reports;
};

TEST_F(BundledExample, EveryExampleLoadsWithoutReportsAndDrawsItsParticles) {
    std::vector<fs::path> examples = BundledExamples();
    ASSERT_GE(examples.size(), 5u);
    for (const fs::path& example : examples) {
        SCOPED_TRACE(example.filename().string());
        m_reports.clear();
        crt::srand(1);
        unsigned int peakParticles = 0;
        size_t peakDraws = 0;
        {
            CParticleSystemManager manager(m_device, nullptr, nullptr, nullptr, nullptr, false);
            ASSERT_TRUE(manager.LoadParticleSystemsFromFile(example.string().c_str()));
            EXPECT_GT(manager.GetCount(), 0u);
            Play(manager, peakParticles, peakDraws);
        }
        EXPECT_TRUE(m_reports.empty()) << m_reports.front();
        EXPECT_GT(peakParticles, 0u);
        EXPECT_GT(peakDraws, 0u);
    }
}

TEST_F(BundledExample, ExamplesTogetherUseEveryKindOfSystemParameterSetAndTexture) {
    std::map<std::string, int> kinds;
    for (const fs::path& example : BundledExamples()) {
        CParticleSystemManager manager(m_device, nullptr, nullptr, nullptr, nullptr, false);
        ASSERT_TRUE(manager.LoadParticleSystemsFromFile(example.string().c_str()));
        for (const auto& entry : manager.GetManagedClasses())
            ++kinds["system " + std::to_string(entry.second->GetParticleSystemIntType())];
        for (const auto& entry : manager.GetParamsManager()->GetManagedClasses())
            ++kinds["params " + std::to_string(entry.second->GetPSParamsIntType())];
        for (const auto& entry : manager.GetTextureManager()->GetManagedClasses())
            ++kinds["texture " + std::to_string(entry.second->GetTextureIntType())];
    }
    const char* const everyKind[] = {"system 0", "system 1", "system 2", "params 0",  "params 1",
                                     "params 2", "params 3", "texture 0", "texture 1"};
    for (const char* kind : everyKind) EXPECT_GT(kinds[kind], 0) << kind;
}

}  // namespace
