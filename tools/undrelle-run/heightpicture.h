// The height map as a picture. Its heights span a few percent around
// mid-grey, which an 8-bit picture shows as a dozen faint levels: they are
// read at the map's own precision and stretched over the whole grey range.
#pragma once

#include <d3d9.h>

#include <vector>

#include "rgbimage.h"

struct HeightField {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<float> heights;  // the map's red channel, rows top to bottom
};

// Level 0 of the map in any format the water library renders it in.
// False for other formats or when the surface cannot be locked.
bool ReadHeights(IDirect3DTexture9* pMap, HeightField& field);

struct StretchedHeights {
    RgbImage picture;
    float lowest = 0.0f;   // shown black; non-finite heights are left out
    float highest = 0.0f;  // shown white; equal to lowest for a flat field, shown mid-grey
};

StretchedHeights StretchHeights(const HeightField& field);
