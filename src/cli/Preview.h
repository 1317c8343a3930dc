// morvane preview: the import's reading and conversion, then a picture of the slabs' front faces
// instead of a .map file. Built natively only: the Windows build of morvane has no libpng.
#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// The command's arguments as the command line's parser gives them.
struct TPreviewCall {
  std::vector<std::string> Positional;
  std::map<std::string, std::string> Options;  // a switch (--align, --clean) holds "1"
  std::string DefaultSettings;                 // the settings file when --settings is not given
};

// The command's usage lines and its paragraph of the help.
extern const char* const PreviewSynopsis;
extern const char* const PreviewDetails;

// Exit status: 0 success, 1 the import or the picture failed, 2 a usage error.
int Preview(const TPreviewCall& Call, std::ostream& out, std::ostream& err);
