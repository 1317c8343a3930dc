#include "import/MapEntities.h"

#include <algorithm>
#include <cmath>

#include "brush/O_brush.h"
#include "import/LevelModels.h"
#include "level/O_jkl.h"
#include "light/GameLightFile.h"
#include "light/LightFit.h"
#include "rtl/SysUtils.h"

namespace {

float Finite(float Value) { return std::isfinite(Value) ? Value : 0.0f; }

std::string Triple(float A, float B, float C) {
  return rtl::SingleToStr(A) + " " + rtl::SingleToStr(B) + " " + rtl::SingleToStr(C);
}

std::string Point(const TVector3& P) { return Triple(P.X, P.Y, P.Z); }

// A level's own numbers in an error, as a brush corner's are given.
std::string Numbers(const TVector3& P) {
  return rtl::FloatToStr(P.X) + " " + rtl::FloatToStr(P.Y) + " " + rtl::FloatToStr(P.Z);
}

bool IsFinite(const TVector3& P) {
  return std::isfinite(P.X) && std::isfinite(P.Y) && std::isfinite(P.Z);
}

// A number that does not fit a Single would be written as "inf", which no editor reads back.
[[noreturn]] void BeyondRange(const std::string& What, const TJKLevel& Level, double Scale) {
  throw rtl::Exception(
      rtl::Format("%s of level '%s' gives a value beyond the range of a map once "
                  "scaled by %s",
                  What.c_str(), Level.Name.c_str(), rtl::FloatToStr(Scale).c_str()));
}

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

std::vector<TMapEntity> MapEntities(const TJKLevel& Level, const TBrushLevel& BrushLevel,
                                    double Scale, const TLevelModels* Models,
                                    const TLightFit* GameLights) {
  std::vector<TMapEntity> out;
  auto stray = [](const std::vector<int>& list, int i) {
    return std::find(list.begin(), list.end(), i) != list.end();
  };
  for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
    if (stray(BrushLevel.StrayThings, i)) continue;
    const TEntityRec& e = *BrushLevel.Entities.Objects(i);
    if (!IsFinite(e.Origin)) {
      const TEntityRec* thing = i < Level.Things.Count() ? Level.Things.Objects(i) : nullptr;
      BeyondRange(rtl::Format("Thing %d", i) +
                      (thing ? " '" + thing->Name + "' (" + Numbers(thing->Origin) + ")" : ""),
                  Level, Scale);
    }
    const TThingModelPlacement* placed =
        Models && static_cast<size_t>(i) < Models->Things.size() &&
                Models->Things[static_cast<size_t>(i)].State == TThingModelState::Placed
            ? &Models->Things[static_cast<size_t>(i)]
            : nullptr;
    if (placed) {
      const TLevelModel& model = Models->Models[static_cast<size_t>(placed->Model)];
      const TModelAngles& a = placed->Angles;
      // A model split into several files: one misc_model for each, all placed alike.
      for (const std::string& file : model.MapNames) {
        TMapEntity entity;
        entity.Keys = {{"classname", "misc_model"},
                       {"model", file},
                       {"origin", Point(e.Origin)},
                       {"angles", Triple(a.Pitch, a.Yaw, a.Roll)}};
        if (model.ModelScale != 1)
          entity.Keys.emplace_back("modelscale", rtl::FloatToStr(model.ModelScale));
        if (placed->Clip && !placed->Moves) entity.Keys.emplace_back("spawnflags", "2");
        if (i < Level.Things.Count()) entity.Keys.emplace_back("template", Level.Things.Strings(i));
        out.push_back(std::move(entity));
      }
      continue;
    }
    const TEditorAngles a = EditorAngles(e.Pitch, e.Yaw, e.Roll);
    TMapEntity entity;
    entity.Keys = {{"classname", e.Name},
                   {"origin", Point(e.Origin)},
                   {"angles", Triple(a.Pitch, a.Yaw, a.Roll)}};
    if (i < Level.Things.Count()) entity.Keys.emplace_back("template", Level.Things.Strings(i));
    out.push_back(std::move(entity));
  }
  if (GameLights) {
    for (const TFitLight& light : GameLights->Lights) {
      if (light.Source >= 0 && stray(BrushLevel.StrayLights, light.Source)) continue;
      if (!IsFinite(light.Origin) || !std::isfinite(light.Light) || !std::isfinite(light.Fade))
        BeyondRange(light.Source >= 0 ? rtl::Format("Light %d", light.Source)
                                      : rtl::Format("The fill light of sector %d", light.Sector),
                    Level, Scale);
      TMapEntity entity;
      entity.Keys = {{"classname", "light"},
                     {"origin", Point(light.Origin)},
                     {"light", rtl::SingleToStr(light.Light)},
                     {"fade", rtl::SingleToStr(light.Fade)},
                     {"spawnflags", "1"}};
      out.push_back(std::move(entity));
    }
    return out;
  }
  // The level heads its light table "#num: type: X: Y: Z: intensity: range:": the first value is
  // the intensity, the second the range. The brush model's copies scale them the other way round;
  // they reach nobody, so they stay, and the values are taken from the level's own records.
  const size_t lights = std::min(BrushLevel.Lights.size(), Level.Lights.size());
  for (size_t i = 0; i < lights; ++i) {
    if (stray(BrushLevel.StrayLights, static_cast<int>(i))) continue;
    const TLightRec& source = *Level.Lights[i];
    const float intensity = static_cast<float>(static_cast<double>(source.Value1) * 100);
    const float range = static_cast<float>(Scale * source.Value2);
    const TVector3& origin = BrushLevel.Lights[i]->Position;
    if (!IsFinite(origin) || !std::isfinite(intensity) || !std::isfinite(range))
      BeyondRange(rtl::Format("Light %d (", static_cast<int>(i)) + Numbers(source.Position) + ", " +
                      rtl::FloatToStr(source.Value1) + " " + rtl::FloatToStr(source.Value2) + ")",
                  Level, Scale);
    TMapEntity entity;
    entity.Keys = {{"classname", "light"},
                   {"origin", Point(origin)},
                   {"light", rtl::SingleToStr(intensity)},
                   {"range", rtl::SingleToStr(range)}};
    out.push_back(std::move(entity));
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> WorldspawnKeys(const TLightFit* GameLights) {
  if (!GameLights) return {};
  return {{"_minlight", rtl::SingleToStr(GameLights->MinLight)},
          {"_ambient", rtl::SingleToStr(GameLights->Ambient)},
          {"_lightmapscale", rtl::SingleToStr(GameLights->LightmapScale)},
          {IdKey, GameLightId(GameLights->Lit)}};
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
