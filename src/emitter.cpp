// Index
//   ==== Emitter base ====
//   ==== Shape emitters ====
//   ==== Static mesh emitter ====
#include "emitter.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include <platform/d3dxarchive.h>

#include "Corvantis/cd3dwatch.h"
#include "UtilsSrc/calc.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/utility.h"
#include "renderstatestack.h"

using Vastrel::Utils::Calc;
using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::Utility;

// ==== Emitter base ====

namespace {

const char* const kEmitterSource = "src/emitter";
const UINT kVertexStride = 12;  // D3DFVF_XYZ
const UINT kAxisVertexCount = 2;
const UINT kGridLineCount = 18;
const float kAxisHalfLength = 100.0f;
const float kGridCellSize = 0.5f;
const int kGridCells = 8;
const DWORD kAxisColor = 0xff22bb22;  // opaque green

struct SMovementTypeName {
    EEmitterMovementType type;
    const char* name;
};

const SMovementTypeName kMovementTypeNames[] = {
    {EMT_NONE, "NONE"},
    {EMT_AROUND_POINT, "AROUND_POINT"},
    {EMT_AROUND_AXIS, "AROUND_AXIS"},
};


bool MovementTypeFromName(const CString& name, EEmitterMovementType& type) {
    for (const SMovementTypeName& row : kMovementTypeNames) {
        if (name == row.name) {
            type = row.type;
            return true;
        }
    }
    return false;
}

const char* MovementTypeName(EEmitterMovementType type) {
    for (const SMovementTypeName& row : kMovementTypeNames)
        if (row.type == type) return row.name;
    return nullptr;
}

// A helper vector across n: the z axis, or the x axis when n is the z axis.
D3DXVECTOR3 HelperAcross(const D3DXVECTOR3& n) {
    return n == D3DXVECTOR3(0.0f, 0.0f, 1.0f) ? D3DXVECTOR3(1.0f, 0.0f, 0.0f) : D3DXVECTOR3(0.0f, 0.0f, 1.0f);
}

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v) {
    D3DXVECTOR3 out;
    return *D3DXVec3Normalize(&out, &v);
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 out;
    return *D3DXVec3Cross(&out, &a, &b);
}

D3DXMATRIX Translation(const D3DXVECTOR3& v) {
    D3DXMATRIX out;
    return *D3DXMatrixTranslation(&out, v.x, v.y, v.z);
}

IDirect3DVertexBuffer9* CreateLineBuffer(IDirect3DDevice9* pDevice, UINT vertexCount, long line) {
    IDirect3DVertexBuffer9* pBuffer = nullptr;
    CD3DWatch::SafeCreateVertexBuffer(kEmitterSource, line, pDevice, vertexCount * kVertexStride,
                                      D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_DEFAULT,
                                      &pBuffer, nullptr);
    return pBuffer;
}

D3DXVECTOR3* LockForDiscard(IDirect3DVertexBuffer9* pBuffer) {
    void* pData = nullptr;
    if (FAILED(pBuffer->Lock(0, 0, &pData, D3DLOCK_DISCARD))) return nullptr;
    return static_cast<D3DXVECTOR3*>(pData);
}

}  // namespace

IEmitter::IEmitter(IDirect3DDevice9* pDevice, EmitterType type) : m_pDevice(pDevice), m_eEmitterType(type) {
    SetDefaultMatrices();
    CreateBuffers();
}

IEmitter::IEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode, EmitterType type)
    : m_pDevice(pDevice), m_eEmitterType(type) {
    SetDefaultMatrices();
    IEmitter::LoadData(pNode);
    CreateBuffers();
}

IEmitter::IEmitter(IDirect3DDevice9* pDevice, EmitterType type, CArchive& ar)
    : m_pDevice(pDevice), m_eEmitterType(type) {
    SetDefaultMatrices();
    ar >> m_matrix >> m_eMovementType >> m_vAroundPoint >> m_vAroundAxis >> m_fAroundRadius >> m_fOrbitalVelocity;
    RefreshPosition();
    CreateBuffers();
}

IEmitter::IEmitter(const IEmitter& other)
    : ITransformObject(other), CDeviceRestorable(other), m_pDevice(other.m_pDevice), m_eEmitterType(other.m_eEmitterType) {
    *this = other;
}

// The source's references are taken before this emitter's own are dropped, so
// objects shared by both survive.
IEmitter& IEmitter::operator=(const IEmitter& other) {
    if (this == &other) return *this;
    other.AddDeviceReferences();
    ReleaseDeviceObjects();
    ITransformObject::operator=(other);
    CDeviceRestorable::operator=(other);
    m_pDevice = other.m_pDevice;
    m_eEmitterType = other.m_eEmitterType;
    m_eMovementType = other.m_eMovementType;
    m_matrix = other.m_matrix;
    m_pMesh = other.m_pMesh;
    m_vAroundPoint = other.m_vAroundPoint;
    m_vAroundAxis = other.m_vAroundAxis;
    m_fAroundRadius = other.m_fAroundRadius;
    m_fOrbitalVelocity = other.m_fOrbitalVelocity;
    m_bShowAxis = other.m_bShowAxis;
    m_rotationMatrix = other.m_rotationMatrix;
    m_vPosition = other.m_vPosition;
    m_transform = other.m_transform;
    m_pAxisVB = other.m_pAxisVB;
    m_pGridVB = other.m_pGridVB;
    return *this;
}

