// Textures: the host's loader hook, the single texture and the animated one.
//
// Index
//   ==== Helpers ====             limits, document paths, numbered names
//   ==== Texture interface ====   loader hook, binding, the type word
//   ==== Single texture ====      CTexture, "SINGLE"
//   ==== Animated texture ====    CAnimTexture, "ANIMATED"
#include "itexture.h"

#include "UtilsSrc/calc.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/utility.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::Utility;

// ==== Helpers ====

namespace {

const char* const kSource = "src/itexture";
const int kMissingBitmapMessage = 101;  // "Nincs meg ez a bitmap: %s!"

// Most frames of one numbered animation. Numbers carry four digits, so a
// longer flip-book is a wrong count (a "-1" read as four billion would call
// the loader for hours), not an animation.
constexpr long long kMaxAnimationFrames = 10000;

bool IsFrameCountAllowed(long long count, const CString& base) {
    if (count >= 0 && count <= kMaxAnimationFrames) return true;
    Vastrel::Utils::detail::ReportText(kSource, __LINE__,
                                       "Animated texture '%s': frame count %lld is outside 0 to %lld "
                                       "(kMaxAnimationFrames); the request is ignored",
                                       base.GetString(), count, kMaxAnimationFrames);
    return false;
}

// The file name of the document that holds pNode; empty for a detached node.
CString DocumentPath(const CMyXMLNode* pNode) {
    const Vastrel::Utils::CMyXMLParser* pParser = pNode->GetParser();
    return pParser ? pParser->GetFileName() : CString();
}

CString NumberedName(const CString& base, long long number, const CString& ext) {
    CString name;
    name.Format("%s%04lld.%s", base.GetString(), number, ext.GetString());
    return name;
}

CString StringAttribute(const CMyXMLNode* pNode, const char* name) {
    CString value;
    pNode->GetAttribute(name, value);
    return value;
}

int IntAttribute(const CMyXMLNode* pNode, const char* name, int fallback) {
    int value = fallback;
    pNode->GetIntAttribute(name, value);
    return value;
}

}  // namespace

// ==== Texture interface ====

ITexture::TextureLoaderFunction ITexture::m_pTextureLoaderFunction = nullptr;

ITexture::ITexture(IDirect3DDevice9* pDevice, TextureType type)
    : m_pDevice(pDevice), m_pTexture(nullptr), m_eType(type) {}

ITexture::~ITexture() = default;

void ITexture::Enable(unsigned int stage, ID3DXEffect* pEffect) const {
    if (pEffect) {
        pEffect->SetTexture("DiffuseTex", m_pTexture);
    } else if (m_pDevice) {
        m_pDevice->SetTexture(stage, m_pTexture);
    }
}

void ITexture::Disable(unsigned int stage) const {
    if (m_pDevice) m_pDevice->SetTexture(stage, nullptr);
}

ITexture::TextureType ITexture::GetTextureType() const { return m_eType; }

int ITexture::GetTextureIntType() const { return m_eType; }

void ITexture::Copy(CArchive& ar) const { ar << m_eType; }

void ITexture::RegisterTextureLoaderFunction(TextureLoaderFunction pFunction) {
    m_pTextureLoaderFunction = pFunction;
}

IDirect3DTexture9* ITexture::LoadOrReport(const CString& path) {
    const CString nativePath = Utility::ToNativePath(path);
    IDirect3DTexture9* pTexture = nullptr;
    if (m_pTextureLoaderFunction) m_pTextureLoaderFunction(nativePath, &pTexture);
    if (!pTexture) Vastrel::Utils::ReportError(kSource, __LINE__, kMissingBitmapMessage, nativePath.GetString());
    return pTexture;
}

// ==== Single texture ====

CTexture::CTexture(IDirect3DDevice9* pDevice) : ITexture(pDevice, TT_SINGLE) {}

CTexture::CTexture(IDirect3DDevice9* pDevice, const CString& file) : ITexture(pDevice, TT_SINGLE) {
    CreateFrame(file);
}

CTexture::CTexture(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) : ITexture(pDevice, TT_SINGLE) {
    CString file;
    if (pNode && pNode->GetAttribute("fileName", file)) {
        CreateFrame(Utility::GetAbsolutePath(file, DocumentPath(pNode)));
    }
}

CTexture::CTexture(IDirect3DDevice9* pDevice, CArchive& ar) : ITexture(pDevice, TT_SINGLE) {
    CString file;
    ar >> file;
    CreateFrame(file);
}

