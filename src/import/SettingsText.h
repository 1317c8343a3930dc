// The settings file's bytes as people's editors leave them: a UTF-8 byte-order mark in front, or
// a file saved as UTF-16. The settings are 8-bit text lines; a mark is passed over (and put back
// when the file is written again), and a file that is no such text is read as no settings at all
// and never written back, so that a wrong guess cannot destroy it.
#pragma once

#include <string>

struct TSettingsText {
  std::string Text;       // the lines, without the mark
  bool Utf8Mark = false;  // the file began with EF BB BF
  std::string NotText;    // why the bytes are no settings text (UTF-16, a NUL byte); else empty
};

TSettingsText DecodeSettingsText(const std::string& Bytes);

// Reads a settings file that is no plain file (a FIFO, a pipe such as "<(...)", a device) to
// its end: it has no size to ask for beforehand. More than 1 MiB is no settings file and raises.
std::string ReadSettingsStream(const std::string& Path);

// The bytes to write back for Text, with the mark when the file had one.
std::string EncodeSettingsText(const std::string& Text, bool Utf8Mark);
