// Tokens of DirectX .x files. The text and the binary encodings both come out
// as one stream of the same tokens, so a single object parser reads either.
// List separators (';' ',' and their binary tokens) and the type keywords that
// only templates use are dropped here: the data of an object is read as a flat
// sequence of values, which also tolerates the irregular separators that
// Microsoft's own parser accepts.
#pragma once

#include <memory>
#include <stdexcept>
#include <string_view>

namespace xfile {

// Anything the file cannot describe: bad header, truncation, garbage, wrong counts.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class TokenKind { Name, String, Number, Guid, OpenBrace, CloseBrace, Template, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;  // names and strings; views into the file's bytes
    double number = 0.0;
};

class TokenSource {
public:
    virtual ~TokenSource() = default;
    // Throws FormatError on bytes that are not a token.
    virtual Token Next() = 0;
};

// Reads the 16-byte header ("xof 0302txt 0032" and its kin) and returns the
// matching tokenizer over the rest; the bytes must outlive it. Compressed
// files (tzip, bzip) are rejected.
std::unique_ptr<TokenSource> OpenTokenSource(std::string_view file);

}  // namespace xfile
