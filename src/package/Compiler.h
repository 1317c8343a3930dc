// The map compiler of JK2 levels (q3map2 with -game jk2): where it is found, the stages it runs
// on a map and what its log says.
#pragma once

#include <string>
#include <vector>

namespace package {

// Where the compiler was found, or why not.
struct TCompilerFound {
  std::string Path;   // empty: none
  std::string Where;  // "--q3map2", "setting Q3Map2", "PATH"; or, without one, what is missing
};

// The compiler: the option's path when given (it must be a program), else the setting's, else
// "q3map2" on PathList (the PATH).
TCompilerFound FindCompiler(const std::string& Option, const std::string& Setting,
                            const std::string& PathList);

// One run of the compiler on the level.
struct TCompileStage {
  std::string Name;               // "bsp", "vis", "light"
  std::vector<std::string> Args;  // after the program's name
};

// The stages that make a playable level of MapPath (its .bsp beside it): bsp with -meta (the
// game draws triangle soup faster than brush faces), vis, and light. The light is linear and
// direct: the fitted lights are calibrated on the compiler's -fast light without bounce; a full
// build samples each luxel twice more finely. Fast: vis -fast and the light without extra
// samples, for a quick look. Each base path is given as -fs_basepath, in order.
std::vector<TCompileStage> CompileStages(const std::string& MapPath,
                                         const std::vector<std::string>& BasePaths, bool Fast);

// What one stage's log says.
struct TLogCounts {
  int Warnings = 0;                  // lines with "WARNING" (the unfound images among them)
  std::vector<std::string> Unfound;  // the shaders whose image was not found, in order
  bool Leaked = false;
};
TLogCounts ReadCompilerLog(const std::string& Log);

// Of the shaders the compiler found no image for, those whose image is in the game's base folder
// (Base: .../GameData/base) as <shader>.jpg, .jpeg, .tga or .png in any letter case: an image
// converted where the compiler does not look. The others are materials the import did not find.
std::vector<std::string> ConvertedButUnfound(const std::vector<std::string>& Unfound,
                                             const std::string& Base);

// One stage run: the compiler's output appended to LogPath, and what that part of the log says.
struct TStageRun {
  int Exit = -1;  // the compiler's exit status; -1: it could not be run (Error says why)
  std::string Error;
  TLogCounts Counts;
};
TStageRun RunCompileStage(const std::string& Compiler, const TCompileStage& Stage,
                          const std::string& LogPath);

// A base path of the compiler's that holds only SystemShaderStandIn(), for a game folder without
// the game's own assets; removed with the object. Path is empty when it could not be made.
class TStandInBase {
 public:
  TStandInBase();
  ~TStandInBase();
  TStandInBase(const TStandInBase&) = delete;
  TStandInBase& operator=(const TStandInBase&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Whether the game's base folder holds the game's own assets (assets0.pk3, any letter case),
// whose shaders the stand-in must not shadow.
bool HasGameAssets(const std::string& Base);

// A shader script standing in for the game's own system shaders (caulk, nodraw, clip, hint,
// skip, origin) when the game folder does not hold the game's assets: without it the compiler
// draws caulk as a wall and culls the real faces that touch it.
const char* SystemShaderStandIn();

}  // namespace package
