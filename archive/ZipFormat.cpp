#include "archive/ZipFormat.h"

#include <cstdio>

namespace archive {

namespace {

// Widths and precisions beyond this are taken for a broken format rather than honoured.
constexpr long kMaxField = 65535;

[[noreturn]] void Invalid(const std::string& format) {
    throw EFormatError("Format '" + format + "' invalid or incompatible with argument");
}

[[noreturn]] void Missing(const std::string& format) {
    throw EFormatError("No argument for format '" + format + "'");
}

// The text snprintf makes of one specifier; `conversion` is a complete C conversion.
template <typename T>
std::string Print(const std::string& conversion, T value) {
    char small[64];
    const int n = std::snprintf(small, sizeof small, conversion.c_str(), value);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), conversion.c_str(), value);
    out.resize(static_cast<size_t>(n));
    return out;
}

class Formatter {
public:
    Formatter(const std::string& format, const FormatArgs& args) : format_(format), args_(args) {}

    std::string Run() {
        std::string out;
        for (size_t i = 0; i < format_.size();) {
            const size_t percent = format_.find('%', i);
            out.append(format_, i, percent == std::string::npos ? std::string::npos : percent - i);
            if (percent == std::string::npos) break;
            pos_ = percent + 1;
            out += Specifier();
            i = pos_;
        }
        return out;
    }

private:
    char Peek() const { return pos_ < format_.size() ? format_[pos_] : '\0'; }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    long Number() {
        long n = 0;
        while (IsDigit(Peek())) {
            n = n * 10 + (format_[pos_++] - '0');
            if (n > kMaxField) Invalid(format_);
        }
        return n;
    }

    const FormatArg& NextArg() {
        if (next_ >= args_.size()) Missing(format_);
        return args_[next_++];
    }

    // A '*' field: the next argument, an integer.
    long StarField() {
        ++pos_;
        const FormatArg& a = NextArg();
        if (!a.IsInteger()) Invalid(format_);
        if (a.IsSigned() ? (a.Signed() > kMaxField || a.Signed() < -kMaxField)
                         : a.Unsigned() > static_cast<uint64_t>(kMaxField))
            Invalid(format_);
        return static_cast<long>(a.Signed());
    }

    // One specifier from just after its '%'; returns its text.
    std::string Specifier() {
        if (Peek() == '%') {
            ++pos_;
            return "%";
        }
        // An argument index is digits followed by ':'.
        const size_t start = pos_;
        if (IsDigit(Peek())) {
            const long index = Number();
            if (Peek() == ':') {
                ++pos_;
                next_ = static_cast<size_t>(index);
            } else {
                pos_ = start;  // not an index: the digits are flags and width
            }
        }
        std::string flags;
        while (Peek() == '-' || Peek() == '0' || Peek() == '+' || Peek() == ' ' || Peek() == '#')
            if (flags.find(format_[pos_]) == std::string::npos)
                flags += format_[pos_++];
            else
                ++pos_;
        long width = -1;
        if (Peek() == '*') {
            width = StarField();
            if (width < 0) {  // a negative width left-justifies, as in C
                if (flags.find('-') == std::string::npos) flags += '-';
                width = -width;
            }
        } else if (IsDigit(Peek())) {
            width = Number();
        }
        long precision = -1;
        if (Peek() == '.') {
            ++pos_;
            precision = Peek() == '*' ? StarField() : Number();
            if (precision < 0) precision = -1;  // a negative precision counts as none
        }
        bool sized = false;
        if (Peek() == 'l') {
            sized = true;
            ++pos_;
            if (Peek() == 'l') ++pos_;
        }
        if (pos_ >= format_.size()) Invalid(format_);
        char type = format_[pos_++];
        if (type == 'D' || type == 'U' || type == 'S') type = static_cast<char>(type - 'A' + 'a');

        std::string conversion = "%" + flags;
        if (width >= 0) conversion += std::to_string(width);
        if (precision >= 0) conversion += "." + std::to_string(precision);

        switch (type) {
            case 's': {
                // Texts take no length modifier and no numeric flags.
                if (sized || flags.find_first_not_of('-') != std::string::npos) Invalid(format_);
                const FormatArg& a = NextArg();
                if (a.IsInteger()) Invalid(format_);
                return Print(conversion + "s", a.Text().c_str());
            }
            case 'd': {
                if (flags.find('#') != std::string::npos) Invalid(format_);
                const FormatArg& a = NextArg();
                if (!a.IsInteger()) Invalid(format_);
                if (!a.IsSigned() && a.Is64())
                    return Print(conversion + "llu", static_cast<unsigned long long>(a.Unsigned()));
                return Print(conversion + "lld", static_cast<long long>(a.Signed()));
            }
            case 'u':
            case 'x':
            case 'X': {
                if (flags.find_first_of(type == 'u' ? "+ #" : "+ ") != std::string::npos)
                    Invalid(format_);
                const FormatArg& a = NextArg();
                if (!a.IsInteger()) Invalid(format_);
                return Print(conversion + "ll" + type, static_cast<unsigned long long>(a.Bits()));
            }
            default:
                Invalid(format_);
        }
    }

    const std::string& format_;
    const FormatArgs& args_;
    size_t pos_ = 0;
    size_t next_ = 0;
};

}  // namespace

std::string ZipFormat(const std::string& format, const FormatArgs& args) {
    return Formatter(format, args).Run();
}

}  // namespace archive
