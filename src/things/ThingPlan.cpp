#include "things/ThingPlan.h"

#include <cmath>

#include "rtl/SysUtils.h"

namespace {

bool ReadFloats(std::string_view Text, float* Out, int Count) {
  for (int i = 0; i < Count; ++i) {
    const size_t end = i + 1 < Count ? Text.find('/') : Text.size();
    if (end == std::string_view::npos) return false;
    double v = 0;
    if (!rtl::TryStrToFloat(std::string(Text.substr(0, end)), v) || !std::isfinite(v)) return false;
    Out[i] = static_cast<float>(v);
    Text.remove_prefix(i + 1 < Count ? end + 1 : end);
  }
  return true;
}

bool IsPlayer(const TThingModel& Model, const std::string& Template) {
  return Model.Type == "player" || rtl::SameText(Template, "walkplayer");
}

// The chain's "cog" value: what plays a pickup or an actor.
std::string ChainValue(const TJKLevel& Level, const std::string& Template, const TThingParams& Own,
                       const char* Key) {
  std::string value;
  for (const auto& [k, v] : Own)
    if (rtl::SameText(k, Key)) value = v;
  if (value.empty()) Level.Templates.Param(Template, Key, value);
  return value;
}

// The frames move the thing without turning it; Stay says why not.
TThingStay FramesMove(const std::vector<TThingFrame>& Frames) {
  bool moves = false;
  for (const TThingFrame& f : Frames) {
    const TThingFrame& first = Frames.front();
    if (std::fabs(f.Pitch - first.Pitch) > 0.01f || std::fabs(f.Yaw - first.Yaw) > 0.01f ||
        std::fabs(f.Roll - first.Roll) > 0.01f)
      return TThingStay::Turns;
    const TVector3 d{f.Position.X - first.Position.X, f.Position.Y - first.Position.Y,
                     f.Position.Z - first.Position.Z};
    moves = moves || std::fabs(d.X) + std::fabs(d.Y) + std::fabs(d.Z) > 1e-4f;
  }
  return moves ? TThingStay::None : TThingStay::StandsStill;
}

// The cog lines whose text moves things and names thing Index in a "thing" symbol: the first
// drives it, and gives its speed and wait when its symbols name them.
void FindDriver(const TJKLevel& Level, const TCogSource& Cogs, int Index, TThingPlan& Plan) {
  if (!Cogs) return;
  const std::string number = std::to_string(Index);
  for (size_t c = 0; c < Level.Cogs.size() && Plan.Cog < 0; ++c) {
    const TCogLine& line = Level.Cogs[c];
    const TCogScript* script = Cogs(line.File);
    if (!script || !script->MovesThings) continue;
    for (size_t s = 0; s < script->Symbols.size() && s < line.Values.size(); ++s)
      if (script->Symbols[s].Type == "thing" && line.Values[s] == number)
        Plan.Cog = static_cast<int>(c);
    if (Plan.Cog < 0) continue;
    double v = 0;
    for (const char* name : {"speed", "movespeed"})
      if (rtl::TryStrToFloat(CogValue(*script, line, name), v) && v > 0) Plan.Speed = v;
    for (const char* name : {"wait", "sleeptime", "waittime"})
      if (rtl::TryStrToFloat(CogValue(*script, line, name), v) && v >= 0) Plan.Wait = v;
  }
}

// Door, Train or Model, for a thing whose frames or driver say it moves.
void PlanMover(TThingPlan& Plan) {
  Plan.Role = Plan.Model.Model3d.empty() ? TThingRole::Nothing : TThingRole::Model;
  if (Plan.Frames.size() < 2) {
    if (!Plan.Frames.empty()) Plan.Stay = TThingStay::StandsStill;
    return;
  }
  Plan.Stay = FramesMove(Plan.Frames);
  if (Plan.Stay == TThingStay::None && Plan.Model.Model3d.empty()) Plan.Stay = TThingStay::NoModel;
  if (Plan.Stay != TThingStay::None) return;
  Plan.Role = Plan.Frames.size() == 2 ? TThingRole::Door : TThingRole::Train;
}

}  // namespace

