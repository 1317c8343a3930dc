#include "rtl/Utf.h"

#include <cstdint>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#endif

namespace rtl {

namespace {

// The code point of the UTF-8 sequence at Text[i] and its length; 0 when it is none.
size_t DecodeUtf8(const std::string& Text, size_t i, char32_t& c) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(Text[k]); };
  const unsigned char b = byte(i);
  size_t n;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if (b >= 0xC2 && b < 0xE0) {
    n = 2, c = b & 0x1F;
  } else if (b >= 0xE0 && b < 0xF0) {
    n = 3, c = b & 0x0F;
  } else if (b >= 0xF0 && b < 0xF5) {
    n = 4, c = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > Text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
  static const char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < Least[n] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return 0;
  return n;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& Text) {
  std::u16string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size();) {
    char32_t c;
    size_t n = DecodeUtf8(Text, i, c);
    if (n == 0) c = static_cast<unsigned char>(Text[i]), n = 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += n;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    char32_t c = Text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
        Text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (Text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

#ifdef _WIN32
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) args.push_back(Utf8(argv[i]));
    LocalFree(argv);
  }
  return args;
}
#endif

}  // namespace rtl
