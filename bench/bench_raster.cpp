// Software device rasterisation: 10,000 blended 16 x 16 particles on a
// 640 x 480 target, as textured quads and as point sprites. The target is
// at least 20 frames per second on two cores.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9.h"

namespace {

constexpr UINT kWidth = 640;
constexpr UINT kHeight = 480;
constexpr int kParticles = 10000;
constexpr float kParticlePixels = 16.0f;

struct QuadVertex {
    float x, y, z;
    DWORD colour;
    float u, v;
};
constexpr DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct SpriteVertex {
    float x, y, z, size;
    DWORD colour;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE;

// A fixed sequence, so every run draws the same particles.
class Sequence {
public:
    float Next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return float(m_state >> 40) / float(1u << 24);
    }

private:
    uint64_t m_state = 12345;
};

struct Particle {
    float x, y;  // clip space
    DWORD colour;
};

std::vector<Particle> MakeParticles() {
    Sequence random;
    std::vector<Particle> particles(kParticles);
    for (Particle& p : particles) {
        p.x = random.Next() * 2.0f - 1.0f;
        p.y = random.Next() * 2.0f - 1.0f;
        p.colour = (DWORD(64 + random.Next() * 191) << 24) | (DWORD(random.Next() * 255) << 16) | 0x8040;
    }
    return particles;
}

class Scene {
public:
    Scene() {
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                            &m_device);
        MakeTexture();
        SetParticleStates();
    }

    ~Scene() {
        m_device->SetTexture(0, nullptr);
        m_texture->Release();
        m_device->Release();
        m_d3d->Release();
    }

    IDirect3DDevice9* Device() { return m_device; }

    void UseTexture(bool textured, D3DTEXTUREFILTERTYPE filter) {
        m_device->SetTexture(0, textured ? m_texture : nullptr);
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    }

private:
    // A soft round particle, 32 x 32.
    void MakeTexture() {
        m_device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_texture, nullptr);
        D3DLOCKED_RECT locked;
        m_texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const float dx = (x - 15.5f) / 16.0f, dy = (y - 15.5f) / 16.0f;
                const float falloff = 1.0f - (dx * dx + dy * dy);
                const DWORD alpha = falloff > 0.0f ? DWORD(falloff * 255.0f) : 0;
                const DWORD texel = (alpha << 24) | 0xFFFFFF;
                std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4, &texel, 4);
            }
        }
        m_texture->UnlockRect(0);
    }

    void SetParticleStates() {
        m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    IDirect3DTexture9* m_texture = nullptr;
};

std::vector<QuadVertex> MakeQuads() {
    const float w = kParticlePixels / kWidth, h = kParticlePixels / kHeight;  // half sizes in clip space
    std::vector<QuadVertex> vertices;
    vertices.reserve(kParticles * 6);
    for (const Particle& p : MakeParticles()) {
        const QuadVertex a = {p.x - w, p.y + h, 0.5f, p.colour, 0, 0}, b = {p.x + w, p.y + h, 0.5f, p.colour, 1, 0};
        const QuadVertex c = {p.x - w, p.y - h, 0.5f, p.colour, 0, 1}, d = {p.x + w, p.y - h, 0.5f, p.colour, 1, 1};
        vertices.insert(vertices.end(), {a, b, c, c, b, d});
    }
    return vertices;
}

std::vector<SpriteVertex> MakeSprites() {
    std::vector<SpriteVertex> vertices;
    for (const Particle& p : MakeParticles()) vertices.push_back({p.x, p.y, 0.5f, kParticlePixels, p.colour});
    return vertices;
}

template <class Vertex>
void RenderFrames(benchmark::State& state, Scene& scene, D3DPRIMITIVETYPE type, UINT primitives,
                  const std::vector<Vertex>& vertices, DWORD fvf) {
    IDirect3DDevice9* device = scene.Device();
    device->SetFVF(fvf);
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitiveUP(type, primitives, vertices.data(), sizeof(Vertex));
        device->EndScene();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BlendedQuads_10000x16px_640x480(benchmark::State& state) {
    Scene scene;
    scene.UseTexture(state.range(0) != 0, state.range(1) ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    RenderFrames(state, scene, D3DPT_TRIANGLELIST, kParticles * 2, MakeQuads(), kQuadFvf);
}
// Arguments: textured, linear filtering.
BENCHMARK(BM_BlendedQuads_10000x16px_640x480)->Args({0, 0})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PointSprites_10000x16px_640x480(benchmark::State& state) {
    Scene scene;
    scene.UseTexture(true, D3DTEXF_LINEAR);
    scene.Device()->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    RenderFrames(state, scene, D3DPT_POINTLIST, kParticles, MakeSprites(), kSpriteFvf);
}
BENCHMARK(BM_PointSprites_10000x16px_640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