IEmitter::~IEmitter() { ReleaseDeviceObjects(); }

void IEmitter::CreateMesh() { m_pMesh = nullptr; }

void IEmitter::LoadData(const CMyXMLNode* pNode) {
    for (const CMyXMLNode* pChild : pNode->GetChildrens())
        if (pChild->GetName() == "Matrix") pChild->GetMatrixContent(m_matrix);
    CString movementName;
    if (pNode->GetAttribute("movementType", movementName)) MovementTypeFromName(movementName, m_eMovementType);
    pNode->GetVector3DAttribute("aroundPoint", m_vAroundPoint);
    pNode->GetVector3DAttribute("aroundAxis", m_vAroundAxis);
    pNode->GetFloatAttribute("aroundRadius", m_fAroundRadius);
    pNode->GetFloatAttribute("orbitalVelocity", m_fOrbitalVelocity);
    RefreshPosition();
}

void IEmitter::Render(D3DXMATRIX world) const {
    if (m_pMesh) RenderMesh(world);
    if (!IsMoving() || !m_bShowAxis || !m_pAxisVB || !m_pGridVB) return;
    FillAxisBuffer();
    FillGridBuffer();
    RenderAroundAxisAndPoint();
}

void IEmitter::Save(CMyXMLNode* pNode) const {
    pNode->AddMatrixChildren("Matrix", m_matrix);
    if (const char* name = MovementTypeName(m_eMovementType)) pNode->SetAttribute("movementType", CString(name));
    pNode->SetAttribute("aroundPoint", m_vAroundPoint);
    pNode->SetAttribute("aroundAxis", m_vAroundAxis);
    pNode->SetAttribute("aroundRadius", m_fAroundRadius);
    pNode->SetAttribute("orbitalVelocity", m_fOrbitalVelocity);
}

void IEmitter::SetAroundAxis(const D3DXVECTOR3& axis) {
    if (axis == D3DXVECTOR3(0.0f, 0.0f, 0.0f)) return;
    m_vAroundAxis = Normalized(axis);
}

void IEmitter::RefreshPosition() {
    if (m_eMovementType == EMT_NONE) D3DXMatrixIdentity(&m_rotationMatrix);
    if (!IsMoving()) return;
    const D3DXVECTOR3 matrixPosition = GetMatrixPosition();
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &matrixPosition, &m_vAroundAxis);
    D3DXVECTOR3 foot(0.0f, 0.0f, 0.0f);
    D3DXPlaneIntersectLine(&foot, &plane, &origin, &m_vAroundAxis);
    D3DXVECTOR3 across = matrixPosition - foot;
    if (across == origin) across = Cross(m_vAroundAxis, HelperAcross(m_vAroundAxis));
    const D3DXVECTOR3 offset = m_vAroundPoint + m_fAroundRadius * Normalized(across);
    m_vPosition = m_eMovementType == EMT_AROUND_AXIS ? foot + offset : offset;
    D3DXMatrixIdentity(&m_rotationMatrix);
}

void IEmitter::RefreshRotationMatrix(float time) {
    if (!IsMoving()) {
        D3DXMatrixIdentity(&m_rotationMatrix);
        m_transform = m_matrix;
        return;
    }
    D3DXMATRIX rotation;
    D3DXMatrixRotationAxis(&rotation, &m_vAroundAxis, time * m_fOrbitalVelocity);
    m_rotationMatrix = m_rotationMatrix * Translation(-m_vAroundPoint) * rotation * Translation(m_vAroundPoint);
    D3DXMATRIX placed = m_matrix;
    placed._41 = m_vPosition.x;
    placed._42 = m_vPosition.y;
    placed._43 = m_vPosition.z;
    m_transform = placed * m_rotationMatrix;
}

void IEmitter::CreateBuffers() {
    SafeRelease(kEmitterSource, __LINE__, &m_pAxisVB);
    m_pAxisVB = CreateLineBuffer(m_pDevice, kAxisVertexCount, __LINE__);
    SafeRelease(kEmitterSource, __LINE__, &m_pGridVB);
    m_pGridVB = CreateLineBuffer(m_pDevice, 2 * kGridLineCount, __LINE__);
}

void IEmitter::RenderAroundAxisAndPoint() const {
    const detail::CDebugLineStates states(m_pDevice, kAxisColor);
    m_pDevice->SetStreamSource(0, m_pAxisVB, 0, kVertexStride);
    m_pDevice->DrawPrimitive(D3DPT_LINELIST, 0, 1);
    m_pDevice->SetStreamSource(0, m_pGridVB, 0, kVertexStride);
    m_pDevice->DrawPrimitive(D3DPT_LINELIST, 0, kGridLineCount);
}

void IEmitter::Copy(CArchive& ar) const {
    ar << m_eEmitterType << m_matrix << m_eMovementType << m_vAroundPoint << m_vAroundAxis << m_fAroundRadius
       << m_fOrbitalVelocity;
}

