#include <Pyrelune.h>
#include <Undrelle.h>
#include <cstdio>

int main() {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device))) return 1;
    {
        CParticleSystemManager manager(device, nullptr, nullptr, nullptr, nullptr, true);
        CWaveGenerator water(device, 64, 64);
        water.Update(16);
        std::printf("systems %u, normal map %p\n", manager.GetCount(), (void*)water.GetNormalMap());
    }
    ReleaseParticleSystemDXResources();
    device->Release();
    d3d->Release();
    return 0;
}