bool CTexture::QueryInterface(int id, void** ppOut) {
    if (id != TT_SINGLE) return false;
    *ppOut = this;
    return true;
}

void CTexture::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("type", "SINGLE");
    pNode->SetAttribute("fileName", Utility::GetRelativePath(m_strFileName, DocumentPath(pNode)));
}

void CTexture::Copy(CArchive& ar) const {
    ITexture::Copy(ar);
    ar << m_strFileName;
}

void CTexture::CreateFrame(const CString& file) {
    m_pTexture = LoadOrReport(file);
    m_strFileName = file;
}

void CTexture::SetTexture(const CString& file) { CreateFrame(file); }

CString CTexture::GetFileName() const { return m_strFileName; }

// ==== Animated texture ====

CAnimTexture::CAnimTexture(IDirect3DDevice9* pDevice)
    : ITexture(pDevice, TT_ANIMATED),
      m_fCurrentFrame(0.0f),
      m_fSpeed(0.0f),
      m_bLoop(false),
      m_uStartIndex(0),
      m_iStepSize(1) {}

CAnimTexture::CAnimTexture(IDirect3DDevice9* pDevice, const CString* names, unsigned int count, float speed,
                           bool loop)
    : CAnimTexture(pDevice) {
    Set(names, count);
    m_fSpeed = speed;
    m_bLoop = loop;
}

CAnimTexture::CAnimTexture(IDirect3DDevice9* pDevice, const CString& base, const CString& ext, unsigned int start,
                           unsigned int count, int step, float speed, bool loop)
    : CAnimTexture(pDevice) {
    Set(base, ext, start, count, step);
    m_fSpeed = speed;
    m_bLoop = loop;
}

CAnimTexture::CAnimTexture(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) : CAnimTexture(pDevice) {
    if (pNode) ReadElement(pNode);
}

CAnimTexture::CAnimTexture(IDirect3DDevice9* pDevice, CArchive& ar) : CAnimTexture(pDevice) {
    unsigned int count = 0;
    ar >> count;
    ar.EnsureAvailable(count);  // every name takes at least its length byte
    std::vector<CString> names(count);
    for (CString& name : names) ar >> name;
    CreateFrames(names.data(), count, CString());
    ar >> m_fSpeed >> m_bLoop;
}

void CAnimTexture::ReadElement(const CMyXMLNode* pNode) {
    float speed = 1.0f;
    bool loop = true;
    pNode->GetFloatAttribute("speed", speed);
    pNode->GetBoolAttribute("loop", loop);
    const CString document = DocumentPath(pNode);
    if (pNode->GetChildrenCount() > 0) {
        std::vector<CString> names;
        for (const CMyXMLNode* pChild : pNode->GetChildrens()) {
            names.push_back(pChild->GetName() == "AddTexture" ? pChild->GetContent() : CString());
        }
        CreateFrames(names.data(), pNode->GetChildrenCount(), document);
    } else {
        ReadNumberedForm(pNode, document);
    }
    m_fSpeed = speed;
    m_bLoop = loop;
}

void CAnimTexture::ReadNumberedForm(const CMyXMLNode* pNode, const CString& document) {
    const CString base = StringAttribute(pNode, "baseFileName");
    const int count = IntAttribute(pNode, "count", 0);
    if (!IsFrameCountAllowed(count, base)) return;
    CreateFrames(base, StringAttribute(pNode, "ext"), static_cast<unsigned int>(IntAttribute(pNode, "start", 0)),
                 static_cast<unsigned int>(count), IntAttribute(pNode, "step", 1), document);
}

bool CAnimTexture::QueryInterface(int id, void** ppOut) {
    if (id != TT_ANIMATED) return false;
    *ppOut = this;
    return true;
}

void CAnimTexture::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("type", "ANIMATED");
    pNode->SetAttribute("speed", m_fSpeed);
    pNode->SetAttribute("loop", m_bLoop);
    if (m_fileNames.empty()) {
        SaveNumberedForm(pNode);
    } else {
        SaveFileList(pNode);
    }
}

void CAnimTexture::SaveFileList(CMyXMLNode* pNode) const {
    const CString document = DocumentPath(pNode);
    for (const CString& path : m_framePaths) {
        pNode->AddChildren("AddTexture")->SetContent(Utility::GetRelativePath(path, document));
    }
}

