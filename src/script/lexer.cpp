#include "script/lexer.h"

#include <cctype>

#include "base/ascii.h"
#include "script/error.h"

namespace kz::script {

namespace {

bool IsLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toLowerAscii(c);
    return out;
}

class Lexer {
  public:
    explicit Lexer(std::string_view source) : src_(source) {}

    std::vector<Token> run() {
        while (pos_ < src_.size()) step();
        push(TokenKind::Newline, "");
        push(TokenKind::End, "");
        return std::move(tokens_);
    }

  private:
    [[noreturn]] void fail(int number) const {
        throw ScriptException(number, ErrorText(number), line_, true);
    }

    Token& push(TokenKind kind, std::string text) {
        Token token;
        token.kind = kind;
        token.text = std::move(text);
        token.line = line_;
        token.spaceBefore = space_;
        space_ = false;
        tokens_.push_back(std::move(token));
        return tokens_.back();
    }

    char peek(std::size_t ahead = 0) const {
        return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0';
    }

    char lowerAt(std::size_t ahead) const { return toLowerAscii(peek(ahead)); }

    void skipToLineEnd() {
        while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
    }

    void step() {
        char c = src_[pos_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
            space_ = true;
        } else if (c == '\n') {
            push(TokenKind::Newline, "");
            ++pos_;
            ++line_;
        } else if (c == '\'') {
            skipToLineEnd();
        } else if (c == '_') {
            continuation();
        } else if (c == '"') {
            string();
        } else if (IsLetter(c)) {
            name();
        } else if (c == '[') {
            bracketedName();
        } else if (IsDigit(c) || (c == '.' && IsDigit(peek(1)) && !afterOperand())) {
            decimal();
        } else if (c == '&' && (lowerAt(1) == 'h' || lowerAt(1) == 'o')) {
            radix();
        } else {
            symbol();
        }
    }

    bool afterOperand() const {
        if (tokens_.empty() || space_) return false;
        const Token& last = tokens_.back();
        return last.kind == TokenKind::Name || (last.kind == TokenKind::Symbol && last.text == ")");
    }

    void continuation() {
        std::size_t p = pos_ + 1;
        while (p < src_.size() && (src_[p] == ' ' || src_[p] == '\t' || src_[p] == '\r')) ++p;
        if (p < src_.size() && src_[p] != '\n') fail(kInvalidCharacter);
        pos_ = p + 1;
        ++line_;
        space_ = true;
    }

    void string() {
        std::string text;
        ++pos_;
        for (;;) {
            if (pos_ >= src_.size() || src_[pos_] == '\n') fail(kUnterminatedString);
            char c = src_[pos_++];
            if (c == '"') {
                if (peek() != '"') break;
                ++pos_;
            }
            text += c;
        }
        push(TokenKind::String, std::move(text));
    }

    void name() {
        std::size_t start = pos_;
        while (pos_ < src_.size() && IsNameChar(src_[pos_])) ++pos_;
        std::string_view text = src_.substr(start, pos_ - start);
        std::string lower = Lower(text);
        if (lower == "rem") {
            skipToLineEnd();
            return;
        }
        Token& token = push(TokenKind::Name, std::string(text));
        token.lower = std::move(lower);
    }

    void bracketedName() {
        std::size_t end = src_.find_first_of("]\n", pos_ + 1);
        if (end == std::string_view::npos || src_[end] != ']') fail(kExpectedIdentifier);
        std::string_view text = src_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        Token& token = push(TokenKind::Name, std::string(text));
        token.lower = Lower(text);
        token.bracketed = true;
    }

    void decimal() {
        std::size_t start = pos_;
        bool real = false;
        while (IsDigit(peek())) ++pos_;
        if (peek() == '.' && IsDigit(peek(1))) {
            real = true;
            ++pos_;
            while (IsDigit(peek())) ++pos_;
        } else if (peek() == '.' && !IsLetter(peek(1))) {
            real = true;
            ++pos_;
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (IsDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && IsDigit(peek(2))))) {
            real = true;
            pos_ += 2;
            while (IsDigit(peek())) ++pos_;
        }
        double d = 0;
        if (!ParseNumber(src_.substr(start, pos_ - start), d)) fail(kSyntaxError);
        Token& token = push(TokenKind::Number, std::string(src_.substr(start, pos_ - start)));
        token.number = real ? Value::real(d) : Value::number(d);
    }

    void radix() {
        bool hex = lowerAt(1) == 'h';
        std::size_t start = pos_;
        pos_ += 2;
        while (hex ? std::isxdigit(static_cast<unsigned char>(peek())) != 0
                   : (peek() >= '0' && peek() <= '7'))
            ++pos_;
        std::string_view digits = src_.substr(start + 2, pos_ - start - 2);
        double d = 0;
        if (digits.empty() || !ParseNumber(src_.substr(start, pos_ - start), d)) fail(kSyntaxError);
        bool forceLong = peek() == '&';
        if (forceLong) {
            ++pos_;
            if (hex && digits.size() <= 4 && d < 0) d += 65536;
        }
        Token& token = push(TokenKind::Number, std::string(src_.substr(start, pos_ - start)));
        token.number = Value::number(d);
        if (forceLong || digits.size() > 4) token.number = Value::longValue(int32_t(d));
    }

    void symbol() {
        static constexpr std::string_view kTwo[] = {"<=", ">=", "<>"};
        for (std::string_view two : kTwo) {
            if (src_.substr(pos_, 2) == two) {
                pos_ += 2;
                push(TokenKind::Symbol, std::string(two));
                return;
            }
        }
        char c = src_[pos_];
        if (std::string_view("+-*/\\^&=<>(),.").find(c) == std::string_view::npos) {
            if (c != ':') fail(kInvalidCharacter);
            ++pos_;
            push(TokenKind::Colon, ":");
            return;
        }
        ++pos_;
        push(TokenKind::Symbol, std::string(1, c));
    }

    std::string_view src_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool space_ = false;
    std::vector<Token> tokens_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view source) {
    return Lexer(source).run();
}

}  // namespace kz::script
