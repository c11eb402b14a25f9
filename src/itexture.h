// Textures: the shared, named images that particle systems draw with.
//
// Index
//   ==== Texture interface ====   loader hook, binding, the type word
//   ==== Single texture ====      CTexture, "SINGLE"
//   ==== Animated texture ====    CAnimTexture, "ANIMATED"
#pragma once

#include <vector>

#include <afx.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {
class CMyXMLNode;
}  // namespace Utils
}  // namespace Vastrel

// ==== Texture interface ====

// The base of the single and the animated texture; owned by the texture
// registry. The library never reads image files: every image comes from the
// host's loader, and the loader's side owns it (the library never releases a
// texture, and one texture may be shared by several pieces).
class PYRELUNE_API ITexture {
public:
    enum TextureType { TT_SINGLE = 0, TT_ANIMATED = 1 };

    // Writes the texture for the file, or leaves *ppTexture null. Paths arrive
    // with '/' separators, ready to open on this platform.
    typedef void (*TextureLoaderFunction)(const CString& file, IDirect3DTexture9** ppTexture);

    ITexture(IDirect3DDevice9* pDevice, TextureType type);
    virtual ~ITexture();

    // With an effect: its "DiffuseTex" parameter; otherwise the device's stage.
    virtual void Enable(unsigned int stage, ID3DXEffect* pEffect) const;
    virtual void Disable(unsigned int stage) const;
    // Writes itself to *ppOut and returns true when it is of kind id
    // (0 single, 1 animated); otherwise *ppOut is left alone.
    virtual bool QueryInterface(int id, void** ppOut) = 0;
    virtual void Save(Vastrel::Utils::CMyXMLNode* pNode) const = 0;

    TextureType GetTextureType() const;
    int GetTextureIntType() const;
    // The type word that begins every texture record; readers take it first.
    void Copy(CArchive& ar) const;

    // Used by every texture; register it before the first texture is created.
    static void RegisterTextureLoaderFunction(TextureLoaderFunction pFunction);

protected:
    // The loader's texture for path, or null after report 101 (also when no
    // loader is registered).
    static IDirect3DTexture9* LoadOrReport(const CString& path);

    // Set by RegisterTextureLoaderFunction; null until then. Process-wide.
    static TextureLoaderFunction m_pTextureLoaderFunction;

    IDirect3DDevice9* m_pDevice;      // not owned
    IDirect3DTexture9* m_pTexture;    // what Enable binds; null until loaded or selected
    TextureType m_eType;
};

// ==== Single texture ====

class PYRELUNE_API CTexture : public ITexture {
public:
    explicit CTexture(IDirect3DDevice9* pDevice);
    CTexture(IDirect3DDevice9* pDevice, const CString& file);
    // "fileName" is taken relative to the document; without it the texture stays empty.
    CTexture(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    // Reads the record after its type word and loads the file.
    CTexture(IDirect3DDevice9* pDevice, CArchive& ar);

    bool QueryInterface(int id, void** ppOut) override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    // Loads file; the file name is kept even when the load fails.
    void CreateFrame(const CString& file);
    void SetTexture(const CString& file);

    CString GetFileName() const;

private:
    CString m_strFileName;
};

// ==== Animated texture ====

// A sequence of frames. The particle systems pick a frame per particle with
// SetFrame; Update plays the sequence by time for hosts that want it. Past
// the last frame the position wraps when looping and sticks to the last frame
// otherwise.
class PYRELUNE_API CAnimTexture : public ITexture {
public:
    explicit CAnimTexture(IDirect3DDevice9* pDevice);
    CAnimTexture(IDirect3DDevice9* pDevice, const CString* names, unsigned int count, float speed, bool loop);
    CAnimTexture(IDirect3DDevice9* pDevice, const CString& base, const CString& ext, unsigned int start,
                 unsigned int count, int step, float speed, bool loop);
    // A list of "AddTexture" children, or the numbered form when there are no children.
    CAnimTexture(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);
    // Reads the record after its type word and loads the files.
    CAnimTexture(IDirect3DDevice9* pDevice, CArchive& ar);

    bool QueryInterface(int id, void** ppOut) override;
    // Always a list of "AddTexture" children when there are file names.
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    void Set(const CString* names, unsigned int count);
    void Set(const CString& base, const CString& ext, unsigned int start, unsigned int count, int step);
    // Paths are resolved against the document's file name ("" = as given).
    void CreateFrames(const CString* names, unsigned int count, const CString& document);
    // Files "<base><number>.<ext>", numbers start + i * step with at least
    // four digits. A count above the frame limit is reported and ignored.
    void CreateFrames(const CString& base, const CString& ext, unsigned int start, unsigned int count, int step,
                      const CString& document);
    // Forgets the frames and file names; nothing is bound afterwards.
    void Clear();

    // Keeps the bound frame when frame lands outside the frames.
    void SetFrame(float frame);
    // Advances by dt * speed; binds nothing when that lands outside the frames.
    void Update(float dt);

    unsigned int GetFrameCount() const;
    float GetCurrentFrame() const;
    float GetSpeed() const;
    void SetSpeed(float speed);
    bool GetLoop() const;
    void SetLoop(bool loop);
    // One per requested frame, as written in the request, loaded or not.
    const std::vector<CString>& GetFileNames() const;
    CString GetBaseFileName() const;
    CString GetExtension() const;
    unsigned int GetStartIndex() const;
    int GetStepSize() const;

private:
    void ReadElement(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadNumberedForm(const Vastrel::Utils::CMyXMLNode* pNode, const CString& document);
    void AddFrame(const CString& name, const CString& path);
    void WrapCurrentFrame();
    // The frame under the current position, or null outside the frames.
    IDirect3DTexture9* CurrentFrameTexture() const;
    void SaveFileList(Vastrel::Utils::CMyXMLNode* pNode) const;
    void SaveNumberedForm(Vastrel::Utils::CMyXMLNode* pNode) const;

    std::vector<IDirect3DTexture9*> m_frames;  // loaded frames only; not owned
    float m_fCurrentFrame;
    float m_fSpeed;  // frames per second
    bool m_bLoop;
    std::vector<CString> m_fileNames;
    // The numbered form, as last requested.
    CString m_strBaseFileName;
    CString m_strExtension;
    unsigned int m_uStartIndex;
    int m_iStepSize;
    // Each file name resolved against the document it came from, so that a
    // save into another folder still points at the same files.
    std::vector<CString> m_framePaths;
};
