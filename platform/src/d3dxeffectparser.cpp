// HLSL effect text reader.
//
// Index
//   ==== Tokens ====
//   ==== Token stream ====
//   ==== Types and values ====
//   ==== Sampler states ====
//   ==== Global declarations ====
//   ==== Techniques and passes ====
//   ==== Entry point ====
#include "d3dxeffectparser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <new>
#include <stdexcept>

namespace effectparser {
namespace {

// Thrown inside the reader only; ParseEffect turns it into error text.
struct ParseError {
    int line;
    std::string message;
};

// ==== Tokens ====

enum class TokenKind { Identifier, Number, String, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 0;
};

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char kSymbols[] = "{}()[]<>;,=:+-*/.!&|^%?~";

class Lexer {
public:
    Lexer(const char* text, std::size_t length) : m_text(text), m_end(text + length) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        while (SkipSpaceAndComments()) {
            if (tokens.size() >= kMaxTokens) Fail("more than " + std::to_string(kMaxTokens) + " tokens");
            tokens.push_back(Next());
        }
        return tokens;
    }

private:
    [[noreturn]] void Fail(const std::string& message) const { throw ParseError{m_line, message}; }

    bool AtEnd() const { return m_text >= m_end || *m_text == '\0'; }
    char PeekAt(std::size_t offset) const { return m_text + offset < m_end ? m_text[offset] : '\0'; }

    // False at the end of the text.
    bool SkipSpaceAndComments() {
        while (!AtEnd()) {
            if (*m_text == '\n') ++m_line;
            if (std::isspace(static_cast<unsigned char>(*m_text))) {
                ++m_text;
            } else if (*m_text == '/' && PeekAt(1) == '/') {
                SkipLine();
            } else if (*m_text == '/' && PeekAt(1) == '*') {
                SkipBlockComment();
            } else {
                return true;
            }
        }
        return false;
    }

    void SkipLine() {
        while (!AtEnd() && *m_text != '\n') ++m_text;
    }

    void SkipBlockComment() {
        m_text += 2;
        while (!AtEnd() && !(*m_text == '*' && PeekAt(1) == '/')) {
            if (*m_text == '\n') ++m_line;
            ++m_text;
        }
        if (AtEnd()) Fail("unterminated comment");
        m_text += 2;
    }

    Token Next() {
        const char c = *m_text;
        if (IsIdentifierStart(c)) return Take(TokenKind::Identifier, IdentifierLength());
        if (IsDigit(c) || (c == '.' && IsDigit(PeekAt(1)))) return Take(TokenKind::Number, NumberLength());
        if (c == '"') return TakeString();
        if (c == '#') Fail("preprocessor directives are not supported");
        if (std::strchr(kSymbols, c)) return Take(TokenKind::Symbol, 1);
        Fail("unexpected character");
    }

    std::size_t IdentifierLength() const {
        std::size_t n = 0;
        while (IsIdentifierChar(PeekAt(n))) ++n;
        return n;
    }

    // Digits, letters (hex digits, exponent, suffix), points and exponent signs.
    std::size_t NumberLength() const {
        std::size_t n = 0;
        for (;;) {
            const char c = PeekAt(n);
            const char previous = n ? PeekAt(n - 1) : '\0';
            const bool exponentSign = (c == '+' || c == '-') && (previous == 'e' || previous == 'E') &&
                                      !(PeekAt(1) == 'x' || PeekAt(1) == 'X');
            if (!IsIdentifierChar(c) && c != '.' && !exponentSign) return n;
            ++n;
        }
    }

    Token TakeString() {
        std::size_t n = 1;
        while (PeekAt(n) != '"') {
            if (PeekAt(n) == '\0' || PeekAt(n) == '\n') Fail("unterminated string");
            n += PeekAt(n) == '\\' && PeekAt(n + 1) != '\0' ? 2 : 1;
        }
        return Take(TokenKind::String, n + 1);
    }

    Token Take(TokenKind kind, std::size_t length) {
        Token token{kind, std::string(m_text, length), m_line};
        m_text += length;
        return token;
    }