D3DXVECTOR3 IEmitter::GetTransformedPoint(const D3DXVECTOR3* pPoint) const {
    D3DXVECTOR3 out;
    return *D3DXVec3TransformCoord(&out, pPoint, &m_transform);
}

void IEmitter::OnLostDevice() {
    SafeRelease(kEmitterSource, __LINE__, &m_pAxisVB);
    SafeRelease(kEmitterSource, __LINE__, &m_pGridVB);
}

void IEmitter::OnRestoreDevice() { CreateBuffers(); }

void IEmitter::SetDefaultMatrices() {
    D3DXMatrixIdentity(&m_matrix);
    D3DXMatrixIdentity(&m_rotationMatrix);
    D3DXMatrixIdentity(&m_transform);
}

bool IEmitter::IsMoving() const {
    return m_eMovementType == EMT_AROUND_POINT || m_eMovementType == EMT_AROUND_AXIS;
}

void IEmitter::FillAxisBuffer() const {
    D3DXVECTOR3* pVertices = LockForDiscard(m_pAxisVB);
    if (!pVertices) return;
    pVertices[0] = m_vAroundPoint - kAxisHalfLength * m_vAroundAxis;
    pVertices[1] = m_vAroundPoint + kAxisHalfLength * m_vAroundAxis;
    m_pAxisVB->Unlock();
}

// An 8 x 8 grid of 0.5-unit cells centred on the around point, across the axis.
void IEmitter::FillGridBuffer() const {
    const D3DXVECTOR3 n = Normalized(m_vAroundAxis);
    const D3DXVECTOR3 a = kGridCellSize * Normalized(Cross(n, HelperAcross(n)));
    const D3DXVECTOR3 b = kGridCellSize * Normalized(Cross(n, a));
    const float half = kGridCells / 2.0f;
    const D3DXVECTOR3 corner = m_vAroundPoint - half * a - half * b;
    D3DXVECTOR3* pVertices = LockForDiscard(m_pGridVB);
    if (!pVertices) return;
    for (int i = 0; i <= kGridCells; ++i) {
        *pVertices++ = corner + float(i) * a;
        *pVertices++ = corner + float(i) * a + float(kGridCells) * b;
    }
    for (int i = 0; i <= kGridCells; ++i) {
        *pVertices++ = corner + float(i) * b;
        *pVertices++ = corner + float(i) * b + float(kGridCells) * a;
    }
    m_pGridVB->Unlock();
}

void IEmitter::RenderMesh(const D3DXMATRIX& world) const {
    CRenderStateStack states(m_pDevice);
    PrepareWireframe(states, m_transform * world);
    m_pMesh->DrawSubset(0);
}

void IEmitter::PrepareWireframe(CRenderStateStack& states, const D3DXMATRIX& world) const {
    states.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    states.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    m_pDevice->SetTransform(D3DTS_WORLD, &world);
}

void IEmitter::AddDeviceReferences() const {
    if (m_pAxisVB) m_pAxisVB->AddRef();
    if (m_pGridVB) m_pGridVB->AddRef();
    if (m_pMesh) m_pMesh->AddRef();
}

void IEmitter::ReleaseDeviceObjects() {
    SafeRelease(kEmitterSource, __LINE__, &m_pAxisVB);
    SafeRelease(kEmitterSource, __LINE__, &m_pGridVB);
    SafeRelease(kEmitterSource, __LINE__, &m_pMesh);
}

// ==== Shape emitters ====

