// The small runtime that the rest of Morvane stands on: the error classes whose message texts
// the plug-in shows to its users, printf-style formatting, and number conversions that never
// depend on the user's regional settings.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rtl {

// Every error raised by Morvane carries a message that ends up, verbatim, on the editor's
// console after "Failed: ". Catch `Exception` to catch them all.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Index errors of the typed geometry lists.
class EListError : public Exception {
 public:
  using Exception::Exception;
};
// Index errors of string lists: "List index out of bounds (%d)".
class EStringListError : public Exception {
 public:
  using Exception::Exception;
  static EStringListError OutOfBounds(int index);
};
// Text that is not a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
};
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
};
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& fileName);
};
class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(const std::string& fileName);
};

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Integer text: optional blanks, optional sign, decimal digits, or hexadecimal digits after
// "$", "x", "X", "0x" or "0X". Hexadecimal values up to FFFFFFFF wrap into the negative range,
// as 32-bit flag words are written that way. Raises EConvertError
// "'%s' is not a valid integer value" for anything else, the empty text and overflow included.
int32_t StrToInt(const std::string& s);
bool TryStrToInt(const std::string& s, int32_t& value);

// Real text: optional blanks, optional sign, digits with an optional "." and fraction (at least
// one digit in all), optional exponent, optional blanks. The decimal point is always ".".
// Raises EConvertError "'%s' is not a valid floating point value" otherwise, and for values
// beyond the range of a Double.
double StrToFloat(const std::string& s);
bool TryStrToFloat(const std::string& s, double& value);

// The shortest general format for a Double, 15 significant digits at most: 256 -> "256",
// 2.5 -> "2.5".
std::string FloatToStr(double value);

// The shortest decimal text that reads back as the same Single, in fixed notation.
std::string SingleToStr(float value);

// ASCII-only case mapping; every other byte is kept as it is.
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);
// Case-insensitive comparison (ASCII letters folded), <0, 0 or >0.
int CompareText(const std::string& a, const std::string& b);
inline bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }
// Removes leading and trailing characters of code 0 to 32.
std::string Trim(const std::string& s);

}  // namespace rtl
