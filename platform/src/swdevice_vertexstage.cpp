#include "swdevice_vertexstage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3dxfvf.h"

namespace swdevice::detail {

namespace {

constexpr UINT kPositionOnlyBytes = 12;  // D3DFVF_XYZ

float StateFloat(const DrawCall& call, D3DRENDERSTATETYPE state) {
    float value;
    std::memcpy(&value, &call.record.states.render[state], sizeof value);
    return value;
}

DWORD State(const DrawCall& call, D3DRENDERSTATETYPE state) { return call.record.states.render[state]; }

// Floats of texture coordinate set `set`, measured with the FVF size function
// so that the format codes live in one table.
int TexcoordFloats(DWORD fvf, int set) {
    const DWORD code = (fvf >> (16 + 2 * set)) & 3;
    return int(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX1 | (code << 16)) - kPositionOnlyBytes) / 4;
}

// ==== Reading vertices ====

float ReadFloat(const BYTE* at) {
    float value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

D3DXVECTOR4 ReadColour(const BYTE* at) {
    DWORD c;
    std::memcpy(&c, at, sizeof c);
    const float k = 1.0f / 255.0f;
    return D3DXVECTOR4(((c >> 16) & 0xFF) * k, ((c >> 8) & 0xFF) * k, (c & 0xFF) * k, (c >> 24) * k);
}

D3DXVECTOR4 ReadFloats(const BYTE* at, int count, D3DXVECTOR4 value) {
    for (int i = 0; i < count; ++i) value[i] = ReadFloat(at + 4 * i);
    return value;
}

VertexInput ReadVertex(const BYTE* v, const FvfLayout& layout) {
    VertexInput in{};
    in.position = ReadFloats(v, layout.positionFloats, D3DXVECTOR4(0, 0, 0, 1));
    in.color[0] = in.color[1] = D3DXVECTOR4(0, 0, 0, 1);
    if (layout.normal >= 0) in.normal = ReadFloats(v + layout.normal, 3, D3DXVECTOR4(0, 0, 0, 0));
    if (layout.pointSize >= 0) in.pointSize = ReadFloat(v + layout.pointSize);
    if (layout.diffuse >= 0) in.color[0] = ReadColour(v + layout.diffuse);
    if (layout.specular >= 0) in.color[1] = ReadColour(v + layout.specular);
    for (int set = 0; set < layout.texcoordSets; ++set) {
        in.texcoord[set] = ReadFloats(v + layout.texcoord[set], layout.texcoordFloats[set], D3DXVECTOR4(0, 0, 0, 0));
    }
    return in;
}

// ==== Fixed-function pipeline ====

D3DXVECTOR4 FromColorValue(const D3DCOLORVALUE& c) { return D3DXVECTOR4(c.r, c.g, c.b, c.a); }

D3DXVECTOR4 Saturate(const D3DXVECTOR4& c) {
    return D3DXVECTOR4(std::clamp(c.x, 0.0f, 1.0f), std::clamp(c.y, 0.0f, 1.0f), std::clamp(c.z, 0.0f, 1.0f),
                       std::clamp(c.w, 0.0f, 1.0f));
}

D3DXMATRIX Product(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DXMATRIX result;
    const D3DXMATRIX ma(a), mb(b);
    D3DXMatrixMultiply(&result, &ma, &mb);
    return result;
}

class FixedFunctionVertices {
public:
    FixedFunctionVertices(const DrawCall& call, const FvfLayout& layout)
        : m_call(call),
          m_layout(layout),
          m_worldView(Product(call.record.world, call.record.view)),
          m_worldViewProjection(Product(m_worldView, call.record.projection)) {}

    void Process(const VertexInput& in, VertexOutput& out) const {
        out.position = m_layout.pretransformed ? in.position : Transform(in.position, m_worldViewProjection);
        out.color[0] = Diffuse(in);
        out.color[1] = m_layout.specular >= 0 ? in.color[1] : D3DXVECTOR4(0, 0, 0, 0);
        std::copy(std::begin(in.texcoord), std::end(in.texcoord), std::begin(out.texcoord));
        out.pointSize = PointSize(in);
    }

private:
    static D3DXVECTOR4 Transform(const D3DXVECTOR4& v, const D3DXMATRIX& m) {
        D3DXVECTOR4 result;
        D3DXVec4Transform(&result, &v, &m);
        return result;
    }

    // Without lighting, the vertex colour (opaque white when the FVF has none).
    D3DXVECTOR4 Diffuse(const VertexInput& in) const {
        const D3DXVECTOR4 vertexDiffuse = m_layout.diffuse >= 0 ? in.color[0] : D3DXVECTOR4(1, 1, 1, 1);
        if (!State(m_call, D3DRS_LIGHTING) || m_layout.pretransformed) return vertexDiffuse;
        return Lit(in);
    }

    // The device has no lights, so lighting leaves the global ambient times the
    // ambient source plus the emissive source, with the diffuse source's alpha.
    D3DXVECTOR4 Lit(const VertexInput& in) const {
        const D3DXVECTOR4 ambientLight = ReadColourState(D3DRS_AMBIENT);
        const D3DXVECTOR4 ambient = MaterialSource(D3DRS_AMBIENTMATERIALSOURCE, m_call.material.Ambient, in);
        const D3DXVECTOR4 emissive = MaterialSource(D3DRS_EMISSIVEMATERIALSOURCE, m_call.material.Emissive, in);
        const D3DXVECTOR4 diffuse = MaterialSource(D3DRS_DIFFUSEMATERIALSOURCE, m_call.material.Diffuse, in);
        D3DXVECTOR4 lit(ambientLight.x * ambient.x + emissive.x, ambientLight.y * ambient.y + emissive.y,
                        ambientLight.z * ambient.z + emissive.z, diffuse.w);
        return Saturate(lit);
    }

    D3DXVECTOR4 ReadColourState(D3DRENDERSTATETYPE state) const {
        const DWORD c = State(m_call, state);
        return ReadColour(reinterpret_cast<const BYTE*>(&c));
    }

    // D3DMCS_COLOR1/COLOR2 take the vertex colour when the FVF has it.
    D3DXVECTOR4 MaterialSource(D3DRENDERSTATETYPE state, const D3DCOLORVALUE& material, const VertexInput& in) const {
        const DWORD source = State(m_call, D3DRS_COLORVERTEX) ? State(m_call, state) : DWORD(D3DMCS_MATERIAL);
        if (source == D3DMCS_COLOR1 && m_layout.diffuse >= 0) return in.color[0];
        if (source == D3DMCS_COLOR2 && m_layout.specular >= 0) return in.color[1];
        return FromColorValue(material);
    }

    // Per-vertex or state size; with point scaling the size is in world units:
    // viewport height × size / sqrt(A + B·d + C·d²) at eye distance d.
    float PointSize(const VertexInput& in) const {
        float size = m_layout.pointSize >= 0 ? in.pointSize : StateFloat(m_call, D3DRS_POINTSIZE);
        if (State(m_call, D3DRS_POINTSCALEENABLE) && !m_layout.pretransformed) size *= ScaleFactor(in.position);
        const float low = StateFloat(m_call, D3DRS_POINTSIZE_MIN);
        const float high = StateFloat(m_call, D3DRS_POINTSIZE_MAX);
        return std::clamp(size, std::min(low, high), high);
    }

    float ScaleFactor(const D3DXVECTOR4& position) const {
        const D3DXVECTOR4 eye = Transform(position, m_worldView);
        const float d = std::sqrt(eye.x * eye.x + eye.y * eye.y + eye.z * eye.z);
        const float a = StateFloat(m_call, D3DRS_POINTSCALE_A);
        const float b = StateFloat(m_call, D3DRS_POINTSCALE_B);
        const float c = StateFloat(m_call, D3DRS_POINTSCALE_C);
        const float denominator = a + b * d + c * d * d;
        if (!(denominator > 0.0f)) return 0.0f;
        return float(m_call.record.viewport.Height) / std::sqrt(denominator);
    }

    const DrawCall& m_call;
    const FvfLayout& m_layout;
    D3DXMATRIX m_worldView;
    D3DXMATRIX m_worldViewProjection;
};

}  // namespace

FvfLayout DescribeFvf(DWORD fvf) {
    FvfLayout layout;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    layout.pretransformed = position == D3DFVF_XYZRHW;
    layout.positionFloats = (layout.pretransformed || position == D3DFVF_XYZW) ? 4 : 3;
    int offset = int(D3DXGetFVFVertexSize(position));
    const auto take = [&offset](DWORD bit, DWORD fvfBits, int bytes) {
        if (!(fvfBits & bit)) return -1;
        offset += bytes;
        return offset - bytes;
    };
    layout.normal = take(D3DFVF_NORMAL, fvf, 12);
    layout.pointSize = take(D3DFVF_PSIZE, fvf, 4);
    layout.diffuse = take(D3DFVF_DIFFUSE, fvf, 4);
    layout.specular = take(D3DFVF_SPECULAR, fvf, 4);
    layout.texcoordSets = std::min(int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT), 8);
    for (int set = 0; set < layout.texcoordSets; ++set) {
        layout.texcoord[set] = offset;
        layout.texcoordFloats[set] = TexcoordFloats(fvf, set);
        offset += 4 * layout.texcoordFloats[set];
    }
    return layout;
}

void ProcessVertices(const DrawCall& call, const FvfLayout& layout, const VertexProgram& program, UINT first,
                     UINT count, std::vector<VertexOutput>& out) {
    out.assign(count, VertexOutput{});
    const FixedFunctionVertices fixedFunction(call, layout);
    const float stateSize = StateFloat(call, D3DRS_POINTSIZE);
    for (UINT i = 0; i < count; ++i) {
        const VertexInput in = ReadVertex(call.vertices + size_t(first + i) * call.vertexStride, layout);
        if (!program.shader) {
            fixedFunction.Process(in, out[i]);
            continue;
        }
        program.shader(*program.context, in, out[i]);
        if (!(out[i].pointSize > 0.0f)) out[i].pointSize = stateSize;
    }
}

}  // namespace swdevice::detail
