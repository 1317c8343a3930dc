#include "import/MarkedMap.h"

#include "rtl/AtomicFile.h"
#include "rtl/OwnedFile.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

// A map compiler and the editors skip the line as a comment.
const char* const MapMark = "// Morvane map ";
// Far beyond the largest map of any level (a few megabytes): a larger file is not compared.
constexpr int64_t MaxMarkedMapBytes = 256 << 20;

}  // namespace

std::string MarkMap(const std::string& Body) {
  return MapMark + rtl::Digest(Body) + ", replaced when its level is imported again\n" + Body;
}

bool MarkedMapUnchanged(const std::string& Path) {
  std::string text;
  try {
    text = rtl::ReadFileToString(Path, MaxMarkedMapBytes, "a map");
  } catch (const rtl::Exception&) {
    return false;
  }
  const size_t eol = text.find('\n');
  if (eol == std::string::npos || text.rfind(MapMark, 0) != 0) return false;
  const std::string body = text.substr(eol + 1);
  return MarkMap(body) == text;
}

std::string SaveMarkedMap(const std::string& Base, const std::string& Path, const std::string& Body,
                          const TConsoleProc& Console) {
  const std::string folder = rtl::ExtractFilePath(Path);
  std::string relative = folder;
  if (!Base.empty() && folder.rfind(Base, 0) == 0) relative = folder.substr(Base.size());
  const std::string link = Base.empty() ? std::string() : rtl::LinkOnTheWay(Base, relative);
  if (!link.empty()) throw rtl::Exception("'" + link + "' is a link; no map is written through it");
  if (!folder.empty() && !rtl::ForceDirectories(folder))
    throw rtl::Exception("Cannot create the folder '" + folder + "'");
  const std::string target = rtl::ReplaceableName(Path, MarkedMapUnchanged);
  if (target.empty())
    throw rtl::Exception("'" + Path + "' and the hundred names beside it hold maps of others");
  if (target != Path && Console)
    Console("'" + Path + "' " +
            (rtl::IsLink(Path) ? "is a link" : "is no map Morvane wrote, or was changed since") +
            "; left alone, the new map is '" + target + "'");
  rtl::WriteFileAtomic(target, MarkMap(Body), rtl::TLinks::Refuse);
  return target;
}
