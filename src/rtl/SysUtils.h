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
//
// An error learns where it happened on its way up: the layer that knows the file (and entry, or
// line) adds it behind the message with SetPlace and rethrows the same object, so its class is
// kept for whoever catches it further up. The innermost place wins; later calls change nothing.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message), message_(message) {}
  const char* what() const noexcept override { return message_.c_str(); }
  std::string Message() const { return message_; }
  // Appends " (" + place + ")" to the message unless a place was set before.
  void SetPlace(const std::string& place) {
    if (placed_ || place.empty()) return;
    place_ = place;
    message_ += " (" + place + ")";
    placed_ = true;
  }
  bool HasPlace() const { return placed_; }
  // The place given to SetPlace, and the message as raised, without it.
  const std::string& Place() const { return place_; }
  std::string BaseMessage() const {
    return place_.empty() ? message_ : message_.substr(0, message_.size() - place_.size() - 3);
  }

 protected:
  // For errors whose message names their file already.
  void MarkPlaced() { placed_ = true; }

 private:
  std::string message_;
  std::string place_;
  bool placed_ = false;
};

// "in 'path'": the place of an error in a file, for SetPlace.
inline std::string InFile(const std::string& path) { return "in '" + path + "'"; }

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