namespace {

// "emitType" of the solid kinds: every kind's Type has these two values.
const char* const kEmitTypeNames[] = {"INSIDE", "FACE"};
const int kEmitTypeCount = sizeof(kEmitTypeNames) / sizeof(kEmitTypeNames[0]);

// Unknown or missing text gives INSIDE.
template <class E>
E ReadEmitType(const CMyXMLNode* pNode) {
    CString name;
    pNode->GetAttribute("emitType", name);
    for (int value = 0; value < kEmitTypeCount; ++value)
        if (name == kEmitTypeNames[value]) return static_cast<E>(value);
    return static_cast<E>(0);
}

struct SFloatField {
    const char* name;
    float* field;
};

struct SFloatValue {
    const char* name;
    float value;
};

// A missing attribute leaves its field at the unit shape's size.
void ReadSizes(const CMyXMLNode* pNode, std::initializer_list<SFloatField> sizes) {
    for (const SFloatField& size : sizes) pNode->GetFloatAttribute(size.name, *size.field);
}

// "type", the sizes and "emitType"; the caller then saves the shared part.
void SaveSolid(CMyXMLNode* pNode, const char* typeName, std::initializer_list<SFloatValue> sizes, int emitType) {
    pNode->SetAttribute("type", typeName);
    for (const SFloatValue& size : sizes) pNode->SetAttribute(size.name, size.value);
    if (emitType >= 0 && emitType < kEmitTypeCount) pNode->SetAttribute("emitType", kEmitTypeNames[emitType]);
}

float Uniform(float low, float high) { return Calc<float>::GetRandomValue(low, high); }

float UniformUpTo(float max) { return Calc<float>::GetRandomValue(max); }

// Separate statements keep the draw order x, y, z.
D3DXVECTOR3 UniformInBox(const D3DXVECTOR3& half) {
    D3DXVECTOR3 point;
    point.x = Uniform(-half.x, half.x);
    point.y = Uniform(-half.y, half.y);
    point.z = Uniform(-half.z, half.z);
    return point;
}

D3DXVECTOR3 FlatDirection() {
    const float x = Uniform(-1.0f, 1.0f);
    const float y = Uniform(-1.0f, 1.0f);
    return Normalized(D3DXVECTOR3(x, y, 0.0f));
}

struct SBoxFace {
    int axis;
    float side;
};

// Face k of a FACE box: +y, -y, +x, -x, +z, -z.
const SBoxFace kBoxFaces[] = {{1, 1.0f}, {1, -1.0f}, {0, 1.0f}, {0, -1.0f}, {2, 1.0f}, {2, -1.0f}};
const int kBoxFaceCount = sizeof(kBoxFaces) / sizeof(kBoxFaces[0]);

void PushOntoRandomFace(D3DXVECTOR3& point, const D3DXVECTOR3& half) {
    const int k = std::min(static_cast<int>(kBoxFaceCount * UniformUpTo(1.0f)), kBoxFaceCount - 1);
    const SBoxFace& face = kBoxFaces[k];
    point[face.axis] = face.side * half[face.axis];
}

// Radius 1 at -length/2, radius 2 at +length/2. A zero-length cylinder is a
// disc where the whole height range collapses onto z = 0: it takes the radius
// halfway between the ends, as a short cylinder's middle does, instead of 0/0.
float CylinderRadiusAt(float z, float radius1, float radius2, float length) {
    const float fromTop = length == 0.0f ? 0.5f : (length * 0.5f - z) / length;
    return radius2 + (radius1 - radius2) * fromTop;
}

}  // namespace

CPointEmitter::CPointEmitter(IDirect3DDevice9* pDevice) : IEmitter(pDevice, ET_POINT) {}

CPointEmitter::CPointEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode)
    : IEmitter(pDevice, pNode, ET_POINT) {}

CPointEmitter::CPointEmitter(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_POINT, ar) {}

D3DXVECTOR3 CPointEmitter::GetEmitPoint() const {
    return D3DXVECTOR3(m_transform._41, m_transform._42, m_transform._43);
}

void CPointEmitter::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("type", "POINT");
    IEmitter::Save(pNode);
}

void CPointEmitter::Copy(CArchive& ar) const { IEmitter::Copy(ar); }

CBoxEmitter::CBoxEmitter(IDirect3DDevice9* pDevice, float width, float height, float depth, Type type)
    : IEmitter(pDevice, ET_BOX), m_fWidth(width), m_fHeight(height), m_fDepth(depth), m_eType(type) {}

CBoxEmitter::CBoxEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) : IEmitter(pDevice, pNode, ET_BOX) {
    ReadSizes(pNode, {{"width", &m_fWidth}, {"height", &m_fHeight}, {"depth", &m_fDepth}});
    m_eType = ReadEmitType<Type>(pNode);
}

CBoxEmitter::CBoxEmitter(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_BOX, ar) {
    ar >> m_fWidth >> m_fHeight >> m_fDepth >> m_eType;
}

void CBoxEmitter::CreateMesh() {
    SafeRelease(kEmitterSource, __LINE__, &m_pMesh);
    CD3DWatch::SafeCreateBox(kEmitterSource, __LINE__, m_pDevice, m_fWidth, m_fHeight, m_fDepth, &m_pMesh, nullptr);
}

D3DXVECTOR3 CBoxEmitter::GetEmitPoint() const {
    const D3DXVECTOR3 half = 0.5f * D3DXVECTOR3(m_fWidth, m_fHeight, m_fDepth);
    D3DXVECTOR3 point = UniformInBox(half);
    if (m_eType == FACE) PushOntoRandomFace(point, half);
    return GetTransformedPoint(&point);
}

void CBoxEmitter::Save(CMyXMLNode* pNode) const {
    SaveSolid(pNode, "BOX", {{"width", m_fWidth}, {"height", m_fHeight}, {"depth", m_fDepth}}, m_eType);
    IEmitter::Save(pNode);
}

void CBoxEmitter::Copy(CArchive& ar) const {
    IEmitter::Copy(ar);
    ar << m_fWidth << m_fHeight << m_fDepth << m_eType;
}

void CBoxEmitter::Set(float width, float height, float depth) {
    m_fWidth = width;
    m_fHeight = height;
    m_fDepth = depth;
}

CSphereEmitter::CSphereEmitter(IDirect3DDevice9* pDevice, float radius, Type type)
    : IEmitter(pDevice, ET_SPHERE), m_fRadius(radius), m_eType(type) {}

CSphereEmitter::CSphereEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode)
    : IEmitter(pDevice, pNode, ET_SPHERE) {
    ReadSizes(pNode, {{"radius", &m_fRadius}});
    m_eType = ReadEmitType<Type>(pNode);
}

CSphereEmitter::CSphereEmitter(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_SPHERE, ar) {
    ar >> m_fRadius >> m_eType;
}