    const char* m_text;
    const char* m_end;
    int m_line = 1;
};

// ==== Token stream ====

bool EqualsNoCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) &&
           std::equal(a.begin(), a.end(), b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

class Reader {
public:
    explicit Reader(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    const Token& Peek(std::size_t ahead = 0) const {
        static const Token kEnd;
        return m_position + ahead < m_tokens.size() ? m_tokens[m_position + ahead] : kEnd;
    }
    bool AtEnd() const { return m_position >= m_tokens.size(); }
    int Line() const { return AtEnd() ? (m_tokens.empty() ? 1 : m_tokens.back().line) : Peek().line; }
    [[noreturn]] void Fail(const std::string& message) const { throw ParseError{Line(), message}; }

    bool IsSymbol(char symbol, std::size_t ahead = 0) const {
        const Token& token = Peek(ahead);
        return token.kind == TokenKind::Symbol && token.text[0] == symbol;
    }
    bool IsWord(const char* word) const { return Peek().kind == TokenKind::Identifier && Peek().text == word; }

    Token Take() {
        if (AtEnd()) Fail("unexpected end of text");
        return m_tokens[m_position++];
    }
    bool Accept(char symbol) {
        if (!IsSymbol(symbol)) return false;
        ++m_position;
        return true;
    }
    void Expect(char symbol) {
        if (!Accept(symbol)) Fail(std::string("expected '") + symbol + "'" + Found());
    }
    std::string ExpectName() {
        if (Peek().kind != TokenKind::Identifier) Fail("expected a name" + Found());
        if (Peek().text.size() > kMaxNameLength) Fail("name longer than " + std::to_string(kMaxNameLength));
        return Take().text;
    }
    std::string Found() const { return AtEnd() ? " at the end of the text" : ", found '" + Peek().text + "'"; }

    // Skips a bracketed group starting at the opening symbol.
    void SkipGroup(char open, char close) {
        Expect(open);
        std::size_t depth = 1;
        while (depth > 0) {
            if (AtEnd()) Fail(std::string("missing '") + close + "'");
            if (IsSymbol('{') || IsSymbol('(') || IsSymbol('[')) ++depth;
            if (IsSymbol('}') || IsSymbol(')') || IsSymbol(']')) --depth;
            if (depth > kMaxNestingDepth) Fail("brackets nested deeper than " + std::to_string(kMaxNestingDepth));
            ++m_position;
        }
    }
    // Annotations "< ... >" hold simple declarations and no nested '<'.
    void SkipAnnotations() {
        if (!Accept('<')) return;
        while (!Accept('>')) Take();
    }
    void SkipStatement() {
        while (!Accept(';')) {
            if (IsSymbol('{')) SkipGroup('{', '}');
            else Take();
        }
    }

private:
    std::vector<Token> m_tokens;
    std::size_t m_position = 0;
};

// ==== Types and values ====

struct TypeName {
    const char* name;
    D3DXPARAMETER_TYPE type;
};

const TypeName kObjectTypes[] = {
    {"texture", D3DXPT_TEXTURE},     {"Texture", D3DXPT_TEXTURE},        {"texture1D", D3DXPT_TEXTURE1D},
    {"texture2D", D3DXPT_TEXTURE2D}, {"texture3D", D3DXPT_TEXTURE3D},    {"textureCUBE", D3DXPT_TEXTURECUBE},
    {"sampler", D3DXPT_SAMPLER},     {"sampler1D", D3DXPT_SAMPLER1D},    {"sampler2D", D3DXPT_SAMPLER2D},
    {"sampler3D", D3DXPT_SAMPLER3D}, {"samplerCUBE", D3DXPT_SAMPLERCUBE},
};

const TypeName kScalarTypes[] = {
    {"float", D3DXPT_FLOAT}, {"half", D3DXPT_FLOAT}, {"double", D3DXPT_FLOAT},
    {"int", D3DXPT_INT},     {"bool", D3DXPT_BOOL},
};

bool ReadDimension(const std::string& text, std::size_t at, UINT& value) {
    if (at >= text.size() || text[at] < '1' || text[at] > '4') return false;
    value = static_cast<UINT>(text[at] - '0');
    return true;
}

// "float", "float3", "float4x4", "vector", "matrix"... with rows and columns.
bool ParseNumericType(const std::string& text, Parameter& parameter) {
    if (text == "vector") return ParseNumericType("float4", parameter);
    if (text == "matrix") return ParseNumericType("float4x4", parameter);
    for (const TypeName& scalar : kScalarTypes) {
        const std::size_t length = std::strlen(scalar.name);
        if (text.compare(0, length, scalar.name) != 0) continue;
        parameter.type = scalar.type;
        parameter.rows = parameter.columns = 1;
        if (text.size() == length) return true;
        if (!ReadDimension(text, length, parameter.columns)) return false;
        if (text.size() == length + 1) return true;
        parameter.rows = parameter.columns;
        return text.size() == length + 3 && text[length + 1] == 'x' && ReadDimension(text, length + 2, parameter.columns);
    }
    return false;
}

D3DXPARAMETER_CLASS NumericClass(const Parameter& parameter, bool rowMajor) {
    if (parameter.rows == 1) return parameter.columns == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
    return rowMajor ? D3DXPC_MATRIX_ROWS : D3DXPC_MATRIX_COLUMNS;
}

// Sets the parameter's type from its type name; false for other names.
bool ParseType(const std::string& text, bool rowMajor, Parameter& parameter) {
    for (const TypeName& object : kObjectTypes) {
        if (text != object.name) continue;
        parameter.parameterClass = D3DXPC_OBJECT;
        parameter.type = object.type;
        return true;
    }
    if (!ParseNumericType(text, parameter)) return false;
    parameter.parameterClass = NumericClass(parameter, rowMajor);
    return true;
}

bool ParseHex(const std::string& text, double& value) {
    unsigned long long parsed = 0;
    const char* first = text.data() + 2;
    const char* last = text.data() + text.size();
    if (last > first && (last[-1] == 'u' || last[-1] == 'U' || last[-1] == 'l' || last[-1] == 'L')) --last;
    if (last - first > 8) return false;
    const auto result = std::from_chars(first, last, parsed, 16);
    value = static_cast<double>(parsed);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

// Numbers in the "C" locale: decimal with an optional f/h/l suffix, or hex.
bool ParseNumber(const std::string& text, double& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return ParseHex(text, value);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (std::strchr("fFhHlL", last[-1])) --last;
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

double ReadSignedNumber(Reader& reader) {
    const bool negative = reader.Accept('-');
    if (!negative) reader.Accept('+');
    if (reader.IsWord("true") || reader.IsWord("false")) return reader.Take().text == "true" ? 1.0 : 0.0;
    const Token token = reader.Take();
    double value = 0.0;
    if (token.kind != TokenKind::Number || !ParseNumber(token.text, value)) {
        reader.Fail("expected a number, found '" + token.text + "'");
    }
    return negative ? -value : value;
}

// A value list: "{ a, b, ... }" (braces may nest), "type(a, b, ...)" or a
// single number.
class ValueList {
public:
    explicit ValueList(Reader& reader) : m_reader(reader) {}

    std::vector<double> Read() {
        if (m_reader.IsSymbol('{')) {
            ReadGroup('{', '}', 0);
        } else if (m_reader.Peek().kind == TokenKind::Identifier && m_reader.IsSymbol('(', 1)) {
            m_reader.Take();
            ReadGroup('(', ')', 0);
        } else {
            Add(ReadSignedNumber(m_reader));
        }
        return m_values;
    }

private:
    void ReadGroup(char open, char close, std::size_t depth) {
        if (depth > 4) m_reader.Fail("initialiser nested too deeply");
        m_reader.Expect(open);
        do {
            if (m_reader.IsSymbol('{')) ReadGroup('{', '}', depth + 1);
            else Add(ReadSignedNumber(m_reader));
        } while (m_reader.Accept(','));
        m_reader.Expect(close);
    }
    void Add(double value) {
        if (m_values.size() >= 16) m_reader.Fail("more than 16 initial values");
        m_values.push_back(value);
    }

    Reader& m_reader;
    std::vector<double> m_values;
};

// ==== Sampler states ====

struct StateValue {
    const char* name;
    DWORD value;
};

const StateValue kFilterValues[] = {
    {"None", D3DTEXF_NONE}, {"Point", D3DTEXF_POINT}, {"Linear", D3DTEXF_LINEAR}, {"Anisotropic", D3DTEXF_ANISOTROPIC},
};

const StateValue kAddressValues[] = {
    {"Wrap", D3DTADDRESS_WRAP},     {"Mirror", D3DTADDRESS_MIRROR},         {"Clamp", D3DTADDRESS_CLAMP},
    {"Border", D3DTADDRESS_BORDER}, {"MirrorOnce", D3DTADDRESS_MIRRORONCE},
};

template <std::size_t N>
DWORD ReadStateValue(Reader& reader, const StateValue (&values)[N], DWORD lowest, DWORD highest) {
    if (reader.Peek().kind == TokenKind::Number) {
        const double number = ReadSignedNumber(reader);
        if (number < lowest || number > highest) reader.Fail("state value out of range");
        return static_cast<DWORD>(number);
    }
    const std::string name = reader.ExpectName();
    for (const StateValue& value : values) {
        if (EqualsNoCase(name, value.name)) return value.value;
    }
    reader.Fail("unknown state value '" + name + "'");
}

D3DTEXTUREFILTERTYPE ReadFilter(Reader& reader) {
    return static_cast<D3DTEXTUREFILTERTYPE>(ReadStateValue(reader, kFilterValues, D3DTEXF_NONE, D3DTEXF_ANISOTROPIC));
}

D3DTEXTUREADDRESS ReadAddress(Reader& reader) {
    return static_cast<D3DTEXTUREADDRESS>(
        ReadStateValue(reader, kAddressValues, D3DTADDRESS_WRAP, D3DTADDRESS_MIRRORONCE));
}

DWORD ClampToByte(double value) { return static_cast<DWORD>(std::clamp(value, 0.0, 1.0) * 255.0 + 0.5); }

// A D3DCOLOR word, or four floats (r, g, b, a) in [0, 1].
D3DCOLOR ReadBorderColor(Reader& reader) {
    const std::vector<double> values = ValueList(reader).Read();
    if (values.size() == 1) {
        if (values[0] < 0.0 || values[0] > 4294967295.0) reader.Fail("border colour out of range");
        return static_cast<D3DCOLOR>(values[0]);
    }
    if (values.size() != 4) reader.Fail("a border colour has four components");
    return D3DCOLOR_ARGB(ClampToByte(values[3]), ClampToByte(values[0]), ClampToByte(values[1]),
                         ClampToByte(values[2]));
}

// "Texture = <Name>" or "Texture = (Name)"; the texture must be declared.
std::string ReadSamplerTexture(Reader& reader, const std::vector<Parameter>& declared) {
    const char close = reader.Accept('<') ? '>' : (reader.Expect('('), ')');
    const std::string name = reader.ExpectName();
    reader.Expect(close);
    const auto found = std::find_if(declared.begin(), declared.end(),
                                    [&](const Parameter& parameter) { return parameter.name == name; });
    if (found == declared.end() || !found->IsTexture()) reader.Fail("'" + name + "' is not a declared texture");
    return name;
}

void ReadSamplerState(Reader& reader, const std::vector<Parameter>& declared, Parameter& sampler) {
    const std::string state = reader.ExpectName();
    reader.Expect('=');
    SamplerState& s = sampler.samplerState;
    if (EqualsNoCase(state, "Texture")) sampler.samplerTexture = ReadSamplerTexture(reader, declared);
    else if (EqualsNoCase(state, "MinFilter")) s.minFilter = ReadFilter(reader);
    else if (EqualsNoCase(state, "MagFilter")) s.magFilter = ReadFilter(reader);
    else if (EqualsNoCase(state, "MipFilter")) s.mipFilter = ReadFilter(reader);
    else if (EqualsNoCase(state, "AddressU")) s.addressU = ReadAddress(reader);
    else if (EqualsNoCase(state, "AddressV")) s.addressV = ReadAddress(reader);
    else if (EqualsNoCase(state, "AddressW")) ReadAddress(reader);  // 2D textures have no w
    else if (EqualsNoCase(state, "BorderColor")) s.borderColor = ReadBorderColor(reader);
    else reader.Fail("unsupported sampler state '" + state + "'");
    reader.Expect(';');
}

void ReadSamplerBlock(Reader& reader, const std::vector<Parameter>& declared, Parameter& sampler) {
    if (!reader.IsWord("sampler_state")) reader.Fail("expected sampler_state" + reader.Found());
    reader.Take();
    reader.Expect('{');
    while (!reader.Accept('}')) ReadSamplerState(reader, declared, sampler);
}

// ==== Global declarations ====

const char* const kQualifiers[] = {"uniform", "shared", "extern", "const", "volatile", "row_major", "column_major"};

struct Qualifiers {
    bool isStatic = false;
    bool rowMajor = false;
};

Qualifiers ReadQualifiers(Reader& reader) {
    Qualifiers qualifiers;
    for (;;) {
        if (reader.IsWord("static")) qualifiers.isStatic = true;
        else if (reader.IsWord("row_major")) qualifiers.rowMajor = true;
        else if (!std::any_of(std::begin(kQualifiers), std::end(kQualifiers),
                              [&](const char* word) { return reader.IsWord(word); }))
            return qualifiers;
        reader.Take();
    }
}

void ReadDefaults(Reader& reader, Parameter& parameter) {
    const std::vector<double> values = ValueList(reader).Read();
    const UINT count = parameter.ValueCount();
    if (values.size() != 1 && values.size() != count) {
        reader.Fail("'" + parameter.name + "' needs " + std::to_string(count) + " initial values");
    }
    for (UINT i = 0; i < count; ++i) {
        parameter.defaults[i] = static_cast<float>(values.size() == 1 ? values[0] : values[i]);
    }
}

class EffectReader {
public:
    EffectReader(Reader& reader, EffectDescription& description) : m_reader(reader), m_effect(description) {}

    void Run() {
        while (!m_reader.AtEnd()) ReadTopLevel();
    }

private:
    void ReadTopLevel() {
        if (m_reader.Accept(';')) return;
        if (m_reader.IsWord("technique")) return ReadTechnique();
        if (m_reader.IsWord("struct")) return SkipStruct();
        if (m_reader.IsWord("typedef")) return m_reader.SkipStatement();
        ReadDeclaration();
    }

    void SkipStruct() {
        m_reader.Take();
        m_reader.ExpectName();
        m_reader.SkipGroup('{', '}');
        m_reader.Expect(';');
    }

    void ReadDeclaration() {
        const Qualifiers qualifiers = ReadQualifiers(m_reader);
        const std::string typeName = m_reader.ExpectName();
        const std::string name = m_reader.ExpectName();
        if (m_reader.IsSymbol('(')) return SkipFunction(name);
        if (qualifiers.isStatic) return m_reader.SkipStatement();
        Parameter parameter;
        parameter.name = name;
        if (!ParseType(typeName, qualifiers.rowMajor, parameter)) {
            m_reader.Fail("unsupported parameter type '" + typeName + "'");
        }
        ReadParameterRest(parameter);
        AddParameter(std::move(parameter));
    }

    void SkipFunction(const std::string& name) {
        m_reader.SkipGroup('(', ')');
        if (m_reader.Accept(':')) m_reader.ExpectName();
        if (m_reader.Accept(';')) return;
        m_reader.SkipGroup('{', '}');
        if (std::find(m_effect.functions.begin(), m_effect.functions.end(), name) == m_effect.functions.end()) {
            m_effect.functions.push_back(name);
        }
    }

    void ReadParameterRest(Parameter& parameter) {
        if (m_reader.IsSymbol('[')) m_reader.Fail("array parameters are not supported");
        if (m_reader.IsSymbol(',')) m_reader.Fail("declare one parameter per statement");
        if (m_reader.Accept(':')) parameter.semantic = m_reader.ExpectName();
        m_reader.SkipAnnotations();
        if (m_reader.Accept('=')) ReadInitialiser(parameter);
        m_reader.Expect(';');
    }

    void ReadInitialiser(Parameter& parameter) {
        if (parameter.IsSampler()) return ReadSamplerBlock(m_reader, m_effect.parameters, parameter);
        if (!parameter.IsNumeric()) m_reader.Fail("'" + parameter.name + "' cannot have an initial value");
        ReadDefaults(m_reader, parameter);
    }

    void AddParameter(Parameter parameter) {
        if (m_effect.parameters.size() >= kMaxParameters) {
            m_reader.Fail("more than " + std::to_string(kMaxParameters) + " parameters");
        }
        for (const Parameter& existing : m_effect.parameters) {
            if (existing.name == parameter.name) m_reader.Fail("redefinition of '" + parameter.name + "'");
        }
        m_effect.parameters.push_back(std::move(parameter));
    }

    // ==== Techniques and passes ====

    void ReadTechnique() {
        m_reader.Take();
        Technique technique;
        if (m_reader.Peek().kind == TokenKind::Identifier) technique.name = m_reader.ExpectName();
        m_reader.SkipAnnotations();
        m_reader.Expect('{');
        while (!m_reader.Accept('}')) ReadPass(technique);
        AddTechnique(std::move(technique));
    }

    void AddTechnique(Technique technique) {
        if (m_effect.techniques.size() >= kMaxTechniques) {
            m_reader.Fail("more than " + std::to_string(kMaxTechniques) + " techniques");
        }
        for (const Technique& existing : m_effect.techniques) {
            if (!technique.name.empty() && existing.name == technique.name) {
                m_reader.Fail("redefinition of technique '" + technique.name + "'");
            }
        }
        m_effect.techniques.push_back(std::move(technique));
    }

    void ReadPass(Technique& technique) {
        if (!m_reader.IsWord("pass")) m_reader.Fail("expected 'pass'" + m_reader.Found());
        m_reader.Take();
        if (technique.passes.size() >= kMaxPassesPerTechnique) {
            m_reader.Fail("more than " + std::to_string(kMaxPassesPerTechnique) + " passes");
        }
        Pass pass;
        if (m_reader.Peek().kind == TokenKind::Identifier) pass.name = m_reader.ExpectName();
        m_reader.SkipAnnotations();
        m_reader.Expect('{');
        while (!m_reader.Accept('}')) ReadPassState(pass);
        technique.passes.push_back(std::move(pass));
    }

    void ReadPassState(Pass& pass) {
        const std::string state = m_reader.ExpectName();
        m_reader.Expect('=');
        if (EqualsNoCase(state, "VertexShader")) ReadShader(pass.vertexShader, "vs_");
        else if (EqualsNoCase(state, "PixelShader")) ReadShader(pass.pixelShader, "ps_");
        else m_reader.Fail("unsupported pass state '" + state + "'");
        m_reader.Expect(';');
    }

    // "compile vs_1_1 Function()": the function must be defined above.
    void ReadShader(ShaderBinding& binding, const char* profilePrefix) {
        if (!binding.function.empty()) m_reader.Fail("shader set twice in one pass");
        if (!m_reader.IsWord("compile")) m_reader.Fail("expected 'compile'" + m_reader.Found());
        m_reader.Take();
        binding.line = m_reader.Line();
        binding.profile = m_reader.ExpectName();
        if (binding.profile.compare(0, 3, profilePrefix) != 0 || binding.profile.size() < 6) {
            m_reader.Fail("invalid profile '" + binding.profile + "' for this shader stage");
        }
        binding.function = m_reader.ExpectName();
        m_reader.Expect('(');
        if (!m_reader.Accept(')')) m_reader.Fail("shader arguments are not supported");
        const auto& functions = m_effect.functions;
        if (std::find(functions.begin(), functions.end(), binding.function) == functions.end()) {
            m_reader.Fail("undeclared function '" + binding.function + "'");
        }
    }

    Reader& m_reader;
    EffectDescription& m_effect;
};

std::string FormatError(int line, const std::string& message) {
    return "effect(" + std::to_string(line) + "): error: " + message;
}

}  // namespace

// ==== Entry point ====

bool ParseEffect(const char* text, std::size_t length, EffectDescription& description, std::string& error) {
    description = EffectDescription();
    if (!text || length > kMaxTextBytes) {
        error = FormatError(0, "effect text missing or larger than " + std::to_string(kMaxTextBytes) + " bytes");
        return false;
    }
    try {
        Reader reader(Lexer(text, length).Run());
        EffectReader(reader, description).Run();
        return true;
    } catch (const ParseError& failure) {
        error = FormatError(failure.line, failure.message);
    } catch (const std::bad_alloc&) {
        error = FormatError(0, "out of memory");
    }
    description = EffectDescription();
    return false;
}

}  // namespace effectparser
