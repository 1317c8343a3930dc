#include "cli/MapEntities.h"

#include <algorithm>
#include <cmath>

#include "brush/O_brush.h"
#include "level/O_jkl.h"
#include "rtl/SysUtils.h"

namespace {

float Finite(float Value) { return std::isfinite(Value) ? Value : 0.0f; }

std::string Triple(float A, float B, float C) {
  return rtl::SingleToStr(A) + " " + rtl::SingleToStr(B) + " " + rtl::SingleToStr(C);
}

std::string Point(const TVector3& P) { return Triple(P.X, P.Y, P.Z); }

}  // namespace

TEditorAngles EditorAngles(float GamePitch, float GameYaw, float GameRoll) {
  TEditorAngles a;
  a.Pitch = -Finite(GamePitch);
  double yaw = std::fmod(static_cast<double>(Finite(GameYaw)) + 90.0, 360.0);
  if (yaw < 0) yaw += 360.0;
  a.Yaw = static_cast<float>(yaw);
  // A yaw a hair below 360 rounds up to it as a Single: that is 0 again.
  if (a.Yaw >= 360.0f) a.Yaw = 0.0f;
  a.Roll = Finite(GameRoll);
  return a;
}

std::vector<TMapEntity> MapEntities(const TJKLevel& Level, const TBrushLevel& BrushLevel) {
  std::vector<TMapEntity> out;
  auto stray = [](const std::vector<int>& list, int i) {
    return std::find(list.begin(), list.end(), i) != list.end();
  };
  for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
    if (stray(BrushLevel.StrayThings, i)) continue;
    const TEntityRec& e = *BrushLevel.Entities.Objects(i);
    const TEditorAngles a = EditorAngles(e.Pitch, e.Yaw, e.Roll);
    TMapEntity entity;
    entity.Keys = {{"classname", e.Name},
                   {"origin", Point(e.Origin)},
                   {"angles", Triple(a.Pitch, a.Yaw, a.Roll)}};
    if (i < Level.Things.Count()) entity.Keys.emplace_back("template", Level.Things.Strings(i));
    out.push_back(std::move(entity));
  }
  for (size_t i = 0; i < BrushLevel.Lights.size(); ++i) {
    if (stray(BrushLevel.StrayLights, static_cast<int>(i))) continue;
    const auto& light = BrushLevel.Lights[i];
    TMapEntity entity;
    entity.Keys = {{"classname", "light"},
                   {"origin", Point(light->Position)},
                   {"light", rtl::SingleToStr(light->Value2)},
                   {"range", rtl::SingleToStr(light->Value1)}};
    out.push_back(std::move(entity));
  }
  return out;
}

std::string EntityText(const TMapEntity& Entity) {
  std::string out = "{\n";
  for (const auto& [key, value] : Entity.Keys) {
    std::string v = value;
    for (char& c : v)
      if (c == '"') c = '\'';
    out += "\"" + key + "\" \"" + v + "\"\n";
  }
  out += "}\n";
  return out;
}