void CSphereEmitter::CreateMesh() {
    SafeRelease(kEmitterSource, __LINE__, &m_pMesh);
    CD3DWatch::SafeCreateSphere(kEmitterSource, __LINE__, m_pDevice, m_fRadius, 8, 8, &m_pMesh, nullptr);
}

D3DXVECTOR3 CSphereEmitter::GetEmitPoint() const {
    const D3DXVECTOR3 direction = UniformInBox(D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    const float distance = m_eType == INSIDE ? UniformUpTo(m_fRadius) : m_fRadius;
    const D3DXVECTOR3 point = distance * Normalized(direction);
    return GetTransformedPoint(&point);
}

void CSphereEmitter::Save(CMyXMLNode* pNode) const {
    SaveSolid(pNode, "SPHERE", {{"radius", m_fRadius}}, m_eType);
    IEmitter::Save(pNode);
}

void CSphereEmitter::Copy(CArchive& ar) const {
    IEmitter::Copy(ar);
    ar << m_fRadius << m_eType;
}

CCylinderEmitter::CCylinderEmitter(IDirect3DDevice9* pDevice, float radius1, float radius2, float length, Type type)
    : IEmitter(pDevice, ET_CYLINDER), m_fRadius1(radius1), m_fRadius2(radius2), m_fLength(length), m_eType(type) {}

CCylinderEmitter::CCylinderEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode)
    : IEmitter(pDevice, pNode, ET_CYLINDER) {
    ReadSizes(pNode, {{"radius1", &m_fRadius1}, {"radius2", &m_fRadius2}, {"length", &m_fLength}});
    m_eType = ReadEmitType<Type>(pNode);
}

CCylinderEmitter::CCylinderEmitter(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_CYLINDER, ar) {
    ar >> m_fRadius1 >> m_fRadius2 >> m_fLength >> m_eType;
}

void CCylinderEmitter::CreateMesh() {
    SafeRelease(kEmitterSource, __LINE__, &m_pMesh);
    CD3DWatch::SafeCreateCylinder(kEmitterSource, __LINE__, m_pDevice, m_fRadius1, m_fRadius2, m_fLength, 8, 8,
                                  &m_pMesh, nullptr);
}

D3DXVECTOR3 CCylinderEmitter::GetEmitPoint() const {
    const float halfLength = m_fLength * 0.5f;
    const float z = Uniform(-halfLength, halfLength);
    const D3DXVECTOR3 across = FlatDirection();
    const float radius = CylinderRadiusAt(z, m_fRadius1, m_fRadius2, m_fLength);
    const float distance = m_eType == INSIDE ? UniformUpTo(radius) : radius;
    const D3DXVECTOR3 point(across.x * distance, across.y * distance, z);
    return GetTransformedPoint(&point);
}

void CCylinderEmitter::Save(CMyXMLNode* pNode) const {
    SaveSolid(pNode, "CYLINDER", {{"radius1", m_fRadius1}, {"radius2", m_fRadius2}, {"length", m_fLength}},
              m_eType);
    IEmitter::Save(pNode);
}

void CCylinderEmitter::Copy(CArchive& ar) const {
    IEmitter::Copy(ar);
    ar << m_fRadius1 << m_fRadius2 << m_fLength << m_eType;
}

CTorusEmitter::CTorusEmitter(IDirect3DDevice9* pDevice, float innerRadius, float outerRadius, Type type)
    : IEmitter(pDevice, ET_TORUS), m_fInnerRadius(innerRadius), m_fOuterRadius(outerRadius), m_eType(type) {}

CTorusEmitter::CTorusEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode)
    : IEmitter(pDevice, pNode, ET_TORUS) {
    ReadSizes(pNode, {{"innerradius", &m_fInnerRadius}, {"outerradius", &m_fOuterRadius}});
    m_eType = ReadEmitType<Type>(pNode);
}

CTorusEmitter::CTorusEmitter(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_TORUS, ar) {
    ar >> m_fInnerRadius >> m_fOuterRadius >> m_eType;
}

void CTorusEmitter::CreateMesh() {
    SafeRelease(kEmitterSource, __LINE__, &m_pMesh);
    CD3DWatch::SafeCreateTorus(kEmitterSource, __LINE__, m_pDevice, m_fInnerRadius, m_fOuterRadius, 8, 8, &m_pMesh,
                               nullptr);
}

// The ring direction d, then the direction from the ring to the point in the
// plane through the z axis and d.
D3DXVECTOR3 CTorusEmitter::GetEmitPoint() const {
    const D3DXVECTOR3 ring = FlatDirection();
    const float outward = Uniform(-m_fInnerRadius, m_fInnerRadius);
    const float up = Uniform(-1.0f, 1.0f);
    const D3DXVECTOR3 offset = Normalized(D3DXVECTOR3(outward * ring.x, outward * ring.y, up));
    const float distance = m_eType == INSIDE ? UniformUpTo(m_fInnerRadius) : m_fInnerRadius;
    const D3DXVECTOR3 point = m_fOuterRadius * ring + distance * offset;
    return GetTransformedPoint(&point);
}

void CTorusEmitter::Save(CMyXMLNode* pNode) const {
    SaveSolid(pNode, "TORUS", {{"innerradius", m_fInnerRadius}, {"outerradius", m_fOuterRadius}}, m_eType);
    IEmitter::Save(pNode);
}

