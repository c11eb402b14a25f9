#include "swdevice_rasterizer.h"

#include <algorithm>

#include "d3dxeffectobject.h"
#include "swdevice_bands.h"
#include "swdevice_primitives.h"
#include "swdevice_scanconvert.h"
#include "swdevice_spantexture.h"
#include "swdevice_vertexstage.h"

namespace swdevice::detail {

namespace {

// Below this many covered pixels (estimated) a second thread costs more than it saves.
constexpr double kParallelPixels = 16384.0;
constexpr int kParallelRows = 32;

// A texture's contents changed when any of its stored levels did.
uint64_t ContentVersion(const Texture& texture) {
    uint64_t version = 0;
    for (const auto& level : texture.Levels()) version = std::max(version, level->Version());
    return version;
}

bool Attach(TextureSampler& sampler, Texture& texture) {
    sampler.Attach(&texture);
    return sampler.IsAttached();
}
bool Attach(SpanTexture& snapshot, Texture& texture) { return snapshot.Attach(texture); }

// A snapshot of a stage's texture (a TextureSampler or a SpanTexture), kept
// while the texture is unchanged.
template <class Snapshot>
struct CachedSnapshot {
    const Texture* texture = nullptr;
    uint64_t version = 0;
    Snapshot snapshot;
    bool attached = false;

    // Null when nothing is bound or the format cannot be sampled.
    const Snapshot* Refresh(Texture* bound) {
        if (!bound) return nullptr;
        const uint64_t current = ContentVersion(*bound);
        if (bound != texture || current != version) {
            texture = bound;
            version = current;
            attached = Attach(snapshot, *bound);
        }
        return attached ? &snapshot : nullptr;
    }
};

struct Programs {
    VertexProgram vertex;
    PixelProgram pixel;
};

Programs ProgramsOf(const IEffectPassBinding* pass) {
    Programs programs;
    const ShaderContext* context = pass ? PassShaderContext(pass) : nullptr;
    if (!context) return programs;
    programs.vertex = {FindNativeVertexShader(pass->VertexShaderName()), context};
    programs.pixel = {FindNativePixelShader(pass->PixelShaderName()), context};
    return programs;
}

// The fixed-function pipeline reads the diffuse colour and the stages' texture coordinates.
VaryingSet FixedFunctionVaryings(const TextureStages& stages) {
    VaryingSet set;
    set.Add(0);
    for (int stage = 0; stage < stages.ActiveStages(); ++stage) {
        if (stages.TexcoordSlot(stage) >= 0) set.Add(stages.TexcoordSlot(stage));
    }
    return set;
}

bool IsZero(const D3DXVECTOR4& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f && v.w == 0.0f; }

// A shader may read any register; those zero at every vertex stay zero, so
// only the others are interpolated. Point sprites generate texcoord 0.
VaryingSet ShaderVaryings(const ScreenGeometry& geometry, bool pointSprites) {
    VaryingSet set;
    for (int slot = 0; slot < kVaryingSlots; ++slot) {
        const bool used = std::any_of(geometry.attributes.begin(), geometry.attributes.end(),
                                      [slot](const VertexOutput& v) { return !IsZero(Varying(v, slot)); });
        if (used || (pointSprites && slot == kTexcoordSlot)) set.Add(slot);
    }
    return set;
}

// Bounding-box pixels of the primitives, enough to decide on a second thread.
double EstimatedPixels(const ScreenGeometry& geometry) {
    double pixels = 0.0;
    for (const Primitive& p : geometry.primitives) {
        const ScreenVertex& a = geometry.vertices[p.vertices[0]];
        const ScreenVertex& b = geometry.vertices[p.vertices[1]];
        const ScreenVertex& c = geometry.vertices[p.vertices[2]];
        if (p.kind == PrimitiveKind::Sprite) {
            pixels += double(a.pointSize) * a.pointSize;
            continue;
        }
        const float width = std::max({a.x, b.x, c.x}) - std::min({a.x, b.x, c.x});
        const float height = std::max({a.y, b.y, c.y}) - std::min({a.y, b.y, c.y});
        pixels += p.kind == PrimitiveKind::Line ? double(width) + height : 0.5 * double(width) * height;
    }
    return pixels;
}

class SoftwareRasterizer final : public Rasterizer {
public:
    void Draw(const DrawCall& call) override {
        if (!call.renderTarget || !call.renderTarget->Format().writeColor) return;
        const Programs programs = ProgramsOf(call.pass);
        const FvfLayout layout = DescribeFvf(call.record.fvf);
        const VertexRange range = FindVertexRange(call);
        ProcessVertices(call, layout, programs.vertex, range.first, range.count, m_geometry.attributes);
        AssemblePrimitives(call, layout.pretransformed && !programs.vertex.shader, range, m_geometry);
        if (m_geometry.primitives.empty()) return;
        DrawPixels(call, programs.pixel);
        call.renderTarget->MarkModified();
    }

private:
    void DrawPixels(const DrawCall& call, const PixelProgram& program) {
        StageTextures textures;
        for (int stage = 0; stage < kFixedFunctionStages; ++stage) {
            textures.samplers[stage] = m_stageSamplers[stage].Refresh(call.textures[stage]);
            // Only the fixed-function fast loops read the span snapshots.
            if (!program.shader) textures.snapshots[stage] = m_spanTextures[stage].Refresh(call.textures[stage]);
        }
        const TextureStages stages(call, textures);
        const bool pointSprites = call.record.states.render[D3DRS_POINTSPRITEENABLE] != FALSE;
        const VaryingSet varyings =
            program.shader ? ShaderVaryings(m_geometry, pointSprites) : FixedFunctionVaryings(stages);
        const OutputMerger merger(call);
        const PixelStage pixels(varyings, program, stages, merger);
        const PixelRect bounds = merger.Bounds(call.record.viewport);
        const ScanConverter converter(m_geometry, varyings, pixels, bounds, pointSprites);
        const std::function<void(int, int)> draw = [&converter](int top, int bottom) { converter.Draw(top, bottom); };
        if (WorthSplitting(program, bounds)) return m_bands.RunSplit(draw, bounds.top, bounds.bottom);
        draw(bounds.top, bounds.bottom);
    }

    // Effects sample through their own lazily refreshed samplers, which are
    // not safe to share between threads, so their draws stay on one thread.
    bool WorthSplitting(const PixelProgram& program, const PixelRect& bounds) const {
        if (program.shader || bounds.bottom - bounds.top < kParallelRows) return false;
        return EstimatedPixels(m_geometry) >= kParallelPixels;
    }

    ScreenGeometry m_geometry;  // reused by every draw
    std::array<CachedSnapshot<TextureSampler>, kFixedFunctionStages> m_stageSamplers;
    std::array<CachedSnapshot<SpanTexture>, kFixedFunctionStages> m_spanTextures;
    BandRunner m_bands;
};

}  // namespace

std::unique_ptr<Rasterizer> CreateRasterizer() { return std::make_unique<SoftwareRasterizer>(); }

}  // namespace swdevice::detail
