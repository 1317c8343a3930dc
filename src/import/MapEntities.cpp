#include "import/MapEntities.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "brush/O_brush.h"
#include "import/LevelModels.h"
#include "level/O_jkl.h"
#include "light/GameLightFile.h"
#include "light/LightFit.h"
#include "rtl/SysUtils.h"
#include "things/ThingPlan.h"

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

// A frame's place in the map, checked as a thing's origin is.
std::string FramePoint(const TThingFrame& Frame, double Scale, const TJKLevel& Level, int Thing) {
  const float s = static_cast<float>(Scale);
  const TVector3 p{Frame.Position.X * s, Frame.Position.Y * s, Frame.Position.Z * s};
  if (!IsFinite(p)) BeyondRange(rtl::Format("A frame of thing %d", Thing), Level, Scale);
  return Point(p);
}

// The keys that set where a door goes: "angle" (-1 up, -2 down) or "angles" for a slanted way,
// and "lip" so that it travels exactly from its first frame to its second.
void DoorWay(const TThingPlan& Plan, const TThingModelPlacement& Place, double Scale,
             TMapEntity& Entity) {
  const TVector3& a = Plan.Frames[0].Position;
  const TVector3& b = Plan.Frames[1].Position;
  double d[3] = {(b.X - a.X) * Scale, (b.Y - a.Y) * Scale, (b.Z - a.Z) * Scale};
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (double& c : d) c /= length;
  constexpr double deg = 180.0 / 3.14159265358979323846;
  double yaw = std::atan2(d[1], d[0]) * deg;
  if (yaw < 0) yaw += 360;
  if (std::fabs(d[2]) > 0.9999) {
    Entity.Keys.emplace_back("angle", d[2] > 0 ? "-1" : "-2");
  } else if (std::fabs(d[2]) < 1e-4) {
    Entity.Keys.emplace_back("angle", rtl::SingleToStr(static_cast<float>(yaw)));
  } else {
    // A positive pitch looks down.
    Entity.Keys.emplace_back(
        "angles", Triple(static_cast<float>(-std::asin(d[2]) * deg), static_cast<float>(yaw), 0));
  }
  double reach = 0;  // how far the game's door would go with no lip: its size along the way
  for (int k = 0; k < 3; ++k) reach += std::fabs(d[k]) * (Place.MoverMax[k] - Place.MoverMin[k]);
  Entity.Keys.emplace_back("lip", rtl::SingleToStr(static_cast<float>(reach - length)));
}

// A door or a train and, for a train, its path corners.
void MoverEntities(const TJKLevel& Level, int Index, const TThingPlan& Plan,
                   const TThingModelPlacement& Place, const TEntityRec& Entity, double Scale,
                   std::vector<TMapEntity>& Out) {
  const bool door = Plan.Role == TThingRole::Door;
  const std::string corner = rtl::Format("thing%d_frame", Index);
  TMapEntity mover;
  mover.Thing = Level.Things.Objects(Index);
  mover.Keys = {{"classname", door ? "func_door" : "func_train"},
                {"model2", Place.MoverModel},
                {"origin", Point(Entity.Origin)}};
  if (door)
    DoorWay(Plan, Place, Scale, mover);
  else
    mover.Keys.insert(mover.Keys.end(), {{"target", corner + "0"}, {"spawnflags", "1"}});
  if (Plan.Speed > 0)
    mover.Keys.emplace_back("speed", rtl::SingleToStr(static_cast<float>(Plan.Speed * Scale)));
  if (Plan.Wait >= 0 && door)
    mover.Keys.emplace_back("wait", rtl::SingleToStr(static_cast<float>(Plan.Wait)));
  mover.Keys.emplace_back("template", Level.Things.Strings(Index));
  mover.Boxes.push_back({Place.MoverMin[0], Place.MoverMin[1], Place.MoverMin[2], Place.MoverMax[0],
                         Place.MoverMax[1], Place.MoverMax[2]});
  mover.BoxTexture = MoverTexture;
  Out.push_back(std::move(mover));
  if (door) return;
  const size_t frames = Plan.Frames.size();
  for (size_t k = 0; k < frames; ++k) {
    TMapEntity path;
    path.Keys = {{"classname", "path_corner"},
                 {"targetname", corner + std::to_string(k)},
                 {"target", corner + std::to_string((k + 1) % frames)},
                 {"origin", FramePoint(Plan.Frames[k], Scale, Level, Index)}};
    if (Plan.Wait >= 0)
      path.Keys.emplace_back("wait", rtl::SingleToStr(static_cast<float>(Plan.Wait)));
    Out.push_back(std::move(path));
  }
}

