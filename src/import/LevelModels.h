// The level's things drawn by the game with a 3DO model, as models for the map: each model a
// thing's template chain names is found and read once, posed at rest and written as one MD3
// file under the game's model folder; each thing with a model then becomes a misc_model.
//
// A model is looked for as a material is: beside a loose level, in its "3do" folder, with
// SearchParentMat in "<level folder>/../3do/", then as "3do\<name>" in the level's container and
// in each ResourceGobs container. A model that is not found or cannot be read costs only the
// things that use it, with one console line per model (not per thing).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "import/ImportOptions.h"
#include "import/LevelNames.h"
#include "import/LevelTextures.h"
#include "import/ResourceIndex.h"
#include "level/O_3do.h"
#include "level/O_jkl.h"
#include "model/ModelPose.h"

struct TLevelModel {
  std::string File;     // as the first template names it ("catwalk1.3DO")
  std::string Source;   // where it was read from: a file, or "container>>3do\<name>"
  std::string Problem;  // why its things are not placed: not found, the reader's error, ...
  std::unique_ptr<T3DOModel> Model;
  TPosedModel Posed;  // at the import's Scale, once posed
  // "models/<level>/<name>.md3", the files below the game's base folder: one, or the parts of a
  // model larger than a file may hold (each placed thing names them all).
  std::vector<std::string> MapNames;
  double ModelScale = 1;  // what the map's misc_model gives back of a model stored smaller
  int Things = 0;         // things that name it
};

// Why a thing is, or is not, a misc_model.
enum class TThingModelState {
  NoModel,      // its template names none
  PlayerStart,  // a player start stays what it is
  Missing,      // its model was not found, or could not be read or written
  Placed,
};

struct TThingModelPlacement {
  TThingModelState State = TThingModelState::NoModel;
  int Model = -1;      // into TLevelModels::Models (also for Missing)
  bool Clip = false;   // the player collides with its faces (spawnflags 2)
  bool Moves = false;  // it moves in the game: placed at rest without the clip
  TModelAngles Angles;
};

struct TLevelModels {
  std::vector<TLevelModel> Models;
  std::vector<TThingModelPlacement> Things;  // item i for thing i of the level
  // The models' materials (letter case ignored) that the level's surfaces do not use, in order of
  // first use: converted with the level's textures, the same palette and the same names.
  std::vector<std::string> Materials;

  int Placed() const;
  int Moving() const;        // of the placed things, those that move in the game
  size_t Triangles() const;  // of the placed things' models, once per thing
};

// Resolves every thing's model, then finds and reads each model once. Says on Console each model
// not found or unreadable, naming it and how many things it costs. A model is looked for beside
// the level, in its 3do folder, with SearchParentMat in <level folder>/../3do/, then as 3do\ in
// the index's containers.
TLevelModels FindLevelModels(const TJKLevel& Level, TResourceIndex& Resources,
                             const TImportOptions& Options, const TConsoleProc& Console);

// Poses every model its things use at Scale, with the material sizes Textures learned (64 x 64
// when unknown), and, when Write, writes each as <install>/GameData/base/models/<level>/<name>.md3
// in one step, saying "Saved: <file>". The files there are named by Morvane: one that is not a
// model Morvane wrote, or was changed since, is left alone and the model takes the next free name
// (<name>_2.md3), with a line; nothing is written through a link. A model beyond what one file
// holds is split into parts (<name>_part2.md3, ...) that each of its things names. A model name
// Windows keeps for a device gets a "_". A model that cannot be written costs its things, with a
// console line. A surface's shader is "textures/" and the face name of its material (as the
// level's faces name theirs); faces without a material take NonVisTex. Sets each thing's angles.
void PoseLevelModels(TLevelModels& Models, const TJKLevel& Level, double Scale,
                     const TLevelTextures& Textures, const TLevelNames& Names,
                     const std::string& NonVisTex, const std::string& InstallPath, bool Write,
                     const TConsoleProc& Console);
