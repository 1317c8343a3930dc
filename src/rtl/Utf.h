// UTF-8 inside, UTF-16 where a file or the system speaks it.
#pragma once

#include <string>

namespace rtl {

// Bytes that are no UTF-8 (text in a single-byte code page) are taken one character each, as
// Latin-1, so that nothing is lost on the way.
std::u16string Utf8ToUtf16(const std::string& Text);
// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& Text);

}  // namespace rtl
