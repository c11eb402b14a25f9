// Emitters: where a particle system's particles are born.
//
// Index
//   ==== Emitter base ====
//   ==== Shape emitters ====
//   ==== Static mesh emitter ====
#pragma once

#include <vector>

#include <afx.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <platform/d3dxmesh.h>

#include "Corvantis/cdevicerestorable.h"
#include "UtilsSrc/pyrelune_api.h"

class CRenderStateStack;

namespace Vastrel {
namespace Utils {
class CMyXMLNode;
}  // namespace Utils
}  // namespace Vastrel

// ==== Emitter base ====

// Anything placed by a matrix. Never deleted through this base.
class PYRELUNE_API ITransformObject {
public:
    virtual void SetMatrix(const D3DXMATRIX& matrix) = 0;
    virtual D3DXMATRIX GetMatrix() const = 0;

protected:
    ~ITransformObject() = default;
};

enum EmitterType {
    ET_POINT = 0,
    ET_SPHERE = 1,
    ET_BOX = 2,
    ET_CYLINDER = 3,
    ET_TORUS = 4,
    ET_STATICMESH = 5,
};

enum EEmitterMovementType {
    EMT_NONE = 0,          // stands still at its matrix
    EMT_AROUND_POINT = 1,  // circles the around point
    EMT_AROUND_AXIS = 2,   // circles the around axis
};

// The base of every emitter: placement, an optional orbit around a point or an
// axis, and the transform that maps every emit point into world space. A still
// emitter emits from its matrix; a moving one from its orbit position, carried
// round by the accumulated rotation. Copies share the mesh and buffers, each
// holding its own reference.
class PYRELUNE_API IEmitter : public ITransformObject, public CDeviceRestorable {
public:
    IEmitter(IDirect3DDevice9* pDevice, EmitterType type);
    IEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode, EmitterType type);
    // The caller has taken the type word off the archive.
    IEmitter(IDirect3DDevice9* pDevice, EmitterType type, CArchive& ar);
    IEmitter(const IEmitter& other);
    IEmitter& operator=(const IEmitter& other);
    ~IEmitter() override;

    void SetMatrix(const D3DXMATRIX& matrix) override { m_matrix = matrix; }
    D3DXMATRIX GetMatrix() const override { return m_matrix; }
    // Creates the debug shape mesh; the base has none.
    virtual void CreateMesh();
    virtual D3DXVECTOR3 GetEmitPoint() const = 0;
    virtual void LoadData(const Vastrel::Utils::CMyXMLNode* pNode);
    // Debug drawing: the wire-frame mesh placed by transform * world, and for a
    // moving emitter its axis and a grid around the around point.
    virtual void Render(D3DXMATRIX world) const;
    virtual void Save(Vastrel::Utils::CMyXMLNode* pNode) const;

    D3DXVECTOR3 GetMatrixPosition() const { return D3DXVECTOR3(m_matrix._41, m_matrix._42, m_matrix._43); }
    void SetRotationMatrix(const D3DXMATRIX& matrix) { m_rotationMatrix = matrix; }
    D3DXMATRIX GetRotationMatrix() const { return m_rotationMatrix; }
    void SetAroundPoint(const D3DXVECTOR3& point) { m_vAroundPoint = point; }
    D3DXVECTOR3 GetAroundPoint() const { return m_vAroundPoint; }
    // A zero vector is ignored; any other is stored normalised.
    void SetAroundAxis(const D3DXVECTOR3& axis);
    D3DXVECTOR3 GetAroundAxis() const { return m_vAroundAxis; }
    void SetRadius(float radius) { m_fAroundRadius = radius; }
    float GetRadius() const { return m_fAroundRadius; }
    // Radians per unit of the time given to RefreshRotationMatrix.
    void SetOrbitalVelocity(float velocity) { m_fOrbitalVelocity = velocity; }
    float GetOrbitalVelocity() const { return m_fOrbitalVelocity; }
    void SetShowAxis(bool show) { m_bShowAxis = show; }
    bool GetShowAxis() const { return m_bShowAxis; }
    void SetPosition(D3DXVECTOR3& position) { m_vPosition = position; }
    D3DXVECTOR3 GetPosition() const { return m_vPosition; }
    void SetEmitterMovementType(EEmitterMovementType type) { m_eMovementType = type; }
    EEmitterMovementType GetEmitterMovementType() const { return m_eMovementType; }
    EmitterType GetEmitterType() const { return m_eEmitterType; }
    int GetEmitterIntType() const { return m_eEmitterType; }
    ID3DXMesh* GetMesh() { return m_pMesh; }

    // Start point on the orbit; resets the rotation. Call after changing the movement.
    void RefreshPosition();
    // Advances the orbit by time * orbital velocity and rebuilds the transform.
    void RefreshRotationMatrix(float time);
    void CreateBuffers();
    void RenderAroundAxisAndPoint() const;
    // Writes the shared record; the kind's own fields follow it.
    void Copy(CArchive& ar) const;

