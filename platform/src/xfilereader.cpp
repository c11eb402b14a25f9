// Index
//   ==== Object tree ====    tokens → generic objects (type, numbers, children)
//   ==== Object data ====    reading counts, indices and vectors from an object's numbers
//   ==== Mesh objects ====   Mesh and the parts we use
//   ==== Frames ====         transforms and the walk that collects meshes
#include "xfilereader.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "xfilelimits.h"

namespace xfile {

size_t FaceList::CornerCount(size_t face) const {
    size_t end = face + 1 < starts.size() ? starts[face + 1] : corners.size();
    return end - starts[face];
}

namespace {

// ==== Object tree ====

// Strings, GUIDs and data references are dropped: no object we read needs them.
struct Object {
    std::string_view type;
    std::vector<double> numbers;  // every number of the object's data, separators ignored
    std::vector<Object> children;
};

void Expect(const Token& token, TokenKind kind) {
    if (token.kind != kind) throw FormatError("unexpected token");
}

bool IsReferencePart(TokenKind kind) {
    return kind == TokenKind::Name || kind == TokenKind::Number || kind == TokenKind::Guid;
}

class ObjectParser {
public:
    explicit ObjectParser(TokenSource& tokens) : m_tokens(tokens) {}

    std::vector<Object> ParseFile() {
        std::vector<Object> objects;
        for (Token token = m_tokens.Next(); token.kind != TokenKind::End; token = m_tokens.Next()) {
            if (token.kind == TokenKind::Template) {
                SkipTemplate();
            } else {
                objects.push_back(ParseObject(token, 1));
            }
        }
        return objects;
    }

private:
    Object ParseObject(const Token& type, int depth) {
        Expect(type, TokenKind::Name);
        if (depth > kMaxNestingDepth) throw FormatError("objects nested too deeply");
        Object object{type.text, {}, {}};
        OpenBody();
        ParseBody(object, depth);
        return object;
    }

    // An optional name and an optional GUID come before the brace.
    void OpenBody() {
        Token token = m_tokens.Next();
        if (token.kind == TokenKind::Name || token.kind == TokenKind::Number) token = m_tokens.Next();
        if (token.kind == TokenKind::Guid) token = m_tokens.Next();
        Expect(token, TokenKind::OpenBrace);
    }

    void ParseBody(Object& object, int depth) {
        for (Token token = m_tokens.Next(); token.kind != TokenKind::CloseBrace; token = m_tokens.Next()) {
            switch (token.kind) {
                case TokenKind::Number: object.numbers.push_back(token.number); break;
                case TokenKind::Name: object.children.push_back(ParseObject(token, depth + 1)); break;
                case TokenKind::OpenBrace: SkipReference(); break;
                case TokenKind::String:
                case TokenKind::Guid: break;
                default: throw FormatError("unterminated object");
            }
        }
    }

    // "{ name }", "{ name <guid> }" or "{ <guid> }".
    void SkipReference() {
        Token token = m_tokens.Next();
        while (IsReferencePart(token.kind)) token = m_tokens.Next();
        Expect(token, TokenKind::CloseBrace);
    }

    // Templates only describe layouts; the objects we read have fixed ones.
    void SkipTemplate() {
        Expect(m_tokens.Next(), TokenKind::Name);
        Expect(m_tokens.Next(), TokenKind::OpenBrace);
        for (int open = 1; open > 0;) {
            Token token = m_tokens.Next();
            if (token.kind == TokenKind::End) throw FormatError("unterminated template");
            open += (token.kind == TokenKind::OpenBrace) - (token.kind == TokenKind::CloseBrace);
        }
    }

    TokenSource& m_tokens;
};

// ==== Object data ====

constexpr double kDwordRange = 4294967296.0;  // counts and indices are DWORDs

class Values {
public:
    explicit Values(const std::vector<double>& numbers) : m_numbers(numbers) {}

    float Float() { return static_cast<float>(Next()); }

    // A whole number below limit.
    uint32_t Index(double limit) {
        double value = Next();
        if (!(value >= 0.0 && value < limit) || value != std::floor(value)) throw FormatError("bad count or index");
        return static_cast<uint32_t>(value);
    }

    // The count of items that take valuesPerItem numbers each; a count the
    // remaining data cannot hold fails before anyone reserves for it.
    uint32_t Count(size_t valuesPerItem) {
        uint32_t count = Index(kDwordRange);
        if (count > Left() / valuesPerItem) throw FormatError("count larger than the data");
        return count;
    }

    D3DXVECTOR2 Vector2() {
        float u = Float();
        return D3DXVECTOR2(u, Float());
    }

    D3DXVECTOR3 Vector3() {
        float x = Float();
        float y = Float();
        return D3DXVECTOR3(x, y, Float());
    }

private:
    double Next() {
        if (m_next == m_numbers.size()) throw FormatError("object data too short");
        return m_numbers[m_next++];
    }

    size_t Left() const { return m_numbers.size() - m_next; }

