#include "xfiletokenizer.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace xfile {

namespace {

constexpr size_t kHeaderBytes = 16;

// ==== Text encoding ====

bool IsSeparator(char c) { return c == ';' || c == ','; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// "//" and "#" comment out the rest of the line.
bool StartsComment(std::string_view rest) {
    return rest.front() == '#' || (rest.size() > 1 && rest[0] == '/' && rest[1] == '/');
}

// A word ends where a token of its own or a comment starts.
bool EndsWord(std::string_view rest) {
    char c = rest.front();
    if (IsSpace(c) || IsSeparator(c)) return true;
    return c == '{' || c == '}' || c == '"' || c == '<' || StartsComment(rest);
}

class TextTokenizer final : public TokenSource {
public:
    explicit TextTokenizer(std::string_view body) : m_rest(body) {}

    Token Next() override {
        SkipIgnored();
        if (m_rest.empty()) return Token{};
        char c = m_rest.front();
        if (c == '{' || c == '}') return Punctuation(c);
        if (c == '"') return Delimited(TokenKind::String, '"');
        if (c == '<') return Delimited(TokenKind::Guid, '>');
        return Word();
    }

private:
    void SkipIgnored() {
        while (!m_rest.empty()) {
            char c = m_rest.front();
            if (IsSpace(c) || IsSeparator(c)) {
                m_rest.remove_prefix(1);
            } else if (StartsComment(m_rest)) {
                SkipLine();
            } else {
                return;
            }
        }
    }

    void SkipLine() {
        size_t end = m_rest.find('\n');
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end);
    }

    Token Punctuation(char c) {
        m_rest.remove_prefix(1);
        return Token{c == '{' ? TokenKind::OpenBrace : TokenKind::CloseBrace, {}, 0.0};
    }

    Token Delimited(TokenKind kind, char closing) {
        size_t end = m_rest.find(closing, 1);
        if (end == std::string_view::npos) throw FormatError("unterminated string or GUID");
        Token token{kind, m_rest.substr(1, end - 1), 0.0};
        m_rest.remove_prefix(end + 1);
        return token;
    }

    Token Word() {
        size_t length = 1;
        while (length < m_rest.size() && !EndsWord(m_rest.substr(length))) ++length;
        std::string_view word = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return Classify(word);
    }

    // from_chars ignores the locale, as the format requires.
    static Token Classify(std::string_view word) {
        if (word == "template") return Token{TokenKind::Template, word, 0.0};
        double value = 0.0;
        auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error == std::errc() && end == word.data() + word.size()) return Token{TokenKind::Number, word, value};
        return Token{TokenKind::Name, word, 0.0};
    }

    std::string_view m_rest;
};

// ==== Binary encoding ====

enum BinaryToken : uint16_t {
    kName = 1,
    kString = 2,
    kInteger = 3,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOpenBrace = 10,
    kCloseBrace = 11,
    kFirstPunctuation = 12,  // ( ) [ ] < > . , ;
    kLastPunctuation = 20,
    kTemplate = 31,
    kFirstKeyword = 40,  // WORD DWORD FLOAT ... ARRAY: template member types
    kLastKeyword = 53,
};

constexpr size_t kGuidBytes = 16;

class BinaryTokenizer final : public TokenSource {
public:
    BinaryTokenizer(std::string_view body, size_t floatBytes) : m_rest(body), m_floatBytes(floatBytes) {}

    // A loop, not recursion: a run of empty lists must not deepen the stack.
    Token Next() override {
        while (m_listLeft == 0) {
            if (m_rest.empty()) return Token{};
            uint16_t id = Read<uint16_t>();
            if (id == kIntegerList || id == kFloatList) {
                StartList(id == kFloatList);
            } else if (!IsIgnored(id)) {
                return Decode(id);
            }
        }
        return ListElement();
    }

private:
    static bool IsIgnored(uint16_t id) {
        return (id >= kFirstPunctuation && id <= kLastPunctuation) || (id >= kFirstKeyword && id <= kLastKeyword);
    }

    Token Decode(uint16_t id) {
        switch (id) {
            case kName: return Token{TokenKind::Name, Bytes(Read<uint32_t>()), 0.0};
            case kString: return Token{TokenKind::String, Bytes(Read<uint32_t>()), 0.0};
            case kInteger: return Token{TokenKind::Number, {}, static_cast<double>(Read<uint32_t>())};
            case kGuid: return Token{TokenKind::Guid, Bytes(kGuidBytes), 0.0};
            case kOpenBrace: return Token{TokenKind::OpenBrace, {}, 0.0};
            case kCloseBrace: return Token{TokenKind::CloseBrace, {}, 0.0};
            case kTemplate: return Token{TokenKind::Template, {}, 0.0};
            default: throw FormatError("unknown binary token");
        }
    }

    // The count is checked against the bytes left, so a huge count fails here.
    void StartList(bool floats) {
        uint32_t count = Read<uint32_t>();
        size_t elementBytes = floats ? m_floatBytes : sizeof(uint32_t);
        if (count > m_rest.size() / elementBytes) throw FormatError("list longer than the file");
        m_listLeft = count;
        m_listHoldsFloats = floats;
    }

    Token ListElement() {
        --m_listLeft;
        return Token{TokenKind::Number, {}, m_listHoldsFloats ? ReadFloat() : Read<uint32_t>()};
    }

    double ReadFloat() { return m_floatBytes == sizeof(double) ? Read<double>() : Read<float>(); }

    std::string_view Bytes(size_t count) {
        if (count > m_rest.size()) throw FormatError("truncated token");
        std::string_view bytes = m_rest.substr(0, count);
        m_rest.remove_prefix(count);
        return bytes;
    }

    // Little-endian, as the format stores it.
    template <class T>
    T Read() {
        std::string_view bytes = Bytes(sizeof(T));
        T value;
        std::memcpy(&value, bytes.data(), sizeof(T));
        return value;
    }

    std::string_view m_rest;
    size_t m_floatBytes;
    uint32_t m_listLeft = 0;  // elements of the current list still to hand out
    bool m_listHoldsFloats = false;
};

// ==== Header ====

// "xof " magic, "03xx" version, the encoding, then the float width in bits.
std::unique_ptr<TokenSource> OpenBody(std::string_view header, std::string_view body) {
    if (header.substr(0, 6) != "xof 03") throw FormatError("not a DirectX 3 .x file");
    std::string_view encoding = header.substr(8, 4);
    std::string_view floatBits = header.substr(12, 4);
    if (floatBits != "0032" && floatBits != "0064") throw FormatError("unknown float size");
    if (encoding == "txt ") return std::make_unique<TextTokenizer>(body);
    size_t floatBytes = floatBits == "0064" ? sizeof(double) : sizeof(float);
    if (encoding == "bin ") return std::make_unique<BinaryTokenizer>(body, floatBytes);
    throw FormatError("compressed or unknown encoding");
}

}  // namespace

std::unique_ptr<TokenSource> OpenTokenSource(std::string_view file) {
    if (file.size() < kHeaderBytes) throw FormatError("no .x header");
    return OpenBody(file.substr(0, kHeaderBytes), file.substr(kHeaderBytes));
}

}  // namespace xfile