protected:
    D3DXVECTOR3 GetTransformedPoint(const D3DXVECTOR3* pPoint) const;

    void OnLostDevice() override;
    void OnRestoreDevice() override;
    // Wire-frame fill and counter-clockwise culling on the stack, and the world transform.
    void PrepareWireframe(CRenderStateStack& states, const D3DXMATRIX& world) const;

    IDirect3DDevice9* m_pDevice;  // borrowed
    EmitterType m_eEmitterType;
    EEmitterMovementType m_eMovementType = EMT_NONE;
    D3DXMATRIX m_matrix;
    ID3DXMesh* m_pMesh = nullptr;  // debug shape, owned
    D3DXVECTOR3 m_vAroundPoint{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_vAroundAxis{0.0f, 1.0f, 0.0f};
    float m_fAroundRadius = 1.0f;
    float m_fOrbitalVelocity = 1.0f;
    bool m_bShowAxis = true;
    D3DXMATRIX m_rotationMatrix;  // orbital rotation accumulated so far
    D3DXVECTOR3 m_vPosition{0.0f, 0.0f, 0.0f};  // orbit start; replaces the matrix position while moving
    D3DXMATRIX m_transform;
    IDirect3DVertexBuffer9* m_pAxisVB = nullptr;  // 2 vertices
    IDirect3DVertexBuffer9* m_pGridVB = nullptr;  // 36 vertices

private:
    void SetDefaultMatrices();
    bool IsMoving() const;
    void FillAxisBuffer() const;
    void FillGridBuffer() const;
    void RenderMesh(const D3DXMATRIX& world) const;
    void AddDeviceReferences() const;
    void ReleaseDeviceObjects();
};

// ==== Shape emitters ====
// Each samples a point in or on its shape, centred on the local origin, and
// maps it through the transform. The random draws come in a fixed order, so a
// fixed seed reproduces the same points. Sizes missing from the XML keep the
// unit shape's.

class PYRELUNE_API CPointEmitter : public IEmitter {
public:
    explicit CPointEmitter(IDirect3DDevice9* pDevice);
    CPointEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    CPointEmitter(IDirect3DDevice9* pDevice, CArchive& ar);

    // The transform's origin; draws no random numbers.
    D3DXVECTOR3 GetEmitPoint() const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;
};

// FACE picks one of the six faces with equal chance, whatever its area.
class PYRELUNE_API CBoxEmitter : public IEmitter {
public:
    enum Type { INSIDE = 0, FACE = 1 };

    CBoxEmitter(IDirect3DDevice9* pDevice, float width, float height, float depth, Type type);
    CBoxEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    CBoxEmitter(IDirect3DDevice9* pDevice, CArchive& ar);

    void CreateMesh() override;
    D3DXVECTOR3 GetEmitPoint() const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    void Set(float width, float height, float depth);
    void SetWidth(float width) { m_fWidth = width; }
    float GetWidth() const { return m_fWidth; }
    void SetHeight(float height) { m_fHeight = height; }
    float GetHeight() const { return m_fHeight; }
    void SetDepth(float depth) { m_fDepth = depth; }
    float GetDepth() const { return m_fDepth; }
    void SetType(Type type) { m_eType = type; }
    Type GetType() const { return m_eType; }

private:
    float m_fWidth = 1.0f;   // along local x
    float m_fHeight = 1.0f;  // along y
    float m_fDepth = 1.0f;   // along z
    Type m_eType = INSIDE;
};

// Directions are drawn in a cube, so they favour the cube's corners; INSIDE
// spreads points evenly along the radius, packing them towards the centre.
class PYRELUNE_API CSphereEmitter : public IEmitter {
public:
    enum Type { INSIDE = 0, FACE = 1 };

    CSphereEmitter(IDirect3DDevice9* pDevice, float radius, Type type);
    CSphereEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    CSphereEmitter(IDirect3DDevice9* pDevice, CArchive& ar);

    void CreateMesh() override;
    D3DXVECTOR3 GetEmitPoint() const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    // The sphere's radius; hides the orbit's around radius.
    void SetRadius(float radius) { m_fRadius = radius; }
    float GetRadius() const { return m_fRadius; }
    void SetType(Type type) { m_eType = type; }
    Type GetType() const { return m_eType; }

private:
    float m_fRadius = 1.0f;
    Type m_eType = INSIDE;
};

// Along local z from radius 1 at -length/2 to radius 2 at +length/2; radius 2
// of 0 makes a cone. A zero length is a disc at the mean of the two radii.
class PYRELUNE_API CCylinderEmitter : public IEmitter {
public:
    enum Type { INSIDE = 0, FACE = 1 };

    CCylinderEmitter(IDirect3DDevice9* pDevice, float radius1, float radius2, float length, Type type);
    CCylinderEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    CCylinderEmitter(IDirect3DDevice9* pDevice, CArchive& ar);

    void CreateMesh() override;
    D3DXVECTOR3 GetEmitPoint() const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    void SetRadius1(float radius) { m_fRadius1 = radius; }
    float GetRadius1() const { return m_fRadius1; }
    void SetRadius2(float radius) { m_fRadius2 = radius; }
    float GetRadius2() const { return m_fRadius2; }
    void SetLength(float length) { m_fLength = length; }
    float GetLength() const { return m_fLength; }
    void SetType(Type type) { m_eType = type; }
    Type GetType() const { return m_eType; }

private:
    float m_fRadius1 = 1.0f;  // at the -z end
    float m_fRadius2 = 1.0f;  // at the +z end
    float m_fLength = 1.0f;
    Type m_eType = INSIDE;
};

