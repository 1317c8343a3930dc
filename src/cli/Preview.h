// morvane preview: the import's reading and conversion, then a picture of the slabs' front faces
// instead of a .map file. Built natively only: the Windows build of morvane has no libpng.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// args as RunCli gets them ("morvane", "preview", ...). Exit status: 0 success, 1 the import or
// the picture failed, 2 a usage error.
int Preview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
