// The point entities that `morvane import --entities` writes after the worldspawn: the brush
// model's entities (one per thing of the level) and its editor lights, as key/value pairs an
// editor of the Radiant family reads. The editor's own function table has no slot that makes
// an entity, so only the .map carries them.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TJKLevel;
class TBrushLevel;
struct TLevelModels;
struct TLightFit;

struct TMapEntity {
  std::vector<std::pair<std::string, std::string>> Keys;  // in the order they are written
};

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
std::vector<TMapEntity> MapEntities(const TJKLevel& Level, const TBrushLevel& BrushLevel,
                                    double Scale, const TLevelModels* Models = nullptr,
                                    const TLightFit* GameLights = nullptr);

// The keys the worldspawn carries besides its class name: with fitted lights "_minlight",
// "_ambient", "_lightmapscale" and the identity of the game light file written beside the map
// (IdKey); else none.
std::vector<std::pair<std::string, std::string>> WorldspawnKeys(const TLightFit* GameLights);

// One entity block: "{", one "\"key\" \"value\"" line per key, "}". A double quote inside a
// value would end it early, so it is written as a single quote.
std::string EntityText(const TMapEntity& Entity);
