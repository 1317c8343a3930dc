// What each thing of a level becomes in Jedi Knight II, decided once, here, from what the level's
// file says of it: its template chain, the frames on its line and the cogs that name it.
//
//   a player start                      info_player_deathmatch (as ever)
//   two or more frames that move it     a mover: two frames func_door, more func_train
//   a pickup the table knows            weapon_*, ammo_*, item_* (PickupClass)
//   an actor the table knows            NPC_* (single-player levels only)
//   a team flag or team start           team_CTF_*
//   anything else with a model          a model (misc_model); without one info_null
//
// Whether a thing moves in the game is decided by what moves it: frames on its line, a template
// chain named as a door or a lift, or a cog whose text moves things and names it in a "thing"
// symbol; never by its sound class.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "level/O_jkl.h"
#include "level/ThingTemplates.h"
#include "things/CogScript.h"

// One frame of a thing's path: where the game puts it and how it turns it, in level units.
struct TThingFrame {
  TVector3 Position;
  float Pitch = 0, Yaw = 0, Roll = 0;
};

// The "frame=(x/y/z:pitch/yaw/roll)" words of Params, in order; one that cannot be read is
// passed over.
std::vector<TThingFrame> ThingFrames(const TThingParams& Params);

enum class TThingRole : unsigned char {
  Nothing,      // info_null, or a model when it has one
  PlayerStart,  // info_player_deathmatch
  Model,        // a model that stays where the game shows it at rest
  Door,         // func_door: two frames
  Train,        // func_train through one path_corner per frame
  Pickup,
  Actor,
  TeamFlag,
  TeamStart,
};

// Why a thing that could play stays what it was.
enum class TThingStay : unsigned char {
  None,
  Turns,         // its frames turn it: JK2 has no mover that does
  StandsStill,   // its frames never move it
  NoModel,       // its template names no model to give a mover its size
  ModelMissing,  // its model was not found, could not be read, or its copy not written
  UnknownItem,   // a pickup the table has no JK2 counterpart for
  UnknownActor,  // an actor the table has no JK2 character for
  Multiplayer,   // an actor on a level without a single-player start
  TooLarge,      // its model is stored smaller or split: no one model2 of its size
};
const char* ThingStayText(TThingStay Stay);

struct TThingPlan {
  TThingRole Role = TThingRole::Nothing;
  TThingStay Stay = TThingStay::None;
  std::string Class;  // the JK2 class of a pickup, actor or team entity
  TThingModel Model;  // its template chain's model, collision and type
  std::vector<TThingFrame> Frames;
  bool Moves = false;  // moves in the game (a mover, or one that stays a model at rest)
  int Cog = -1;        // the level's cog line that drives it, when its text is known
  // From the driving cog's symbols: level units per second and seconds; below 0 when unknown.
  double Speed = -1, Wait = -1;
  bool Mover() const { return Role == TThingRole::Door || Role == TThingRole::Train; }
};

struct TThingsPlan {
  std::vector<TThingPlan> Things;  // item i for thing i of the level
  bool SinglePlayer = false;       // exactly one player start
  int Count(TThingRole Role) const;
  int Count(TThingStay Stay) const;
};

// A cog's text by its file name (as the level names it); null when it is not found.
using TCogSource = std::function<const TCogScript*(const std::string& File)>;

// Plans every thing of Level. Without Playable, nothing becomes a mover, pickup, actor or team
// entity (the roles are Nothing, PlayerStart and Model), but Moves is decided all the same.
TThingsPlan PlanThings(const TJKLevel& Level, const TCogSource& Cogs, bool Playable);

// The tables, one place: the JK2 class of a pickup by its cog ("pow_bryar.cog") or template; of an
// actor by its cog ("actor_st.cog") or the names of its template chain; empty when none.
std::string PickupClass(const std::string& Cog, const std::string& Template);
std::string ActorClass(const std::string& Cog, const std::vector<std::string>& Chain);
// "team_CTF_redflag" and the like for a template naming a team's flag or start; else empty.
std::string TeamClass(const std::string& Template, bool PlayerStart);
