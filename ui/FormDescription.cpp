#include "ui/FormDescription.h"

#include <cctype>

namespace ui {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    ObjectDescription ParseRoot() {
        ObjectDescription root = ParseObject();
        SkipSpace();
        if (pos_ != s_.size()) Fail("text after the final 'end'");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw Exception("Form description, line " + std::to_string(line_) + ": " + what);
    }

    void SkipSpace() {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else {
                break;
            }
        }
    }

    static bool IsNameChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
    }

    std::string Name() {
        SkipSpace();
        const size_t start = pos_;
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
        if (start == pos_) Fail("a name was expected");
        return s_.substr(start, pos_ - start);
    }

    void Expect(char c) {
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != c) Fail(std::string("'") + c + "' was expected");
        ++pos_;
    }

    bool PeekWord(const char* word) {
        SkipSpace();
        const size_t n = std::char_traits<char>::length(word);
        return s_.compare(pos_, n, word) == 0 && (pos_ + n == s_.size() || !IsNameChar(s_[pos_ + n]));
    }

    ObjectDescription ParseObject() {
        if (!PeekWord("object")) Fail("'object' was expected");
        ObjectDescription obj;
        obj.line = line_;
        pos_ += 6;
        obj.name = Name();
        Expect(':');
        obj.className = Name();
        for (;;) {
            if (PeekWord("end")) {
                pos_ += 3;
                return obj;
            }
            if (PeekWord("object")) {
                obj.children.push_back(ParseObject());
                continue;
            }
            if (pos_ >= s_.size()) Fail("'end' was expected");
            std::string prop = Name();
            Expect('=');
            obj.properties.emplace_back(std::move(prop), Value());
        }
    }

    PropValue Value() {
        SkipSpace();
        PropValue v;
        v.line = line_;
        if (pos_ >= s_.size()) Fail("a value was expected");
        const char c = s_[pos_];
        if (c == '\'') {
            v.kind = PropValue::Kind::String;
            // Adjacent quoted pieces joined with '+' form one string.
            for (;;) {
                ++pos_;
                for (;;) {
                    if (pos_ >= s_.size() || s_[pos_] == '\n') Fail("unterminated string");
                    if (s_[pos_] == '\'') {
                        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
                            v.text.push_back('\'');
                            pos_ += 2;
                            continue;
                        }
                        ++pos_;
                        break;
                    }
                    v.text.push_back(s_[pos_++]);
                }
                SkipSpace();
                if (pos_ < s_.size() && s_[pos_] == '+') {
                    ++pos_;
                    SkipSpace();
                    if (pos_ < s_.size() && s_[pos_] == '\'') continue;
                    Fail("a string was expected after '+'");
                }
                return v;
            }
        }
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
            v.kind = PropValue::Kind::Integer;
            bool negative = false;
            if (c == '-') {
                negative = true;
                ++pos_;
            }
            int base = 10;
            if (pos_ < s_.size() && s_[pos_] == '$') {
                base = 16;
                ++pos_;
            }
            const size_t start = pos_;
            while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            const std::string digits = s_.substr(start, pos_ - start);
            if (digits.empty() || (base == 10 && digits.find_first_not_of("0123456789") != std::string::npos) ||
                digits.size() > 15)
                Fail("a number was expected");
            v.integer = std::stoll(digits, nullptr, base);
            if (negative) v.integer = -v.integer;
            return v;
        }
        if (c == '[') {
            v.kind = PropValue::Kind::Set;
            ++pos_;
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return v;
            }
            for (;;) {
                v.set.push_back(Name());
                SkipSpace();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '{') {
            v.kind = PropValue::Kind::Binary;
            ++pos_;
            int nibbles = 0;
            uint8_t cur = 0;
            for (;;) {
                SkipSpace();
                if (pos_ >= s_.size()) Fail("unterminated binary data");
                const char h = s_[pos_++];
                if (h == '}') break;
                if (!std::isxdigit(static_cast<unsigned char>(h))) Fail("hex digits were expected");
                const int d = std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::toupper(h) - 'A' + 10);
                cur = static_cast<uint8_t>(cur << 4 | d);
                if (++nibbles % 2 == 0) v.bytes.push_back(cur);
            }
            if (nibbles % 2) Fail("odd number of hex digits");
            return v;
        }
        v.kind = PropValue::Kind::Ident;
        v.text = Name();
        return v;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

ObjectDescription ParseFormDescription(const std::string& text) { return Parser(text).ParseRoot(); }

}  // namespace ui
