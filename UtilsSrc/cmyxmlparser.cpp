// Index
//   ==== Number text ====
//   ==== Matrix steps ====
//   ==== CMyXMLNode ====
//   ==== Document bytes ====
//   ==== Reading ====
//   ==== Writing ====
//   ==== IXMLParser and CLibXMLParser ====
//   ==== CMyXMLParser ====
#include "UtilsSrc/cmyxmlparser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <locale.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "UtilsSrc/calc.h"
#include "UtilsSrc/cmylog.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/inputlimits.h"
#include "UtilsSrc/utility.h"

namespace Vastrel {
namespace Utils {
namespace {

const char kSourceFile[] = "UtilsSrc/cmyxmlparser";

// ==== Number text ====

// Reads successive numbers from one text: both kinds share the position, so
// "3.7" reads as the integer 3 and then 7.
class CNumberScanner {
public:
    explicit CNumberScanner(const CString& text) : m_text(text.str()) {}

    int NextInt() {
        const std::string token = NextToken(false);
        if (token.empty()) return 0;
        // Documents come from a platform whose long is 32 bits.
        return static_cast<int>(std::clamp<long>(std::strtol(token.c_str(), nullptr, 10), INT_MIN, INT_MAX));
    }

    float NextFloat() {
        const std::string token = NextToken(true);
        return token.empty() ? 0.0f : static_cast<float>(strtod_l(token.c_str(), nullptr, CLocale()));
    }

private:
    // Digits, a '-' only at the start and optionally '.'; any other character
    // ends a token, or is skipped before one.
    std::string NextToken(bool acceptDot) {
        std::string token;
        while (m_position < m_text.size()) {
            const char ch = m_text[m_position++];
            if ((ch >= '0' && ch <= '9') || (ch == '-' && token.empty()) || (ch == '.' && acceptDot)) {
                token += ch;
            } else if (!token.empty()) {
                break;
            }
        }
        return token;
    }

    // Number text uses '.' whatever the host's locale says.
    static locale_t CLocale() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return cLocale;
    }

