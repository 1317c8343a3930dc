#include "import/WholeMap.h"

#include <array>
#include <string>

#include "import/MapEntities.h"
#include "import/MapWriter.h"
#include "import/MarkedMap.h"
#include "light/GameLightFile.h"
#include "rtl/AtomicFile.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"

TWholeMap WriteWholeMap(rtl::TStream& Out, const TImportResult& Result, TMapLayout& Layout,
                        bool WithEntities,
                        const std::function<void(int Index, int Count)>& Progress) {
  TWholeMap report;
  TMapWriter map([&Out](const char* data, size_t size) { Out.WriteBuffer(data, size); });
  map.BeginWorldspawn();
  // A sealed level's block size for the compiler, chosen from the level's size.
  const std::array<int, 3>& block = Result.Conversion.BlockSize;
  if (block[0] > 0)
    map.Append("\"_blocksize\" \"" + std::to_string(block[0]) + " " + std::to_string(block[1]) +
               " " + std::to_string(block[2]) + "\"\n");
  for (const auto& [key, value] : WorldspawnKeys(Result.GameLights.get()))
    map.Append("\"" + key + "\" \"" + value + "\"\n");
  // The faces the result kept, or each brush's made as it is written.
  const bool kept = !Result.Faces.empty() || Result.BrushCount() == 0;
  const int count = kept ? static_cast<int>(Result.Faces.size()) : Result.BrushCount();
  TFacePolicy policy;
  if (!kept) {
    policy = Result.FacePolicy;
    policy.Names = &Result.Names;
  }
  TEditorBrush made;
  for (int i = 0; i < count; ++i) {
    if (Progress) Progress(i, count);
    if (!kept) EditorBrush(*Result.BrushLevel, i, policy, made);
    Layout.Write(map, kept ? Result.Faces[static_cast<size_t>(i)] : made);
  }
  map.EndEntity();
  if (WithEntities)
    for (const TMapEntity& entity :
         MapEntities(*Result.Level, *Result.BrushLevel, Result.Conversion.Scale, &Result.Models,
                     Result.GameLights.get(), &Result.Things)) {
      map.Append(EntityText(entity, Layout.BrushDef()));
      ++report.Entities;
      if (!entity.Keys.empty() && entity.Keys[0].second == "misc_model") ++report.Models;
    }
  map.Flush();
  report.Written = map.Written(), report.WrittenBrushDef = map.WrittenBrushDef();
  report.Skipped = map.Skipped();
  return report;
}

std::string WriteGameLightFile(const std::string& MapPath, const TImportResult& Result) {
  if (!Result.GameLights) return {};
  const std::string path = GameLightPath(MapPath);
  rtl::WriteFileAtomic(path, GameLightText(Result.GameLights->Lit));
  return path;
}

std::string GameMapPath(const std::string& InstallPath, const TImportResult& Result) {
  return rtl::JoinPath(InstallPath, rtl::NativePath("GameData\\base\\maps\\")) +
         Result.Names.Folder + ".map";
}

std::string WriteGameMap(const std::string& InstallPath, const TImportResult& Result,
                         TMapLayout& Layout, TWholeMap& Report, const TConsoleProc& Console,
                         const std::function<void(int Index, int Count)>& Progress) {
  rtl::TMemoryStream body;
  Report = WriteWholeMap(body, Result, Layout, true, Progress);
  return SaveMarkedMap(InstallPath, GameMapPath(InstallPath, Result),
                       std::string(body.Bytes().begin(), body.Bytes().end()), Console);
}