void CTorusEmitter::Copy(CArchive& ar) const {
    IEmitter::Copy(ar);
    ar << m_fInnerRadius << m_fOuterRadius << m_eType;
}

// ==== Static mesh emitter ====

namespace {

const int kMissingXFileMessage = 113;
const UINT kPositionSize = sizeof(D3DXVECTOR3);  // the first bytes of every vertex

// Bytes per index, or 0 for a format that is not an index format.
UINT IndexWidth(D3DFORMAT format) {
    if (format == D3DFMT_INDEX16) return 2;
    if (format == D3DFMT_INDEX32) return 4;
    return 0;
}

// count indices of width bytes each, widened to 32 bits.
std::vector<unsigned int> WidenIndices(const void* pData, UINT width, size_t count) {
    std::vector<unsigned int> indices(count);
    if (count == 0) return indices;
    if (width == 4) {
        std::memcpy(indices.data(), pData, count * width);
        return indices;
    }
    const WORD* pShort = static_cast<const WORD*>(pData);
    std::copy(pShort, pShort + count, indices.begin());
    return indices;
}

D3DXVECTOR3 ReadPosition(const BYTE* pVertex) {
    D3DXVECTOR3 position;
    std::memcpy(&position, pVertex, kPositionSize);
    return position;
}

CString DocumentFileName(const CMyXMLNode* pNode) {
    const Vastrel::Utils::CMyXMLParser* pParser = pNode->GetParser();
    return pParser ? pParser->GetFileName() : CString();
}

template <class Buffer>
BYTE* LockWhole(Buffer* pBuffer, UINT size) {
    void* pData = nullptr;
    if (FAILED(pBuffer->Lock(0, size, &pData, 0))) return nullptr;
    return static_cast<BYTE*>(pData);
}

}  // namespace

CStaticMeshEmitter::CStaticMeshEmitter(IDirect3DDevice9* pDevice) : IEmitter(pDevice, ET_STATICMESH) {}

CStaticMeshEmitter::CStaticMeshEmitter(IDirect3DDevice9* pDevice, const CString& fileName, bool faceEmit)
    : IEmitter(pDevice, ET_STATICMESH), m_bFaceEmit(faceEmit) {
    SetMesh(fileName);
}

CStaticMeshEmitter::CStaticMeshEmitter(IDirect3DDevice9* pDevice, IDirect3DVertexBuffer9* pVertexBuffer,
                                       unsigned long fvf, unsigned int stride, unsigned int vertexCount,
                                       IDirect3DIndexBuffer9* pIndexBuffer, unsigned int indexCount, bool faceEmit,
                                       CString fileName)
    : IEmitter(pDevice, ET_STATICMESH),
      m_pVertexBuffer(pVertexBuffer),
      m_pIndexBuffer(pIndexBuffer),
      m_nFaceCount(indexCount / 3),
      m_dwFVF(fvf),
      m_nStride(stride),
      m_fileName(fileName),
      m_bFaceEmit(faceEmit) {
    if (m_pVertexBuffer) m_pVertexBuffer->AddRef();
    if (m_pIndexBuffer) m_pIndexBuffer->AddRef();
    ReadIndices(indexCount);
    ReadPositions(vertexCount);
    DropInvalidFaces();
}

CStaticMeshEmitter::CStaticMeshEmitter(IDirect3DDevice9* pDevice, CArchive& ar)
    : IEmitter(pDevice, ET_STATICMESH, ar) {
    ar >> m_dwFVF >> m_nStride >> m_fileName >> m_bFaceEmit;
    SetMesh(m_fileName);
}

CStaticMeshEmitter::CStaticMeshEmitter(const CStaticMeshEmitter& other) : IEmitter(other) { CopyMeshFrom(other); }

CStaticMeshEmitter& CStaticMeshEmitter::operator=(const CStaticMeshEmitter& other) {
    if (this == &other) return *this;
    IEmitter::operator=(other);
    CopyMeshFrom(other);
    return *this;
}

CStaticMeshEmitter::~CStaticMeshEmitter() { ReleaseBuffers(); }

D3DXVECTOR3 CStaticMeshEmitter::GetEmitPoint() const {
    if (m_positions.empty()) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 point = m_bFaceEmit && !m_indices.empty() ? PointOnRandomFace() : RandomVertex();
    return GetTransformedPoint(&point);
}

void CStaticMeshEmitter::Render(D3DXMATRIX world) const {
    if (!m_pVertexBuffer) return;
    CRenderStateStack states(m_pDevice);
    PrepareWireframe(states, m_transform * world);
    m_pDevice->SetStreamSource(0, m_pVertexBuffer, 0, m_nStride);
    m_pDevice->SetVertexShader(nullptr);
    m_pDevice->SetPixelShader(nullptr);
    m_pDevice->SetFVF(m_dwFVF);
    const UINT vertexCount = static_cast<UINT>(m_positions.size());
    if (!m_pIndexBuffer) {
        m_pDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount / 3);
        return;
    }
    m_pDevice->SetIndices(m_pIndexBuffer);
    m_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0, m_nFaceCount);
}

