// Formatting of message texts with an argument list, by the rules of the component's platform:
//
//   %[index:][flags][width][.precision][l|ll]type
//
//   type   s (or S) text; d (or D) decimal; u (or U) unsigned decimal; x, X hexadecimal in
//          lower and upper case; %% is a percent sign
//   index  the argument (from 0) this and the following specifiers start from
//   flags  '-' left-justifies; '0', '+', ' ' and '#' as in C where they apply to the type
//   width, precision  numbers or '*' (taken from the next argument, which must be an integer);
//          for integers the precision is the least number of digits, for texts the most
//          characters
//
// "%.1d" is a decimal with at least one digit, "%2.2d" one with two digits, "%08lx" eight
// hexadecimal digits. A specifier without a fitting argument (missing, or of the other kind)
// raises EFormatError; arguments beyond those the specifiers use are ignored. Unsigned and
// hexadecimal conversions show a negative integer in the two's complement of its own width
// (32 bits for int, 64 for int64_t).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ui/Exception.h"

namespace archive {

// Arguments that do not fit the specifiers of a format.
class EFormatError : public ui::Exception {
public:
    using ui::Exception::Exception;
};

// One argument: a text or an integer.
class FormatArg {
public:
    FormatArg(const char* text) : text_(text ? text : "") {}
    FormatArg(std::string text) : text_(std::move(text)) {}
    FormatArg(std::string_view text) : text_(text) {}
    FormatArg(char c) : text_(1, c) {}

    template <typename T,
              typename = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          !std::is_same_v<T, char>>>
    FormatArg(T value)
        : isInteger_(true),
          isSigned_(std::is_signed_v<T>),
          is64_(sizeof(T) > 4),
          bits_(static_cast<uint64_t>(value)) {}
    FormatArg(bool) = delete;

    bool IsInteger() const { return isInteger_; }
    const std::string& Text() const { return text_; }
    bool IsSigned() const { return isSigned_; }
    bool Is64() const { return is64_; }
    // The value as the signed or unsigned 64-bit number it is.
    int64_t Signed() const { return static_cast<int64_t>(bits_); }
    uint64_t Unsigned() const { return bits_; }
    // The bits of the value at its own width (a negative int gives 32 bits).
    uint64_t Bits() const { return is64_ ? bits_ : bits_ & 0xFFFFFFFFu; }

private:
    std::string text_;
    bool isInteger_ = false;
    bool isSigned_ = false;
    bool is64_ = false;
    uint64_t bits_ = 0;
};

using FormatArgs = std::vector<FormatArg>;

// `format` with its specifiers replaced by the arguments; EFormatError as described above.
std::string ZipFormat(const std::string& format, const FormatArgs& args);

}  // namespace archive