    const std::string& m_text;
    size_t m_position = 0;
};

int ComponentCount(const D3DXVECTOR2&) { return 2; }
int ComponentCount(const D3DXVECTOR3&) { return 3; }
int ComponentCount(const D3DXVECTOR4&) { return 4; }

CString FormatFloats(const float* values, int count) {
    CString text;
    for (int i = 0; i < count; ++i) text.AppendFormat(i ? " %.5f" : "%.5f", values[i]);
    return text;
}

CString ToText(int value) {
    CString text;
    text.Format("%d", value);
    return text;
}
CString ToText(unsigned int value) { return ToText(static_cast<int>(value)); }
CString ToText(float value) { return FormatFloats(&value, 1); }
CString ToText(bool value) { return value ? "TRUE" : "FALSE"; }
CString ToText(const unsigned long& color) {
    CString text;
    text.Format("%d %d %d %d", static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>(color & 0xFF), static_cast<int>((color >> 24) & 0xFF));
    return text;
}
template <class V>
CString ToText(const V& vector) { return FormatFloats(vector, ComponentCount(vector)); }

void Parse(const CString& text, int& value) { value = CNumberScanner(text).NextInt(); }
void Parse(const CString& text, float& value) { value = CNumberScanner(text).NextFloat(); }
void Parse(const CString& text, bool& value) { value = text.CompareNoCase("TRUE") == 0 || text == "1"; }
void Parse(const CString& text, unsigned long& color) {
    CNumberScanner scanner(text);
    const unsigned long red = scanner.NextInt() & 0xFF;
    const unsigned long green = scanner.NextInt() & 0xFF;
    const unsigned long blue = scanner.NextInt() & 0xFF;
    const unsigned long alpha = scanner.NextInt() & 0xFF;
    color = (alpha << 24) | (red << 16) | (green << 8) | blue;
}
template <class V>
void Parse(const CString& text, V& vector) {
    CNumberScanner scanner(text);
    float* components = vector;
    for (int i = 0; i < ComponentCount(vector); ++i) components[i] = scanner.NextFloat();
}

// ==== Matrix steps ====

// Element names of the matrix rows, top to bottom.
const char* const kMatrixRows[] = {"Right", "Up", "At", "Pos"};

int MatrixRowIndex(const CString& name) {
    for (int row = 0; row < 4; ++row) {
        if (name == kMatrixRows[row]) return row;
    }
    return -1;
}

D3DXVECTOR4 MatrixRow(const D3DXMATRIX& matrix, int row) { return D3DXVECTOR4(matrix.m[row]); }

void SetMatrixRow(D3DXMATRIX& matrix, int row, const D3DXVECTOR4& values) {
    std::copy_n(static_cast<const float*>(values), 4, matrix.m[row]);
}

// m = m * factor for each factor in turn; the translation row stays put.
void MultiplyKeepingTranslation(D3DXMATRIX& matrix, std::initializer_list<D3DXMATRIX> factors) {
    const D3DXVECTOR4 translation = MatrixRow(matrix, 3);
    for (const D3DXMATRIX& factor : factors) D3DXMatrixMultiply(&matrix, &matrix, &factor);
    SetMatrixRow(matrix, 3, translation);
}

float FloatAttributeOrZero(const CMyXMLNode& step, const char* name) {
    float value = 0.0f;
    step.GetFloatAttribute(name, value);
    return value;
}

void ApplyRotateXYZ(const CMyXMLNode& step, D3DXMATRIX& matrix) {
    D3DXMATRIX rotationX, rotationY, rotationZ;
    D3DXMatrixRotationX(&rotationX, Calc<float>::DegreeToRadian(FloatAttributeOrZero(step, "x")));
    D3DXMatrixRotationY(&rotationY, Calc<float>::DegreeToRadian(FloatAttributeOrZero(step, "y")));
    D3DXMatrixRotationZ(&rotationZ, Calc<float>::DegreeToRadian(FloatAttributeOrZero(step, "z")));
    MultiplyKeepingTranslation(matrix, {rotationX, rotationY, rotationZ});
}

void ApplyRotateAxis(const CMyXMLNode& step, D3DXMATRIX& matrix) {
    D3DXVECTOR3 axis;
    float angle = 0.0f;
    const bool hasAxis = step.GetVector3DAttribute("axis", axis);
    if (!hasAxis || !step.GetFloatAttribute("angle", angle)) return;
    D3DXMATRIX rotation;
    D3DXMatrixRotationAxis(&rotation, &axis, Calc<float>::DegreeToRadian(angle));
    MultiplyKeepingTranslation(matrix, {rotation});
}

// A missing factor is 0, not 1.
void ApplyScale(const CMyXMLNode& step, D3DXMATRIX& matrix) {
    D3DXMATRIX scaling;
    D3DXMatrixScaling(&scaling, FloatAttributeOrZero(step, "x"), FloatAttributeOrZero(step, "y"),
                      FloatAttributeOrZero(step, "z"));
    MultiplyKeepingTranslation(matrix, {scaling});
}

struct SMatrixTransform {
    const char* name;
    void (*apply)(const CMyXMLNode& step, D3DXMATRIX& matrix);
};

const SMatrixTransform kMatrixTransforms[] = {
    {"RotateXYZ", ApplyRotateXYZ},
    {"RotateAxis", ApplyRotateAxis},
    {"Scale", ApplyScale},
};

void ApplyMatrixStep(const CMyXMLNode& step, D3DXMATRIX& matrix) {
    const int row = MatrixRowIndex(step.GetName());
    if (row >= 0) {
        D3DXVECTOR4 values;
        Parse(step.GetContent(), values);
        SetMatrixRow(matrix, row, values);
        return;
    }
    for (const SMatrixTransform& transform : kMatrixTransforms) {
        if (step.GetName() == transform.name) transform.apply(step, matrix);
    }
}

// Nodes are never derived from, so deleting through CMyXMLNode* is exact;
// the destructor stays non-virtual to keep the class's layout.
void DeleteNode(CMyXMLNode* node) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
    delete node;
#pragma GCC diagnostic pop
}

template <class T>
bool GetTypedAttribute(const CMyXMLNode& node, const CString& name, T& value) {
    CString text;
    if (!node.GetAttribute(name, text)) return false;
    Parse(text, value);
    return true;
}

}  // namespace

