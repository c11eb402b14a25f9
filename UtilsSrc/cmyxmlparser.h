// The XML document layer: every definition element is read from and written
// to a tree of CMyXMLNode objects, whose typed getters and setters fix the
// text formats of the definition documents. CMyXMLParser ties a tree to a
// file through an IXMLParser; CLibXMLParser does the work with libxml2.
//
// Text formats: integers "%d"; floats "%.5f" with a '.' whatever the host's
// locale; bools "TRUE"/"FALSE"; colours "r g b a"; vectors their floats
// separated by spaces. Numbers are read as successive tokens of digits, one
// leading '-' and, for floats, '.'; anything else separates them, and a
// missing number reads as 0.
#pragma once

#include <map>
#include <vector>

#include "platform/cstring.h"
#include "platform/d3dxmath.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

class CMyXMLParser;

// One element: name, attributes in byte-wise name order, text content and
// owned children. Nodes are not copyable.
class PYRELUNE_API CMyXMLNode {
public:
    CMyXMLNode(CMyXMLParser* parser, CString name);
    // Deletes the children, recursively.
    ~CMyXMLNode();
    CMyXMLNode(const CMyXMLNode&) = delete;
    CMyXMLNode& operator=(const CMyXMLNode&) = delete;

    // The new child carries this node's parser; this node owns it.
    CMyXMLNode* AddChildren(CString name);
    // A child "name" with the rows of matrix as "Right", "Up", "At", "Pos".
    void AddMatrixChildren(const CString& name, const D3DXMATRIX& matrix);

    CMyXMLParser* GetParser();
    const CMyXMLParser* GetParser() const;
    // Null for a node constructed directly, such as a root.
    CMyXMLNode* GetParent() const;
    void SetName(CString name);
    CString GetName() const;

    const std::vector<CMyXMLNode*>& GetChildrens() const;
    // Null when index is at or beyond the count.
    CMyXMLNode* GetChildren(unsigned int index);
    const CMyXMLNode* GetChildren(unsigned int index) const;
    unsigned int GetChildrenCount() const;
    unsigned int GetAttributeCount() const;
    const std::map<CString, CString>& GetAttributes() const;

    // Exact lookup; value is left alone when the attribute is absent.
    bool GetAttribute(const CString& name, CString& value) const;
    // The attribute at index in name order; both left alone when out of range.
    bool GetAttribute(unsigned int index, CString& name, CString& value) const;

    void SetAttribute(const CString& name, CString value);
    // Keeps a string literal from choosing the bool overload.
    void SetAttribute(const CString& name, const char* value);
    void SetAttribute(const CString& name, int value);
    void SetAttribute(const CString& name, unsigned int value);
    void SetAttribute(const CString& name, float value);
    void SetAttribute(const CString& name, bool value);
    // ARGB colour.
    void SetAttribute(const CString& name, const unsigned long& value);
    void SetAttribute(const CString& name, const D3DXVECTOR2& value);
    void SetAttribute(const CString& name, const D3DXVECTOR3& value);
    void SetAttribute(const CString& name, const D3DXVECTOR4& value);

    void SetContent(const CString& value);
    void SetContent(const char* value);
    void SetContent(int value);
    void SetContent(unsigned int value);
    void SetContent(float value);
    void SetContent(bool value);
    void SetContent(const unsigned long& value);
    void SetContent(const D3DXVECTOR2& value);
    void SetContent(const D3DXVECTOR3& value);
    void SetContent(const D3DXVECTOR4& value);
    CString GetContent() const;

    // Absent: false, value untouched. Present: parsed (0 when unparsable), true.
    virtual bool GetIntAttribute(const CString& name, int& value) const;
    virtual bool GetFloatAttribute(const CString& name, float& value) const;
    virtual bool GetBoolAttribute(const CString& name, bool& value) const;
    virtual bool GetColorAttribute(const CString& name, unsigned long& value) const;
    virtual bool GetVector2DAttribute(const CString& name, D3DXVECTOR2& value) const;
    virtual bool GetVector3DAttribute(const CString& name, D3DXVECTOR3& value) const;
    virtual bool GetVector4DAttribute(const CString& name, D3DXVECTOR4& value) const;
    // Applies the children ("Right", "Up", "At", "Pos", "RotateXYZ",
    // "RotateAxis", "Scale") to matrix in document order; the translation row
    // is never moved by a rotation or scale.
    virtual void GetMatrixContent(D3DXMATRIX& matrix) const;
    // The content parsed; the output is always written.
    virtual void GetIntContent(int& value) const;
    virtual void GetFloatContent(float& value) const;
    virtual void GetBoolContent(bool& value) const;
    virtual void GetColorContent(unsigned long& value) const;
    virtual void GetVector2DContent(D3DXVECTOR2& value) const;
    virtual void GetVector3DContent(D3DXVECTOR3& value) const;
    virtual void GetVector4DContent(D3DXVECTOR4& value) const;

private:
    CMyXMLParser* m_pParser;
    CMyXMLNode* m_pParent;
    std::vector<CMyXMLNode*> m_children;  // owned, in document order
    CString m_name;
    std::map<CString, CString> m_attributes;
    CString m_content;
};

// The file back end of a CMyXMLParser.
class PYRELUNE_API IXMLParser {
public:
    explicit IXMLParser(CMyXMLParser* owner);
    IXMLParser(const IXMLParser&) = delete;
    IXMLParser& operator=(const IXMLParser&) = delete;

    // Replaces the tree with the file's; returns the new root (null on failure).
    virtual CMyXMLNode* Read(const CString& fileName, CMyXMLNode* node) = 0;
    // Writes root, or the tree read before when root is null.
    virtual void Write(const CString& fileName, CMyXMLNode* root, unsigned int format) = 0;
    // Deletes the tree read.
    virtual ~IXMLParser();

    CMyXMLNode* GetRoot() const;

protected:
    CMyXMLParser* m_pOwner;
    CMyXMLNode* m_pRoot;  // owned; null until a read succeeds
};

// Reads and writes with libxml2. Documents are untrusted: nothing is fetched
// from the network, no DTD or external entity is loaded, and entity
// references are not expanded into the tree.
class PYRELUNE_API CLibXMLParser : public IXMLParser {
public:
    explicit CLibXMLParser(CMyXMLParser* owner);

    CMyXMLNode* Read(const CString& fileName, CMyXMLNode* node) override;
    void Write(const CString& fileName, CMyXMLNode* root, unsigned int format) override;
    // Resets libxml2's global state, then the base deletes the tree.
    ~CLibXMLParser() override;
};

// The file handle that the library uses: construct with the file name,
// Create(), then Read or Write. The tree read dies with the parser.
class PYRELUNE_API CMyXMLParser {
public:
    explicit CMyXMLParser(const CString& fileName);
    CMyXMLParser(const CMyXMLParser&) = delete;
    CMyXMLParser& operator=(const CMyXMLParser&) = delete;

    virtual ~CMyXMLParser();
    // Creates the implementation, owned by this parser.
    virtual IXMLParser* Create();

    void SetFileName(const CString& fileName);
    CString GetFileName() const;
    // Does nothing before Create(); the tree is reached through the
    // implementation's GetRoot().
    CMyXMLNode* Read(CMyXMLNode* node);
    // format is libxml2's flag: 1 writes an indented document.
    void Write(CMyXMLNode* root, unsigned int format);

private:
    IXMLParser* m_pImplementation;
    CString m_fileName;
};

}  // namespace Utils
}  // namespace Vastrel