void CAnimTexture::SaveNumberedForm(CMyXMLNode* pNode) const {
    pNode->SetAttribute("baseFileName", m_strBaseFileName);
    pNode->SetAttribute("ext", m_strExtension);
    pNode->SetAttribute("start", static_cast<int>(m_uStartIndex));
    pNode->SetAttribute("count", static_cast<int>(GetFrameCount()));
    pNode->SetAttribute("step", m_iStepSize);
}

// Only the first names, one per loaded frame, go into the record.
void CAnimTexture::Copy(CArchive& ar) const {
    ITexture::Copy(ar);
    ar << GetFrameCount();
    for (unsigned int i = 0; i < GetFrameCount(); ++i) ar << m_fileNames[i];
    ar << m_fSpeed << m_bLoop;
}

void CAnimTexture::Set(const CString* names, unsigned int count) { CreateFrames(names, count, CString()); }

void CAnimTexture::Set(const CString& base, const CString& ext, unsigned int start, unsigned int count, int step) {
    CreateFrames(base, ext, start, count, step, CString());
}

void CAnimTexture::CreateFrames(const CString* names, unsigned int count, const CString& document) {
    Clear();
    for (unsigned int i = 0; i < count; ++i) AddFrame(names[i], Utility::GetAbsolutePath(names[i], document));
}

void CAnimTexture::CreateFrames(const CString& base, const CString& ext, unsigned int start, unsigned int count,
                                int step, const CString& document) {
    if (!IsFrameCountAllowed(count, base)) return;
    Clear();
    m_strBaseFileName = base;
    m_strExtension = ext;
    m_uStartIndex = start;
    m_iStepSize = step;
    m_fCurrentFrame = 0.0f;
    const CString absoluteBase = Utility::GetAbsolutePath(base, document);
    for (unsigned int i = 0; i < count; ++i) {
        const long long number = start + static_cast<long long>(i) * step;
        AddFrame(NumberedName(base, number, ext), NumberedName(absoluteBase, number, ext));
    }
}

void CAnimTexture::AddFrame(const CString& name, const CString& path) {
    m_fileNames.push_back(name);
    m_framePaths.push_back(path);
    if (IDirect3DTexture9* pTexture = LoadOrReport(path)) m_frames.push_back(pTexture);
}

void CAnimTexture::Clear() {
    m_frames.clear();
    m_fileNames.clear();
    m_framePaths.clear();
    m_pTexture = nullptr;
}

void CAnimTexture::SetFrame(float frame) {
    m_fCurrentFrame = frame;
    WrapCurrentFrame();
    if (IDirect3DTexture9* pTexture = CurrentFrameTexture()) m_pTexture = pTexture;
}

void CAnimTexture::Update(float dt) {
    m_fCurrentFrame += dt * m_fSpeed;
    WrapCurrentFrame();
    m_pTexture = CurrentFrameTexture();
}

void CAnimTexture::WrapCurrentFrame() {
    const float count = static_cast<float>(m_frames.size());
    if (m_fCurrentFrame < count) return;
    if (m_bLoop) {
        Vastrel::Utils::Calc<float>::retmid(m_fCurrentFrame, 0.0f, count);
    } else {
        m_fCurrentFrame = count - 1.0f;
    }
}

IDirect3DTexture9* CAnimTexture::CurrentFrameTexture() const {
    const bool inside = m_fCurrentFrame >= 0.0f && m_fCurrentFrame < static_cast<float>(m_frames.size());
    return inside ? m_frames[static_cast<size_t>(m_fCurrentFrame)] : nullptr;
}

unsigned int CAnimTexture::GetFrameCount() const { return static_cast<unsigned int>(m_frames.size()); }

float CAnimTexture::GetCurrentFrame() const { return m_fCurrentFrame; }

float CAnimTexture::GetSpeed() const { return m_fSpeed; }

void CAnimTexture::SetSpeed(float speed) { m_fSpeed = speed; }

bool CAnimTexture::GetLoop() const { return m_bLoop; }

void CAnimTexture::SetLoop(bool loop) { m_bLoop = loop; }

const std::vector<CString>& CAnimTexture::GetFileNames() const { return m_fileNames; }

CString CAnimTexture::GetBaseFileName() const { return m_strBaseFileName; }

CString CAnimTexture::GetExtension() const { return m_strExtension; }

unsigned int CAnimTexture::GetStartIndex() const { return m_uStartIndex; }

int CAnimTexture::GetStepSize() const { return m_iStepSize; }
