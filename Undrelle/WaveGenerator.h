// The animated water: a height map and a normal map, redrawn every Update.
//
// The noise is animated on the CPU (CWaveNoise) and uploaded into two small
// dynamic textures; the height map is rendered from them and the normal map
// from the height map, each with one effect embedded in this library. The
// work moves to the CPU as the hardware gets weaker, and the maps shrink:
//   pixel shader 2.0  both maps on the GPU, at the requested size;
//   pixel shader 1.1  no height map; the normals are computed on the CPU into
//                     a vertex grid and drawn by the effect, at half size;
//   none              the same grid, pre-transformed and drawn with fixed
//                     function, at a quarter of the size.
#pragma once

#include <vector>

#include "Corvantis/cdevicerestorable.h"
#include "Undrelle/cwavenoise.h"
#include "Undrelle/undrelle_api.h"
#include "d3d9.h"
#include "platform/d3dxeffect.h"

class UNDRELLE_API CWaveGenerator : public CDeviceRestorable {
public:
    // The device is borrowed and must outlive the generator. Draws from the
    // C runtime generator (the noise table); the host seeds it.
    CWaveGenerator(IDirect3DDevice9* device, int width, int height);
    ~CWaveGenerator() override;

    // Owns device resources: copies would release them twice.
    CWaveGenerator(const CWaveGenerator&) = delete;
    CWaveGenerator& operator=(const CWaveGenerator&) = delete;

    // No reference is added; null while missing (the height map is always
    // null without version 2.0 pixel shaders).
    IDirect3DTexture9* GetHeightMap() const;
    IDirect3DTexture9* GetNormalMap() const;

    // Multiplier of the elapsed time; 0 freezes the animation. Non-finite
    // values are ignored, since they would poison the time for good.
    float GetSpeed() const;
    void SetSpeed(float speed);

    // Animates and redraws both maps. Opens and closes its own scene, so call
    // it outside the host's BeginScene/EndScene. Does nothing while the
    // normal map is missing.
    void Update(unsigned long elapsedMilliseconds);

    void OnLostDevice() override;
    void OnRestoreDevice() override;

protected:
    // Read-only views for derived hosts and tests: the CPU noise (time and
    // images) and noise texture 0 or 1 (null without version 2.0 shaders).
    const CWaveNoise& GetNoise() const;
    IDirect3DTexture9* GetNoiseTexture(int n) const;

private:
    // Construction
    void ReadCaps();
    void InitMaterial();
    void CreateEffects();
    void CreateEffect(int resourceId, ID3DXEffect** effect);
    void CreateTextures();
    void ChooseFormats(D3DFORMAT& mapFormat, D3DFORMAT& noiseFormat);
    void CreateTextureIfMissing(IDirect3DTexture9** texture, UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format);
    void CreateBuffers();
    void CreateQuadBuffer();
    void CreateGridBuffer();
    template <class Vertex>
    void FillGrid(Vertex* vertices) const;
    template <class Edit>
    void EditGridVertices(Edit edit);

    // Update
    void UploadNoise();
    void UploadImage(IDirect3DTexture9* texture, const int* image) const;
    void ComputeGridNormals();
    D3DXVECTOR3 GridNormal(int row, int column) const;
    int GridHeight(int row, int column) const;
    void WriteGridNormals();
    template <class Vertex>
    void WriteGridNormalsAs(Vertex* vertices) const;

    // Render
    void Render();
    void RenderHeightMap();
    void RenderNormalMap();
    void DrawNormalMapEffect();
    void DrawFixedFunctionNormals();
    IDirect3DSurface9* BindTarget(IDirect3DTexture9* texture, D3DCOLOR clearColour);
    void DrawQuad();
    void DrawGrid();

    // Device loss
    void ForgetEffectTextures();

    IDirect3DDevice9* m_pDevice;
    IDirect3DTexture9* m_pNoiseTexture0;
    IDirect3DTexture9* m_pNoiseTexture1;
    IDirect3DTexture9* m_pHeightMap;
    IDirect3DTexture9* m_pNormalMap;
    ID3DXEffect* m_pHeightMapEffect;
    ID3DXEffect* m_pNormalMapEffect;
    IDirect3DVertexBuffer9* m_pQuadBuffer;
    IDirect3DVertexBuffer9* m_pGridBuffer;
    D3DMATERIAL9 m_material;
    D3DVIEWPORT9 m_viewport;
    bool m_smallNoise;  // noise textures are L8, not L16
    bool m_noPs20;
    bool m_noPs11;
    bool m_strip;  // the grid buffer holds one triangle strip per row
    int m_mapWidth;
    int m_mapHeight;
    int m_gridColumns;
    int m_gridRows;
    float m_speed;
    std::vector<D3DXVECTOR3> m_gridNormals;  // row-major, one per grid point
    CWaveNoise m_noise;
};
