// The point entities that `morvane import --entities` writes after the worldspawn: the brush
// model's entities (one per thing of the level) and its editor lights, as key/value pairs an
// editor of the Radiant family reads. The editor's own function table has no slot that makes
// an entity, so only the .map carries them.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

class TJKLevel;
class TBrushLevel;
struct TLevelModels;
struct TThingsPlan;
struct TEntityRec;
struct TLightFit;

struct TMapEntity {
  std::vector<std::pair<std::string, std::string>> Keys;  // in the order they are written
  const TEntityRec* Thing = nullptr;  // the level's thing it stands for; null for the others
  // A brush entity's brushes: boxes (min x y z, max x y z, editor units), every face BoxTexture.
  std::vector<std::array<float, 6>> Boxes;
  std::string BoxTexture;
};

// The texture of a mover's brushes: the player collides with them, nobody sees them (the model
// drawn with the mover shows it).
constexpr const char* MoverTexture = "system/clip";

// Facing: a thing of the game looks along (-sin yaw cos pitch, cos yaw cos pitch, sin pitch),
// yaw 0 along +Y and a positive pitch up; an entity of the editor looks along yaw 0 = +X,
// counter-clockwise seen from above, a positive pitch down. So the editor's yaw is the game's
// plus 90 degrees, brought into [0, 360); its pitch is the game's negated; the roll is kept.
// A value that is no number becomes 0.
struct TEditorAngles {
  float Pitch = 0, Yaw = 0, Roll = 0;
};
TEditorAngles EditorAngles(float GamePitch, float GameYaw, float GameRoll);

// Entity i of BrushLevel comes from thing i of Level (whose name is the template's):
//   "classname" the entity's class, "origin" "x y z", "angles" "pitch yaw roll",
//   "template" the thing's template name;
// then one per editor light, in order:
//   "classname" "light", "origin" "x y z", "light" its intensity times 100, "range" its range
//   scaled like a coordinate (the Scale setting).
// With the import's fitted lights (GameLights), those instead of the editor lights:
//   "classname" "light", "origin", "light", "fade", "spawnflags" "1" (linear, no angle).
// Things and lights the conversion marked stray (in no sector) are left out.
// Numbers are the shortest decimals that read back to the same Single. A thing or light whose
// numbers do not fit a Single once scaled raises an error naming the level and the thing or
// light, as a brush corner does.
// Scale is the one the conversion used (TImportResult::Scale).
// With Models, a thing placed with a model is a misc_model instead: "classname" "misc_model",
// "model" its MD3 below the game's base folder, "origin", "angles" that turn the model as the
// game turns the thing, "modelscale" when the model is stored smaller, "spawnflags" "2" (the
// compiler makes the player collide with its faces) when it collides with its faces or is a
// structure and does not move in the game, and "template".
// With Things (what each thing becomes: PlayLevel), a thing that plays is written as it plays:
//   a door: "classname" "func_door", "model2" its model, "origin", "angle" (or "angles" for a
//   slanted way) towards its second frame, "lip" so that it moves exactly as far as the frames,
//   "speed" and "wait" from its driving cog where known, "template", and one box brush, the
//   model's bounds in MoverTexture;
//   a train: "func_train" likewise with "target" its first "path_corner" and spawnflags 1 (it
//   runs from the start), then one path_corner per frame ("targetname", "target" the next, the
//   last the first, "origin" the frame's place, "wait" from the cog where known);
//   a pickup, an actor, a team flag or team start: its JK2 class, "origin", "angles" (facing as
//   a point entity), "template".
std::vector<TMapEntity> MapEntities(const TJKLevel& Level, const TBrushLevel& BrushLevel,
                                    double Scale, const TLevelModels* Models = nullptr,
                                    const TLightFit* GameLights = nullptr,
                                    const TThingsPlan* Things = nullptr);

// The keys the worldspawn carries besides its class name: with fitted lights "_minlight",
// "_ambient", "_lightmapscale" and the identity of the game light file written beside the map
// (IdKey); else none.
std::vector<std::pair<std::string, std::string>> WorldspawnKeys(const TLightFit* GameLights);

// One entity block: "{", one "\"key\" \"value\"" line per key, its boxes (as brushDef blocks
// when BrushDef, the matrices of a 64 x 64 image), "}". A double quote inside a value would end
// it early, so it is written as a single quote.
std::string EntityText(const TMapEntity& Entity, bool BrushDef = false);
