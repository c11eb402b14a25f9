// Scan conversion: the pixels a triangle, line or point sprite covers, with
// D3D9's rules (pixel centres at integer coordinates, top-left fill
// convention), and the planes that interpolate across each primitive.
#pragma once

#include "swdevice_pixelstage.h"

namespace swdevice::detail {

class ScanConverter {
public:
    // The references must outlive the converter.
    ScanConverter(const ScreenGeometry& geometry, const VaryingSet& varyings, const PixelStage& pixels,
                  const PixelRect& bounds, bool pointSprites);

    // Every primitive, in draw order, clipped to rows [top, bottom). Rows are
    // independent, so bands of rows may be drawn by different threads.
    void Draw(int top, int bottom) const;

private:
    void DrawTriangle(const Primitive& primitive, const PixelRect& rows) const;
    void DrawLine(const Primitive& primitive, const PixelRect& rows) const;
    void DrawSprite(const Primitive& primitive, const PixelRect& rows) const;
    void SetVaryingPlanes(const ScreenVertex* const* v, Interpolants& planes) const;

    const ScreenGeometry& m_geometry;
    const VaryingSet& m_varyings;
    const PixelStage& m_pixels;
    PixelRect m_bounds;
    bool m_pointSprites;
};

}  // namespace swdevice::detail
