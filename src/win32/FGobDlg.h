// The entry picker: a modal dialog listing one folder of an opened container.
#pragma once

#include <string>

class TJKContainer;

class TfrmDlgGob {
 public:
  // The chosen entry's full key, or the empty text when nothing was chosen.
  static std::string SelectEntry(const TJKContainer& Container, const std::string& Folder);
};