// A thing that plays: its entities, or False when it is written as before.
bool PlayEntities(const TJKLevel& Level, int Index, const TThingsPlan* Things,
                  const TLevelModels* Models, const TEntityRec& Entity, double Scale,
                  std::vector<TMapEntity>& Out) {
  if (!Things || static_cast<size_t>(Index) >= Things->Things.size()) return false;
  const TThingPlan& plan = Things->Things[static_cast<size_t>(Index)];
  if (plan.Mover()) {
    if (!Models || static_cast<size_t>(Index) >= Models->Things.size()) return false;
    MoverEntities(Level, Index, plan, Models->Things[static_cast<size_t>(Index)], Entity, Scale,
                  Out);
    return true;
  }
  if (plan.Class.empty()) return false;
  const TEditorAngles a = EditorAngles(Entity.Pitch, Entity.Yaw, Entity.Roll);
  TMapEntity entity;
  entity.Thing = Level.Things.Objects(Index);
  entity.Keys = {{"classname", plan.Class},
                 {"origin", Point(Entity.Origin)},
                 {"angles", Triple(a.Pitch, a.Yaw, a.Roll)},
                 {"template", Level.Things.Strings(Index)}};
  Out.push_back(std::move(entity));
  return true;
}

// A box brush's six faces, each by three points on its plane seen from outside, as the shell's
// boxes are written.
void BoxFaces(const std::array<float, 6>& B, float P[6][3][3]) {
  const float x0 = B[0], y0 = B[1], z0 = B[2], x1 = B[3], y1 = B[4], z1 = B[5];
  const float xm = (x0 + x1) / 2, ym = (y0 + y1) / 2, zm = (z0 + z1) / 2;
  const float faces[6][3][3] = {
      {{x0, y0, z0}, {x0, y1, z0}, {x0, ym, zm}}, {{x1, y0, z0}, {x1, y0, z1}, {x1, ym, zm}},
      {{x0, y0, z0}, {x0, y0, z1}, {xm, y0, zm}}, {{x0, y1, z0}, {x1, y1, z0}, {xm, y1, zm}},
      {{x0, y0, z0}, {x1, y0, z0}, {xm, ym, z0}}, {{x0, y0, z1}, {x0, y1, z1}, {xm, ym, z1}}};
  std::memcpy(P, faces, sizeof faces);
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
                                    const TLightFit* GameLights, const TThingsPlan* Things) {
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
    if (i < Level.Things.Count() && PlayEntities(Level, i, Things, Models, e, Scale, out)) continue;
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
        entity.Thing = i < Level.Things.Count() ? Level.Things.Objects(i) : nullptr;
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
    entity.Thing = i < Level.Things.Count() ? Level.Things.Objects(i) : nullptr;
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

std::string EntityText(const TMapEntity& Entity, bool BrushDef) {
  std::string out = "{\n";
  for (const auto& [key, value] : Entity.Keys) {
    std::string v = value;
    for (char& c : v)
      if (c == '"') c = '\'';
    out += "\"" + key + "\" \"" + v + "\"\n";
  }
  for (const std::array<float, 6>& box : Entity.Boxes) {
    float faces[6][3][3];
    BoxFaces(box, faces);
    out += BrushDef ? "{\nbrushDef\n{\n" : "{\n";
    for (const auto& face : faces) {
      for (const auto& p : face) out += "( " + Triple(p[0], p[1], p[2]) + " ) ";
      // A 64 x 64 image's matrix: one repeat per 64 units.
      out += BrushDef ? "( ( 0.015625 0 0 ) ( 0 0.015625 0 ) ) " + Entity.BoxTexture + " 0 0 0\n"
                      : Entity.BoxTexture + " 0 0 0 0.5 0.5 0 0 0\n";
    }
    out += BrushDef ? "}\n}\n" : "}\n";
  }
  out += "}\n";
  return out;
}