    const std::vector<double>& m_numbers;
    size_t m_next = 0;
};

constexpr size_t kMinFaceCorners = 3;

// Each face takes its corner count and at least three corners.
FaceList ReadFaces(Values& values, size_t vertexCount) {
    FaceList faces;
    uint32_t faceCount = values.Count(1 + kMinFaceCorners);
    faces.starts.reserve(faceCount);
    for (uint32_t face = 0; face < faceCount; ++face) {
        faces.starts.push_back(static_cast<uint32_t>(faces.corners.size()));
        uint32_t cornerCount = values.Count(1);
        if (cornerCount < kMinFaceCorners) throw FormatError("face with fewer than three corners");
        for (uint32_t corner = 0; corner < cornerCount; ++corner) {
            faces.corners.push_back(values.Index(static_cast<double>(vertexCount)));
        }
    }
    return faces;
}

bool SameShape(const FaceList& a, const FaceList& b) {
    return a.starts == b.starts && a.corners.size() == b.corners.size();
}

// ==== Mesh objects ====

// Normals go through the inverse transpose so that scaled frames keep them perpendicular.
D3DXMATRIX NormalMatrix(const D3DXMATRIX& world) {
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &world)) inverse = world;
    D3DXMATRIX normalMatrix;
    return *D3DXMatrixTranspose(&normalMatrix, &inverse);
}

std::vector<D3DXVECTOR3> ReadPoints(Values& values, const D3DXMATRIX& world) {
    std::vector<D3DXVECTOR3> points(values.Count(3));
    for (D3DXVECTOR3& point : points) {
        D3DXVECTOR3 local = values.Vector3();
        D3DXVec3TransformCoord(&point, &local, &world);
    }
    return points;
}

void ReadNormals(const Object& object, const D3DXMATRIX& world, MeshData& mesh) {
    Values values(object.numbers);
    D3DXMATRIX normalMatrix = NormalMatrix(world);
    mesh.normals.resize(values.Count(3));
    for (D3DXVECTOR3& normal : mesh.normals) {
        D3DXVECTOR3 local = values.Vector3();
        D3DXVec3Normalize(&normal, D3DXVec3TransformNormal(&normal, &local, &normalMatrix));
    }
    mesh.normalFaces = ReadFaces(values, mesh.normals.size());
    if (!SameShape(mesh.faces, mesh.normalFaces)) throw FormatError("normal faces differ from the mesh faces");
}

// Extra coordinates are ignored; too few leave vertices without any.
void ReadTexcoords(const Object& object, const D3DXMATRIX&, MeshData& mesh) {
    Values values(object.numbers);
    uint32_t count = values.Count(2);
    if (count < mesh.positions.size()) throw FormatError("fewer texture coordinates than vertices");
    mesh.texcoords.resize(mesh.positions.size());
    for (D3DXVECTOR2& texcoord : mesh.texcoords) texcoord = values.Vector2();
}

// A list shorter than the faces repeats its last index; an empty one means material 0.
void ReadMaterials(const Object& object, const D3DXMATRIX&, MeshData& mesh) {
    Values values(object.numbers);
    mesh.materialCount = std::max<uint32_t>(values.Index(kDwordRange), 1);
    size_t listed = std::min<size_t>(values.Count(1), mesh.faceMaterials.size());
    for (size_t face = 0; face < listed; ++face) mesh.faceMaterials[face] = values.Index(mesh.materialCount);
    if (listed == 0) return;
    std::fill(mesh.faceMaterials.begin() + listed, mesh.faceMaterials.end(), mesh.faceMaterials[listed - 1]);
}

using PartReader = void (*)(const Object&, const D3DXMATRIX&, MeshData&);

struct MeshPart {
    std::string_view type;
    PartReader read;
};

constexpr MeshPart kMeshParts[] = {
    {"MeshNormals", ReadNormals},
    {"MeshTextureCoords", ReadTexcoords},
    {"MeshMaterialList", ReadMaterials},
};

void ReadMeshPart(const Object& child, const D3DXMATRIX& world, MeshData& mesh) {
    for (const MeshPart& part : kMeshParts) {
        if (child.type == part.type) return part.read(child, world, mesh);
    }
}

MeshData ReadMesh(const Object& object, const D3DXMATRIX& world) {
    MeshData mesh;
    Values values(object.numbers);
    mesh.positions = ReadPoints(values, world);
    mesh.faces = ReadFaces(values, mesh.positions.size());
    mesh.faceMaterials.assign(mesh.faces.FaceCount(), 0);
    for (const Object& child : object.children) ReadMeshPart(child, world, mesh);
    return mesh;
}

// ==== Frames ====

constexpr size_t kMatrixValues = 16;

// The frame's own transform; identity when it has none.
D3DXMATRIX FrameMatrix(const Object& frame) {
    D3DXMATRIX matrix;
    D3DXMatrixIdentity(&matrix);
    for (const Object& child : frame.children) {
        if (child.type != "FrameTransformMatrix") continue;
        Values values(child.numbers);
        for (size_t i = 0; i < kMatrixValues; ++i) static_cast<FLOAT*>(matrix)[i] = values.Float();
    }
    return matrix;
}

// A frame's transform applies before its parent's; meshes outside frames stay as they are.
void CollectMeshes(const std::vector<Object>& objects, const D3DXMATRIX& world, Scene& scene) {
    for (const Object& object : objects) {
        if (object.type == "Mesh") scene.meshes.push_back(ReadMesh(object, world));
        if (object.type == "Frame") CollectMeshes(object.children, FrameMatrix(object) * world, scene);
    }
}

}  // namespace

Scene ReadScene(std::string_view file) {
    std::unique_ptr<TokenSource> tokens = OpenTokenSource(file);
    std::vector<Object> objects = ObjectParser(*tokens).ParseFile();
    Scene scene;
    D3DXMATRIX identity;
    CollectMeshes(objects, *D3DXMatrixIdentity(&identity), scene);
    return scene;
}

}  // namespace xfile