void CStaticMeshEmitter::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("type", "STATICMESH_FROMXFILE");
    pNode->SetAttribute("fileName", Utility::GetRelativePath(m_fileName, DocumentFileName(pNode)));
    pNode->SetAttribute("emitType", m_bFaceEmit ? "FACE" : "VERTEX");
    IEmitter::Save(pNode);
}

bool CStaticMeshEmitter::SetMesh(const CString& fileName) {
    m_fileName = fileName;
    ID3DXMesh* pMesh = nullptr;
    CD3DWatch::SafeLoadMeshFromX(kEmitterSource, __LINE__, Utility::ToNativePath(fileName), D3DXMESH_SYSTEMMEM,
                                 m_pDevice, nullptr, nullptr, nullptr, nullptr, &pMesh);
    if (!pMesh) {
        Vastrel::Utils::ReportError(kEmitterSource, __LINE__, kMissingXFileMessage, fileName.GetString());
        return false;
    }
    TakeMeshGeometry(pMesh);
    SafeRelease(kEmitterSource, __LINE__, &pMesh);
    return true;
}

bool CStaticMeshEmitter::SetMesh(IDirect3DVertexBuffer9* pVertexBuffer, IDirect3DIndexBuffer9* pIndexBuffer,
                                 D3DXMATRIXA16* pMatrix) {
    if (!pVertexBuffer || !pIndexBuffer) return false;
    m_fileName.Empty();
    ReleaseBuffers();
    D3DVERTEXBUFFER_DESC vertexDesc;
    D3DINDEXBUFFER_DESC indexDesc;
    pVertexBuffer->GetDesc(&vertexDesc);
    pIndexBuffer->GetDesc(&indexDesc);
    const UINT indexWidth = IndexWidth(indexDesc.Format);
    if (indexWidth) m_nFaceCount = indexDesc.Size / indexWidth / 3;
    m_dwFVF = vertexDesc.FVF;
    m_nStride = D3DXGetFVFVertexSize(m_dwFVF);
    CopyVertices(pVertexBuffer, m_nStride ? vertexDesc.Size / m_nStride : 0, pMatrix);
    if (indexWidth) CopyIndices(pIndexBuffer, indexWidth);
    DropInvalidFaces();
    return true;
}

void CStaticMeshEmitter::Copy(CArchive& ar) const {
    IEmitter::Copy(ar);
    ar << m_dwFVF << m_nStride << m_fileName << m_bFaceEmit;
}

void CStaticMeshEmitter::TakeMeshGeometry(ID3DXMesh* pMesh) {
    ReleaseBuffers();
    m_dwFVF = pMesh->GetFVF();
    m_nStride = D3DXGetFVFVertexSize(m_dwFVF);
    CD3DWatch::SafeGetVertexBuffer(kEmitterSource, __LINE__, pMesh, &m_pVertexBuffer);
    CD3DWatch::SafeGetIndexBuffer(kEmitterSource, __LINE__, pMesh, &m_pIndexBuffer);
    m_nFaceCount = pMesh->GetNumFaces();
    ReadIndices(m_nFaceCount * 3);
    ReadPositions(pMesh->GetNumVertices());
    DropInvalidFaces();
}

// Reads no further than the buffer holds, whatever count claims.
void CStaticMeshEmitter::ReadIndices(unsigned int count) {
    if (!m_pIndexBuffer) return;
    D3DINDEXBUFFER_DESC desc;
    m_pIndexBuffer->GetDesc(&desc);
    const UINT width = IndexWidth(desc.Format);
    if (!width) return;
    const UINT available = std::min<UINT>(count, desc.Size / width);
    const BYTE* pData = LockWhole(m_pIndexBuffer, available * width);
    if (!pData) return;
    m_indices = WidenIndices(pData, width, available);
    m_pIndexBuffer->Unlock();
}

// Positions are read only when a vertex can hold one, and no further than the
// buffer holds; a buffer that cannot be locked leaves none.
void CStaticMeshEmitter::ReadPositions(unsigned int vertexCount) {
    m_positions.clear();
    if (!m_pVertexBuffer || m_nStride < kPositionSize) return;
    D3DVERTEXBUFFER_DESC desc;
    m_pVertexBuffer->GetDesc(&desc);
    const UINT available = std::min<UINT>(vertexCount, desc.Size / m_nStride);
    const BYTE* pData = LockWhole(m_pVertexBuffer, available * m_nStride);
    if (!pData) return;
    m_positions.resize(available);
    for (UINT i = 0; i < available; ++i) m_positions[i] = ReadPosition(pData + i * m_nStride);
    m_pVertexBuffer->Unlock();
}

