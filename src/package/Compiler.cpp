#include "package/Compiler.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "package/Program.h"
#include "rtl/AtomicFile.h"
#include "rtl/FolderIndex.h"
#include "rtl/Paths.h"

namespace package {

TCompilerFound FindCompiler(const std::string& Option, const std::string& Setting,
                            const std::string& PathList) {
  auto given = [](const std::string& path, const char* where) {
    if (IsExecutable(path)) return TCompilerFound{path, where};
    return TCompilerFound{std::string(), std::string(where) + " names '" + path +
                                             "', which is no program this user can run"};
  };
  if (!Option.empty()) return given(Option, "--q3map2");
  if (!Setting.empty()) return given(Setting, "setting Q3Map2");
  const std::string onPath = FindOnPath("q3map2", PathList);
  if (!onPath.empty()) return TCompilerFound{onPath, "PATH"};
  return TCompilerFound{std::string(),
                        "no map compiler: give q3map2 (the compiler of JK2 levels, from "
                        "NetRadiant or GtkRadiant) with --q3map2 PATH, the setting Q3Map2, or "
                        "put it on the PATH"};
}

std::vector<TCompileStage> CompileStages(const std::string& MapPath,
                                         const std::vector<std::string>& BasePaths, bool Fast) {
  std::vector<std::string> common{"-game", "jk2"};
  for (const std::string& base : BasePaths) {
    common.push_back("-fs_basepath");
    common.push_back(base);
  }
  const std::string bsp = rtl::ChangeFileExt(MapPath, ".bsp");
  auto stage = [&common](const char* name, std::vector<std::string> own, const std::string& file) {
    TCompileStage s{name, common};
    s.Args.insert(s.Args.end(), own.begin(), own.end());
    s.Args.push_back(file);
    return s;
  };
  std::vector<TCompileStage> stages;
  stages.push_back(stage("bsp", {"-bsp", "-meta"}, MapPath));
  stages.push_back(stage(
      "vis", Fast ? std::vector<std::string>{"-vis", "-fast"} : std::vector<std::string>{"-vis"},
      bsp));
  stages.push_back(stage("light",
                         Fast ? std::vector<std::string>{"-light", "-fast"}
                              : std::vector<std::string>{"-light", "-fast", "-samples", "2"},
                         bsp));
  return stages;
}

TLogCounts ReadCompilerLog(const std::string& Log) {
  TLogCounts counts;
  const std::string unfound = "Couldn't find image ", forShader = "for shader ";
  size_t start = 0;
  while (start < Log.size()) {
    size_t end = Log.find('\n', start);
    if (end == std::string::npos) end = Log.size();
    std::string line = Log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.find("WARNING") != std::string::npos) ++counts.Warnings;
    size_t at = line.find(unfound);
    if (at != std::string::npos) {
      at += unfound.size();
      if (line.compare(at, forShader.size(), forShader) == 0) at += forShader.size();
      const std::string name = line.substr(at);
      if (std::find(counts.Unfound.begin(), counts.Unfound.end(), name) == counts.Unfound.end())
        counts.Unfound.push_back(name);
    }
    if (line.find("******* leaked *******") != std::string::npos) counts.Leaked = true;
  }
  return counts;
}

std::vector<std::string> ConvertedButUnfound(const std::vector<std::string>& Unfound,
                                             const std::string& Base) {
  std::vector<std::string> converted;
  rtl::TFolderIndex folders;
  for (const std::string& name : Unfound) {
    // Folder by folder, each found in any letter case.
    std::string folder = rtl::IncludeTrailingPathDelimiter(Base);
    size_t start = 0, slash;
    while (!folder.empty() && (slash = name.find('/', start)) != std::string::npos) {
      folder = folders.FindFolder(folder, name.substr(start, slash - start));
      start = slash + 1;
    }
    if (folder.empty()) continue;
    for (const char* ext : {".jpg", ".jpeg", ".tga", ".png"})
      if (!folders.FindFile(folder, name.substr(start) + ext).empty()) {
        converted.push_back(name);
        break;
      }
  }
  return converted;
}

TStageRun RunCompileStage(const std::string& Compiler, const TCompileStage& Stage,
                          const std::string& LogPath) {
  std::error_code ec;
  const auto before = std::filesystem::file_size(LogPath, ec);
  const int64_t from = ec ? 0 : static_cast<int64_t>(before);
  TStageRun run;
  // Each stage's part of the log begins with the command, so that it can be run again by hand.
  std::string command = "== " + Compiler;
  for (const std::string& arg : Stage.Args) command += " " + arg;
  {
    std::ofstream log(LogPath, std::ios::app | std::ios::binary);
    log << command << "\n";
    if (!log) {
      run.Error = "cannot write the log '" + LogPath + "'";
      return run;
    }
  }
  run.Exit = RunProgram(Compiler, Stage.Args, LogPath, run.Error);
  // Only this stage's part of the log is counted; a log of hundreds of MB is not read.
  constexpr int64_t MaxLogBytes = int64_t{256} << 20;
  try {
    const std::string log = rtl::ReadFileToString(LogPath, MaxLogBytes, "a compiler's log");
    if (static_cast<size_t>(from) <= log.size())
      run.Counts = ReadCompilerLog(log.substr(static_cast<size_t>(from)));
  } catch (const std::exception& e) {
    if (run.Error.empty()) run.Error = e.what();
  }
  return run;
}

TStandInBase::TStandInBase() {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "morvane-base.XXXXXX").string();
  if (ec || !::mkdtemp(pattern.data())) return;
  path_ = pattern;
  const std::string shaders = path_ + "/base/shaders";
  try {
    if (!rtl::ForceDirectories(shaders)) throw rtl::Exception("no folder");
    rtl::WriteFileAtomic(shaders + "/zz_morvane_system.shader", SystemShaderStandIn());
  } catch (const std::exception&) {
    std::filesystem::remove_all(path_, ec);
    path_.clear();
  }
}

TStandInBase::~TStandInBase() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

bool HasGameAssets(const std::string& Base) {
  return !rtl::FindFileNoCase(rtl::IncludeTrailingPathDelimiter(Base), "assets0.pk3").empty();
}

const char* SystemShaderStandIn() {
  return "textures/system/caulk\n{\n\tsurfaceparm nodraw\n\tsurfaceparm nomarks\n"
         "\tsurfaceparm nolightmap\n}\n"
         "textures/system/nodraw\n{\n\tsurfaceparm nodraw\n\tsurfaceparm nonsolid\n"
         "\tsurfaceparm trans\n\tsurfaceparm nomarks\n\tsurfaceparm nolightmap\n}\n"
         "textures/system/hint\n{\n\tsurfaceparm nodraw\n\tsurfaceparm nonsolid\n"
         "\tsurfaceparm structural\n\tsurfaceparm trans\n\tsurfaceparm noimpact\n"
         "\tsurfaceparm hint\n}\n"
         "textures/system/skip\n{\n\tsurfaceparm nodraw\n\tsurfaceparm nonsolid\n"
         "\tsurfaceparm structural\n\tsurfaceparm trans\n\tsurfaceparm skip\n}\n"
         "textures/system/clip\n{\n\tsurfaceparm nodraw\n\tsurfaceparm playerclip\n"
         "\tsurfaceparm nonsolid\n\tsurfaceparm trans\n\tsurfaceparm nomarks\n"
         "\tsurfaceparm noimpact\n}\n"
         "textures/system/origin\n{\n\tsurfaceparm nodraw\n\tsurfaceparm nonsolid\n"
         "\tsurfaceparm origin\n}\n";
}

}  // namespace package
