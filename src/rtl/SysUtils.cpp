#include "rtl/SysUtils.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace rtl {

EStringListError EStringListError::OutOfBounds(int index) {
  return EStringListError(Format("List index out of bounds (%d)", index));
}

EFOpenError::EFOpenError(const std::string& fileName)
    : EStreamError(Format("Cannot open file %s", fileName.c_str())) {
  MarkPlaced();
}

EFCreateError::EFCreateError(const std::string& fileName)
    : EStreamError(Format("Cannot create file %s", fileName.c_str())) {
  MarkPlaced();
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    va_end(copy);
    return out;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), fmt, copy);
    out.assign(big.data(), static_cast<size_t>(n));
  }
  va_end(copy);
  return out;
}

static bool IsBlank(char c) { return c == ' '; }

bool TryStrToInt(const std::string& s, int32_t& value) {
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t acc = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (; i < n; ++i) {
    char c = s[i];
    unsigned d;
    if (c >= '0' && c <= '9')
      d = static_cast<unsigned>(c - '0');
    else if (hex && c >= 'a' && c <= 'f')
      d = static_cast<unsigned>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F')
      d = static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
    acc = acc * (hex ? 16 : 10) + d;
    if (acc > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(acc);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

int32_t StrToInt(const std::string& s) {
  int32_t v;
  if (!TryStrToInt(s, v))
    throw EConvertError(Format("'%s' is not a valid integer value", s.c_str()));
  return v;
}

bool TryStrToFloat(const std::string& s, double& value) {
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  while (n > i && IsBlank(s[n - 1])) --n;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  // Validate the grammar ourselves; from_chars then does the correctly rounded conversion,
  // which is the same on every platform and independent of any locale.
  size_t start = i, digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < n && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
    if (expDigits == 0) return false;
    i = j;
  }
  if (i != n) return false;
  std::string body = s.substr(start, n - start);
  // from_chars wants no leading "." omission issues: "1." and ".5" are both fine for it, but the
  // exponent's "+" is too; normalise nothing else.
  double v = 0;
  auto res = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Underflow to zero is harmless; overflow is not a number we can store. Tell them apart by
    // the decimal magnitude: the position of the first significant digit plus the exponent.
    long magnitude = 0;
    size_t k = 0;
    bool seenPoint = false, seenDigit = false;
    for (; k < body.size() && body[k] != 'e' && body[k] != 'E'; ++k) {
      if (body[k] == '.') {
        seenPoint = true;
      } else if (body[k] != '0' || seenDigit) {
        seenDigit = true;
        if (!seenPoint) ++magnitude;
      } else if (seenPoint) {
        --magnitude;
      }
    }
    if (k < body.size()) {
      // strtol saturates an exponent beyond a long; the sum must not overflow either.
      const long e = std::strtol(body.c_str() + k + 1, nullptr, 10);
      if (e > 0 && magnitude > LONG_MAX - e)
        magnitude = LONG_MAX;
      else if (e < 0 && magnitude < LONG_MIN - e)
        magnitude = LONG_MIN;
      else
        magnitude += e;
    }
    if (magnitude > 0) return false;
    v = 0;
  } else if (res.ec != std::errc() || res.ptr != body.data() + body.size()) {
    return false;
  }
  if (!std::isfinite(v)) return false;
  value = negative ? -v : v;
  return true;
}

double StrToFloat(const std::string& s) {
  double v;
  if (!TryStrToFloat(s, v))
    throw EConvertError(Format("'%s' is not a valid floating point value", s.c_str()));
  return v;
}

std::string FloatToStr(double value) {
  char buf[64];
  for (int precision = 1; precision <= 15; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, value);
    if (precision == 15 || std::strtod(buf, nullptr) == value) break;
  }
  return buf;
}

std::string SingleToStr(float value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  std::string out(buf, res.ptr);
  if (out == "-0") out = "0";
  return out;
}

std::string UpperCase(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string LowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

}  // namespace rtl