const char* ThingStayText(TThingStay Stay) {
  switch (Stay) {
    case TThingStay::Turns:
      return "its frames turn it";
    case TThingStay::StandsStill:
      return "its frames do not move it";
    case TThingStay::NoModel:
      return "it has no model to give a mover its size";
    case TThingStay::ModelMissing:
      return "its model was not found or not written";
    case TThingStay::UnknownItem:
      return "a pickup without a JK2 counterpart";
    case TThingStay::UnknownActor:
      return "an actor without a JK2 character";
    case TThingStay::Multiplayer:
      return "an actor on a multiplayer level";
    case TThingStay::TooLarge:
      return "its model is too large for a mover";
    case TThingStay::None:
      break;
  }
  return "";
}

std::vector<TThingFrame> ThingFrames(const TThingParams& Params) {
  std::vector<TThingFrame> frames;
  for (const auto& [key, value] : Params) {
    if (!rtl::SameText(key, "frame") || value.size() < 2 || value.front() != '(' ||
        value.back() != ')')
      continue;
    const std::string_view inner = std::string_view(value).substr(1, value.size() - 2);
    const size_t colon = inner.find(':');
    if (colon == std::string_view::npos) continue;
    float pos[3], turn[3];
    if (!ReadFloats(inner.substr(0, colon), pos, 3) ||
        !ReadFloats(inner.substr(colon + 1), turn, 3))
      continue;
    frames.push_back({TVector3{pos[0], pos[1], pos[2]}, turn[0], turn[1], turn[2]});
  }
  return frames;
}

int TThingsPlan::Count(TThingRole Role) const {
  int n = 0;
  for (const TThingPlan& t : Things) n += t.Role == Role;
  return n;
}

int TThingsPlan::Count(TThingStay Stay) const {
  int n = 0;
  for (const TThingPlan& t : Things) n += t.Stay == Stay;
  return n;
}

TThingsPlan PlanThings(const TJKLevel& Level, const TCogSource& Cogs, bool Playable) {
  TThingsPlan out;
  int starts = 0;
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const std::string& templ = Level.Things.Strings(i);
    const TThingParams& own = Level.Things.Objects(i)->Params;
    TThingPlan plan;
    plan.Model = ResolveThing(Level.Templates, templ, own);
    plan.Frames = ThingFrames(own);
    FindDriver(Level, Cogs, i, plan);
    plan.Moves = plan.Model.Moves() || plan.Cog >= 0;
    plan.Role = plan.Model.Model3d.empty() ? TThingRole::Nothing : TThingRole::Model;
    if (IsPlayer(plan.Model, templ)) {
      plan.Role = TThingRole::PlayerStart;
      ++starts;
    }
    out.Things.push_back(std::move(plan));
  }
  out.SinglePlayer = starts == 1;
  if (!Playable) return out;
  for (int i = 0; i < Level.Things.Count(); ++i) {
    TThingPlan& plan = out.Things[static_cast<size_t>(i)];
    const std::string& templ = Level.Things.Strings(i);
    const TThingParams& own = Level.Things.Objects(i)->Params;
    const std::string team = TeamClass(templ, plan.Role == TThingRole::PlayerStart);
    if (!team.empty()) {
      plan.Class = team;
      plan.Role =
          plan.Role == TThingRole::PlayerStart ? TThingRole::TeamStart : TThingRole::TeamFlag;
    } else if (plan.Role == TThingRole::PlayerStart) {
      continue;
    } else if (plan.Model.Type == "item") {
      plan.Class = PickupClass(ChainValue(Level, templ, own, "cog"), templ);
      plan.Role = plan.Class.empty() ? plan.Role : TThingRole::Pickup;
      if (plan.Class.empty()) plan.Stay = TThingStay::UnknownItem;
    } else if (plan.Model.Type == "actor") {
      std::vector<std::string> chain;
      for (const TThingTemplate* t : Level.Templates.Chain(templ)) chain.push_back(t->Name);
      plan.Class = ActorClass(ChainValue(Level, templ, own, "cog"), chain);
      plan.Stay = plan.Class.empty()  ? TThingStay::UnknownActor
                  : !out.SinglePlayer ? TThingStay::Multiplayer
                                      : TThingStay::None;
      if (plan.Stay == TThingStay::None)
        plan.Role = TThingRole::Actor;
      else
        plan.Class.clear();
    } else if (plan.Moves) {
      PlanMover(plan);
    }
  }
  return out;
}
