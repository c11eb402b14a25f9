// A picture behind the particles, stretched over the whole back buffer, so
// the distortion technique has a scene to bend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <d3d9.h>

// Copied into the back buffer rather than drawn as a quad, so it leaves no
// render or texture state behind for the particle systems to inherit.
class Backdrop {
public:
    // Reads a PNG or DDS file and scales it to width x height, nearest texel
    // first; transparent parts show the colour under it. False when the file
    // cannot be read (see ReadImageFile).
    bool Load(const std::string& path, UINT width, UINT height, D3DCOLOR under);
    // Writes the picture over the back buffer; nothing when none is loaded
    // or the back buffer is not the size it was scaled to.
    void Draw(IDirect3DDevice9* pDevice) const;

private:
    UINT m_width = 0;
    UINT m_height = 0;
    std::vector<D3DCOLOR> m_texels;  // opaque A8R8G8B8, rows top to bottom
};