// A ring in the local xy plane around the z axis.
class PYRELUNE_API CTorusEmitter : public IEmitter {
public:
    enum Type { INSIDE = 0, FACE = 1 };

    CTorusEmitter(IDirect3DDevice9* pDevice, float innerRadius, float outerRadius, Type type);
    CTorusEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    CTorusEmitter(IDirect3DDevice9* pDevice, CArchive& ar);

    void CreateMesh() override;
    D3DXVECTOR3 GetEmitPoint() const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    void SetInnerRadius(float radius) { m_fInnerRadius = radius; }
    float GetInnerRadius() const { return m_fInnerRadius; }
    void SetOuterRadius(float radius) { m_fOuterRadius = radius; }
    float GetOuterRadius() const { return m_fOuterRadius; }
    void SetType(Type type) { m_eType = type; }
    Type GetType() const { return m_eType; }

private:
    float m_fInnerRadius = 0.25f;  // the tube's radius
    float m_fOuterRadius = 1.0f;   // centre to the middle of the tube
    Type m_eType = INSIDE;
};

// ==== Static mesh emitter ====

// Emits from the vertices or the faces of a triangle mesh: an X file, or
// buffers the host already has. Positions and indices are kept in ordinary
// memory for sampling; the buffers only serve the wire-frame drawing. Face
// emission picks the face by a truncated draw, so the last face is rare, and
// crowds points towards each face's second corner. Geometry is checked when it
// is set: faces that are incomplete or name a vertex past the vertex array are
// dropped, so sampling never leaves the arrays.
class PYRELUNE_API CStaticMeshEmitter : public IEmitter {
public:
    explicit CStaticMeshEmitter(IDirect3DDevice9* pDevice);
    // A file that cannot be loaded leaves the emitter without geometry.
    CStaticMeshEmitter(IDirect3DDevice9* pDevice, const CString& fileName, bool faceEmit);
    // Uses the host's buffers themselves, holding a reference on each.
    CStaticMeshEmitter(IDirect3DDevice9* pDevice, IDirect3DVertexBuffer9* pVertexBuffer, unsigned long fvf,
                       unsigned int stride, unsigned int vertexCount, IDirect3DIndexBuffer9* pIndexBuffer,
                       unsigned int indexCount, bool faceEmit, CString fileName);
    // The geometry is loaded again from the recorded file.
    CStaticMeshEmitter(IDirect3DDevice9* pDevice, CArchive& ar);
    CStaticMeshEmitter(const CStaticMeshEmitter& other);
    CStaticMeshEmitter& operator=(const CStaticMeshEmitter& other);
    ~CStaticMeshEmitter() override;

    // Without positions: (0, 0, 0), not transformed.
    D3DXVECTOR3 GetEmitPoint() const override;
    void Render(D3DXMATRIX world) const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;

    // False (message 113) when the file cannot be loaded; the old geometry stays.
    bool SetMesh(const CString& fileName);
    // Copies the buffers, moving the positions by pMatrix when given. False,
    // changing nothing, when either buffer is null.
    bool SetMesh(IDirect3DVertexBuffer9* pVertexBuffer, IDirect3DIndexBuffer9* pIndexBuffer,
                 D3DXMATRIXA16* pMatrix);
    void SetFaceEmit(bool faceEmit) { m_bFaceEmit = faceEmit; }
    bool GetFaceEmit() const { return m_bFaceEmit; }
    CString GetFileName() const { return m_fileName; }
    void Copy(CArchive& ar) const;

private:
    void TakeMeshGeometry(ID3DXMesh* pMesh);
    void ReadIndices(unsigned int count);
    void ReadPositions(unsigned int vertexCount);
    void CopyVertices(IDirect3DVertexBuffer9* pSource, unsigned int vertexCount, const D3DXMATRIX* pMatrix);
    void CopyIndices(IDirect3DIndexBuffer9* pSource, unsigned int indexWidth);
    void DropInvalidFaces();
    D3DXVECTOR3 PointOnRandomFace() const;
    D3DXVECTOR3 RandomVertex() const;
    void CopyMeshFrom(const CStaticMeshEmitter& other);
    void ReleaseBuffers();

    IDirect3DVertexBuffer9* m_pVertexBuffer = nullptr;  // one reference held
    IDirect3DIndexBuffer9* m_pIndexBuffer = nullptr;    // one reference held; may stay null
    unsigned int m_nFaceCount = 0;
    unsigned long m_dwFVF = 0;
    unsigned int m_nStride = 0;  // bytes per vertex
    std::vector<D3DXVECTOR3> m_positions;
    std::vector<unsigned int> m_indices;  // three per face, widened from 16 bits
    CString m_fileName;                   // empty when the geometry came from buffers
    bool m_bFaceEmit = true;
};