// ==== CMyXMLNode ====

CMyXMLNode::CMyXMLNode(CMyXMLParser* parser, CString name)
    : m_pParser(parser), m_pParent(nullptr), m_name(name) {}

CMyXMLNode::~CMyXMLNode() {
    for (CMyXMLNode* child : m_children) DeleteNode(child);
}

CMyXMLNode* CMyXMLNode::AddChildren(CString name) {
    CMyXMLNode* child = new CMyXMLNode(m_pParser, name);
    child->m_pParent = this;
    m_children.push_back(child);
    return child;
}

void CMyXMLNode::AddMatrixChildren(const CString& name, const D3DXMATRIX& matrix) {
    CMyXMLNode* element = AddChildren(name);
    for (int row = 0; row < 4; ++row) element->AddChildren(kMatrixRows[row])->SetContent(MatrixRow(matrix, row));
}

CMyXMLParser* CMyXMLNode::GetParser() { return m_pParser; }
const CMyXMLParser* CMyXMLNode::GetParser() const { return m_pParser; }
CMyXMLNode* CMyXMLNode::GetParent() const { return m_pParent; }
void CMyXMLNode::SetName(CString name) { m_name = name; }
CString CMyXMLNode::GetName() const { return m_name; }

const std::vector<CMyXMLNode*>& CMyXMLNode::GetChildrens() const { return m_children; }

CMyXMLNode* CMyXMLNode::GetChildren(unsigned int index) {
    return index < m_children.size() ? m_children[index] : nullptr;
}

const CMyXMLNode* CMyXMLNode::GetChildren(unsigned int index) const {
    return index < m_children.size() ? m_children[index] : nullptr;
}

unsigned int CMyXMLNode::GetChildrenCount() const { return static_cast<unsigned int>(m_children.size()); }
unsigned int CMyXMLNode::GetAttributeCount() const { return static_cast<unsigned int>(m_attributes.size()); }
const std::map<CString, CString>& CMyXMLNode::GetAttributes() const { return m_attributes; }

bool CMyXMLNode::GetAttribute(const CString& name, CString& value) const {
    const auto found = m_attributes.find(name);
    if (found == m_attributes.end()) return false;
    value = found->second;
    return true;
}

bool CMyXMLNode::GetAttribute(unsigned int index, CString& name, CString& value) const {
    if (index >= m_attributes.size()) return false;
    const auto entry = std::next(m_attributes.begin(), index);
    name = entry->first;
    value = entry->second;
    return true;
}

void CMyXMLNode::SetAttribute(const CString& name, CString value) { m_attributes[name] = value; }
void CMyXMLNode::SetAttribute(const CString& name, const char* value) { m_attributes[name] = CString(value); }
void CMyXMLNode::SetAttribute(const CString& name, int value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, unsigned int value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, float value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, bool value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, const unsigned long& value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, const D3DXVECTOR2& value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, const D3DXVECTOR3& value) { m_attributes[name] = ToText(value); }
void CMyXMLNode::SetAttribute(const CString& name, const D3DXVECTOR4& value) { m_attributes[name] = ToText(value); }