// The new buffer holds the source's bytes, with every position moved by
// pMatrix when there is one.
void CStaticMeshEmitter::CopyVertices(IDirect3DVertexBuffer9* pSource, unsigned int vertexCount,
                                      const D3DXMATRIX* pMatrix) {
    m_positions.clear();
    const UINT size = vertexCount * m_nStride;
    CD3DWatch::SafeCreateVertexBuffer(kEmitterSource, __LINE__, m_pDevice, size, D3DUSAGE_WRITEONLY, m_dwFVF,
                                      D3DPOOL_MANAGED, &m_pVertexBuffer, nullptr);
    if (!m_pVertexBuffer || m_nStride < kPositionSize) return;
    const BYTE* pFrom = LockWhole(pSource, size);
    BYTE* pTo = pFrom ? LockWhole(m_pVertexBuffer, size) : nullptr;
    if (pTo) {
        std::memcpy(pTo, pFrom, size);
        m_positions.resize(vertexCount);
        for (UINT i = 0; i < vertexCount; ++i) {
            D3DXVECTOR3 position = ReadPosition(pFrom + i * m_nStride);
            if (pMatrix) D3DXVec3TransformCoord(&position, &position, pMatrix);
            m_positions[i] = position;
            std::memcpy(pTo + i * m_nStride, &position, kPositionSize);
        }
        m_pVertexBuffer->Unlock();
    }
    if (pFrom) pSource->Unlock();
}

void CStaticMeshEmitter::CopyIndices(IDirect3DIndexBuffer9* pSource, unsigned int indexWidth) {
    D3DINDEXBUFFER_DESC desc;
    pSource->GetDesc(&desc);
    const UINT count = m_nFaceCount * 3;
    const UINT size = count * indexWidth;
    CD3DWatch::SafeCreateIndexBuffer(kEmitterSource, __LINE__, m_pDevice, size, D3DUSAGE_WRITEONLY, desc.Format,
                                     D3DPOOL_MANAGED, &m_pIndexBuffer, nullptr);
    m_indices.clear();
    if (!m_pIndexBuffer) return;
    const BYTE* pFrom = LockWhole(pSource, size);
    BYTE* pTo = pFrom ? LockWhole(m_pIndexBuffer, size) : nullptr;
    if (pTo) {
        std::memcpy(pTo, pFrom, size);
        m_indices = WidenIndices(pFrom, indexWidth, count);
        m_pIndexBuffer->Unlock();
    }
    if (pFrom) pSource->Unlock();
}

// Keeps only whole faces whose three indices name stored positions, so
// sampling never leaves the arrays; the face count follows.
void CStaticMeshEmitter::DropInvalidFaces() {
    const size_t vertexCount = m_positions.size();
    std::vector<unsigned int> kept;
    kept.reserve(m_indices.size() - m_indices.size() % 3);
    for (size_t face = 0; face + 3 <= m_indices.size(); face += 3) {
        const unsigned int* corners = &m_indices[face];
        if (corners[0] < vertexCount && corners[1] < vertexCount && corners[2] < vertexCount)
            kept.insert(kept.end(), corners, corners + 3);
    }
    m_indices.swap(kept);
    m_nFaceCount = static_cast<unsigned int>(m_indices.size() / 3);
}

// The truncated face draw reaches the last face only when rand() is 32767.
D3DXVECTOR3 CStaticMeshEmitter::PointOnRandomFace() const {
    const unsigned int faceCount = static_cast<unsigned int>(m_indices.size() / 3);
    const unsigned int face = Calc<unsigned int>::GetRandomValue(faceCount - 1);
    const D3DXVECTOR3& a = m_positions[m_indices[3 * face]];
    const D3DXVECTOR3& b = m_positions[m_indices[3 * face + 1]];
    const D3DXVECTOR3& c = m_positions[m_indices[3 * face + 2]];
    const float u1 = UniformUpTo(1.0f);
    const float u2 = UniformUpTo(1.0f);
    const float u3 = UniformUpTo(1.0f);
    const D3DXVECTOR3 alongAB = Calc<D3DXVECTOR3>::LinearInterpolation(a, b, u1);
    const D3DXVECTOR3 alongCB = Calc<D3DXVECTOR3>::LinearInterpolation(c, b, u2);
    return Calc<D3DXVECTOR3>::LinearInterpolation(alongAB, alongCB, u3);
}

D3DXVECTOR3 CStaticMeshEmitter::RandomVertex() const {
    const size_t count = m_positions.size();
    const size_t k = std::min(static_cast<size_t>(UniformUpTo(1.0f) * count), count - 1);
    return m_positions[k];
}

// Each copy holds its own reference on the buffers, taken before this
// emitter's are dropped so that shared buffers survive.
void CStaticMeshEmitter::CopyMeshFrom(const CStaticMeshEmitter& other) {
    if (other.m_pVertexBuffer) other.m_pVertexBuffer->AddRef();
    if (other.m_pIndexBuffer) other.m_pIndexBuffer->AddRef();
    ReleaseBuffers();
    m_pVertexBuffer = other.m_pVertexBuffer;
    m_pIndexBuffer = other.m_pIndexBuffer;
    m_nFaceCount = other.m_nFaceCount;
    m_dwFVF = other.m_dwFVF;
    m_nStride = other.m_nStride;
    m_positions = other.m_positions;
    m_indices = other.m_indices;
    m_fileName = other.m_fileName;
    m_bFaceEmit = other.m_bFaceEmit;
}

void CStaticMeshEmitter::ReleaseBuffers() {
    SafeRelease(kEmitterSource, __LINE__, &m_pIndexBuffer);
    SafeRelease(kEmitterSource, __LINE__, &m_pVertexBuffer);
}