void CMyXMLNode::SetContent(const CString& value) { m_content = value; }
void CMyXMLNode::SetContent(const char* value) { m_content = CString(value); }
void CMyXMLNode::SetContent(int value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(unsigned int value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(float value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(bool value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(const unsigned long& value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(const D3DXVECTOR2& value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(const D3DXVECTOR3& value) { m_content = ToText(value); }
void CMyXMLNode::SetContent(const D3DXVECTOR4& value) { m_content = ToText(value); }
CString CMyXMLNode::GetContent() const { return m_content; }

bool CMyXMLNode::GetIntAttribute(const CString& name, int& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetFloatAttribute(const CString& name, float& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetBoolAttribute(const CString& name, bool& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetColorAttribute(const CString& name, unsigned long& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetVector2DAttribute(const CString& name, D3DXVECTOR2& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetVector3DAttribute(const CString& name, D3DXVECTOR3& value) const {
    return GetTypedAttribute(*this, name, value);
}
bool CMyXMLNode::GetVector4DAttribute(const CString& name, D3DXVECTOR4& value) const {
    return GetTypedAttribute(*this, name, value);
}

void CMyXMLNode::GetMatrixContent(D3DXMATRIX& matrix) const {
    for (const CMyXMLNode* step : m_children) ApplyMatrixStep(*step, matrix);
}

void CMyXMLNode::GetIntContent(int& value) const { Parse(m_content, value); }
void CMyXMLNode::GetFloatContent(float& value) const { Parse(m_content, value); }
void CMyXMLNode::GetBoolContent(bool& value) const { Parse(m_content, value); }
void CMyXMLNode::GetColorContent(unsigned long& value) const { Parse(m_content, value); }
void CMyXMLNode::GetVector2DContent(D3DXVECTOR2& value) const { Parse(m_content, value); }
void CMyXMLNode::GetVector3DContent(D3DXVECTOR3& value) const { Parse(m_content, value); }
void CMyXMLNode::GetVector4DContent(D3DXVECTOR4& value) const { Parse(m_content, value); }

namespace {

// ==== Document bytes ====

// Trees hold the document's own bytes. UTF-8 documents pass through as they
// are; a tree with other 8-bit text (an ANSI code page) is written as
// ISO-8859-1, and such a document is narrowed back when read, so that every
// string survives a write and a read byte for byte.
const char kLatin1[] = "ISO-8859-1";

bool IsLatin1(const xmlChar* encoding) {
    return encoding && CString(reinterpret_cast<const char*>(encoding)).CompareNoCase(kLatin1) == 0;
}

// Length of the UTF-8 sequence starting at text[i], or 0 if it is malformed.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string text;
    for (const char ch : bytes) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            text += ch;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// Characters beyond U+00FF (from character references) keep their UTF-8.
std::string Utf8ToLatin1(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size();) {
        const size_t length = std::max<size_t>(Utf8SequenceLength(text, i), 1);
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (length == 2 && lead < 0xC4) {
            bytes += static_cast<char>(((lead & 0x03) << 6) | (text[i + 1] & 0x3F));
        } else {
            bytes.append(text, i, length);
        }
        i += length;
    }
    return bytes;
}

// ==== Reading ====

// Reads a regular file of bounded size; anything else is not a document.
bool LoadFileBytes(const CString& fileName, std::string& bytes) {
    std::error_code error;
    const std::filesystem::path path(Utility::ToNativePath(fileName).str());
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > InputLimits::kMaxDocumentBytes) return false;
    bytes.resize(static_cast<size_t>(size));
    std::ifstream file(path, std::ios::binary);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.gcount() == static_cast<std::streamsize>(bytes.size());
}

// Skips a comment, CDATA section or processing instruction that starts at
// i; returns where scanning goes on, or i when none starts there.
size_t SkipUnstructuredMarkup(const std::string& text, size_t i) {
    static const std::pair<const char*, const char*> kSections[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    for (const auto& section : kSections) {
        if (text.compare(i, std::char_traits<char>::length(section.first), section.first) != 0) continue;
        const size_t end = text.find(section.second, i);
        return end == std::string::npos ? text.size() : end + std::char_traits<char>::length(section.second);
    }
    return i;
}

// Counts the '=' of each tag outside quoted values: a cheap look at the
// attribute counts before libxml2 spends quadratic time on them.
bool HasElementWithTooManyAttributes(const std::string& text) {
    size_t equalsInTag = 0;
    bool inTag = false;
    char quote = '\0';
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quote != '\0') {
            quote = ch == quote ? '\0' : quote;
        } else if (ch == '<') {
            const size_t next = SkipUnstructuredMarkup(text, i);
            inTag = next == i;
            equalsInTag = 0;
            i = inTag ? i : next - 1;
        } else if (inTag && (ch == '"' || ch == '\'')) {
            quote = ch;
        } else if (inTag && ch == '>') {
            inTag = false;
        } else if (inTag && ch == '=' && ++equalsInTag > InputLimits::kMaxAttributesPerElement) {
            return true;
        }
    }
    return false;
}

// No XML_PARSE_NOENT, DTDLOAD or HUGE: no DTD or external entity is loaded,
// and libxml2 keeps its own bounds on entity expansion and nesting depth.
constexpr int kReadOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

xmlDocPtr ParseDocument(const CString& fileName) {
    std::string bytes;
    if (!LoadFileBytes(fileName, bytes)) return nullptr;
    if (HasElementWithTooManyAttributes(bytes)) {
        engineLog.Add("CLibXMLParser::Read: %s has an element with more than %zu attributes", fileName.GetString(),
                      InputLimits::kMaxAttributesPerElement);
        return nullptr;
    }
    return xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kReadOptions);
}

// Builds the tree of one document, in the document's own bytes.
class CTreeBuilder {
public:
    CTreeBuilder(CMyXMLParser* owner, xmlDocPtr doc) : m_pOwner(owner), m_latin1(IsLatin1(doc->encoding)) {}

    CMyXMLNode* BuildRoot(xmlNodePtr element) {
        CMyXMLNode* root = new CMyXMLNode(m_pOwner, Text(element->name));
        Fill(element, root);
        return root;
    }

private:
    void Fill(xmlNodePtr element, CMyXMLNode* node) {
        for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
            node->SetAttribute(Text(attribute->name), AttributeValue(attribute));
        }
        for (xmlNodePtr child = element->children; child; child = child->next) Visit(child, node);
    }

    // Entity references are not followed: their children are the shared
    // declaration, and walking it would expand the entity into the tree.
    void Visit(xmlNodePtr child, CMyXMLNode* current) {
        if (child->type == XML_ELEMENT_NODE) {
            Fill(child, current->AddChildren(Text(child->name)));
        } else if (child->type == XML_TEXT_NODE) {
            current->SetContent(Text(child->content));
        }
    }

    CString AttributeValue(xmlAttrPtr attribute) const {
        std::string value;
        for (xmlNodePtr part = attribute->children; part; part = part->next) {
            if (part->type == XML_TEXT_NODE && part->content) value += reinterpret_cast<const char*>(part->content);
        }
        return CString(m_latin1 ? Utf8ToLatin1(value) : value);
    }

    CString Text(const xmlChar* text) const {
        const std::string utf8 = text ? reinterpret_cast<const char*>(text) : "";
        return CString(m_latin1 ? Utf8ToLatin1(utf8) : utf8);
    }

    CMyXMLParser* m_pOwner;
    bool m_latin1;
};

// ==== Writing ====

bool IsTreeUtf8(const CMyXMLNode& node) {
    if (!IsUtf8(node.GetName().str()) || !IsUtf8(node.GetContent().str())) return false;
    for (const auto& attribute : node.GetAttributes()) {
        if (!IsUtf8(attribute.first.str()) || !IsUtf8(attribute.second.str())) return false;
    }
    return std::all_of(node.GetChildrens().begin(), node.GetChildrens().end(),
                       [](const CMyXMLNode* child) { return IsTreeUtf8(*child); });
}

// libxml2 copies what it is given, so a temporary string is enough.
const xmlChar* XmlChars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

// Turns a tree into a libxml2 document.
class CDocumentWriter {
public:
    CDocumentWriter(xmlDocPtr doc, bool latin1) : m_doc(doc), m_latin1(latin1) {}

    // The root's content is not written.
    void WriteRoot(const CMyXMLNode& root) {
        xmlNodePtr element = xmlNewNode(nullptr, XmlChars(Encode(root.GetName())));
        xmlDocSetRootElement(m_doc, element);
        WriteAttributesAndChildren(root, element);
    }

private:
    // Content that is only white space is not written.
    void WriteChild(const CMyXMLNode& node, xmlNodePtr parent) {
        xmlNodePtr element = xmlNewChild(parent, nullptr, XmlChars(Encode(node.GetName())), nullptr);
        CString trimmed = node.GetContent();
        if (!trimmed.Trim().IsEmpty()) xmlAddChild(element, xmlNewText(XmlChars(Encode(node.GetContent()))));
        WriteAttributesAndChildren(node, element);
    }

    void WriteAttributesAndChildren(const CMyXMLNode& node, xmlNodePtr element) {
        for (const auto& attribute : node.GetAttributes()) {
            xmlNewProp(element, XmlChars(Encode(attribute.first)), XmlChars(Encode(attribute.second)));
        }
        for (const CMyXMLNode* child : node.GetChildrens()) WriteChild(*child, element);
    }

    std::string Encode(const CString& text) const { return m_latin1 ? Latin1ToUtf8(text.str()) : text.str(); }

    xmlDocPtr m_doc;
    bool m_latin1;
};

}  // namespace

// ==== IXMLParser and CLibXMLParser ====

IXMLParser::IXMLParser(CMyXMLParser* owner) : m_pOwner(owner), m_pRoot(nullptr) {}

IXMLParser::~IXMLParser() { DeleteNode(m_pRoot); }

CMyXMLNode* IXMLParser::GetRoot() const { return m_pRoot; }

CLibXMLParser::CLibXMLParser(CMyXMLParser* owner) : IXMLParser(owner) {}

CLibXMLParser::~CLibXMLParser() { xmlCleanupParser(); }

CMyXMLNode* CLibXMLParser::Read(const CString& fileName, CMyXMLNode*) {
    DeleteNode(m_pRoot);
    m_pRoot = nullptr;
    const xmlDocPtr doc = ParseDocument(fileName);
    if (!doc) {
        ReportError(kSourceFile, __LINE__, 102, fileName.GetString());
        return nullptr;
    }
    const xmlNodePtr rootElement = xmlDocGetRootElement(doc);
    if (!rootElement) {
        ReportError(kSourceFile, __LINE__, 103, fileName.GetString());
    } else {
        m_pRoot = CTreeBuilder(m_pOwner, doc).BuildRoot(rootElement);
    }
    xmlFreeDoc(doc);
    return m_pRoot;
}

void CLibXMLParser::Write(const CString& fileName, CMyXMLNode* root, unsigned int format) {
    const CMyXMLNode* tree = root ? root : m_pRoot;
    const bool latin1 = tree && !IsTreeUtf8(*tree);
    const xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (tree) CDocumentWriter(doc, latin1).WriteRoot(*tree);
    xmlSaveFormatFileEnc(Utility::ToNativePath(fileName), doc, latin1 ? kLatin1 : nullptr, static_cast<int>(format));
    xmlFreeDoc(doc);
}

// ==== CMyXMLParser ====

CMyXMLParser::CMyXMLParser(const CString& fileName) : m_pImplementation(nullptr), m_fileName(fileName) {}

CMyXMLParser::~CMyXMLParser() { delete m_pImplementation; }

IXMLParser* CMyXMLParser::Create() {
    delete m_pImplementation;
    m_pImplementation = new CLibXMLParser(this);
    return m_pImplementation;
}

void CMyXMLParser::SetFileName(const CString& fileName) { m_fileName = fileName; }
CString CMyXMLParser::GetFileName() const { return m_fileName; }

CMyXMLNode* CMyXMLParser::Read(CMyXMLNode* node) {
    return m_pImplementation ? m_pImplementation->Read(m_fileName, node) : nullptr;
}

void CMyXMLParser::Write(CMyXMLNode* root, unsigned int format) {
    if (m_pImplementation) m_pImplementation->Write(m_fileName, root, format);
}

}  // namespace Utils
}  // namespace Vastrel
