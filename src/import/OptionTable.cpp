#include "import/OptionTable.h"

const std::vector<TOptionRow>& OptionTable() {
  using O = TImportOptions;
  static const std::vector<TOptionRow> rows = {
      {&O::AlignTextures, "AlignTextures", "align textures", "--align", true, true,
       "fit each front face's texture projection to the level's texture\n"
       "vertices, as the AlignTextures setting does, for this run only (the\n"
       "setting file is not changed); one line on standard error says how\n"
       "near the corners came."},
      {&O::CleanSlabs, "CleanSlabs", "clean slabs", "--clean", true, true,
       "clean slabs for this run (the setting CleanSlabs=1, not stored):\n"
       "corners repeated or in line with their neighbours are dropped\n"
       "before a slab is built, and surfaces left without area make none."},
      {&O::ImportAdjoins, "ImportAdjoins", "import adjoins", "--adjoins", true, true,
       "each surface between two sectors that the game draws (water,\n"
       "windows, grates) becomes a thin detail brush, one for both sides of\n"
       "a pair (the setting ImportAdjoins=1 for this run)."},
      {&O::LevelPalette, "LevelPalette", "level palette", "--level-palette", true, true,
       "without JKPalette, use the palette the level names (misc\\cmp\\ in\n"
       "its containers or beside its folder), as LevelPalette=1 does."},
      {&O::SearchParentMat, "SearchParentMat", "search parent mat", "--parent-mat", true, true,
       "look for materials in the mat folder beside the level's folder too\n"
       "(a level unpacked from its container), as SearchParentMat=1 does."},
      {&O::ImportModels, "ImportModels", "import models", "--models", true, true,
       "the things the game draws with a 3DO model become models: one\n"
       "MD3 per model in DIR/GameData/base/models/<level>/, its materials\n"
       "converted with the level's textures, and with --entities a\n"
       "misc_model per thing (ImportModels=1 for this run). A model is\n"
       "looked for in the level's 3do folder, with --parent-mat in\n"
       "<level folder>/../3do/, then as 3do\\ in the level's container and\n"
       "ResourceGobs."},
      {&O::SealLevel, "SealLevel", "seal level", "--seal", true, true,
       "seal the level for a map compiler (the setting SealLevel=1, not\n"
       "stored): the slabs become detail brushes, and a shell of structural\n"
       "boxes on a 64-unit grid (textured NonVisTex) encloses every sector."},
      {&O::FitWorld, "FitWorld", "fit world", "--fit-world", true, true,
       "when the map would reach beyond +-65536 units, use the largest\n"
       "power-of-two Scale that fits, for this run."},
      {&O::WaterVolumes, "WaterVolumes", "water volumes", "--water", true, true,
       "each underwater sector becomes a water volume (a brush of the\n"
       "sector's shape, a water shader), surfaces of water water shaders;\n"
       "writes the shader script (the setting WaterVolumes=1 for this run)."},
      // Lights are entities and worldspawn keys, which only a saved map carries.
      {&O::GameLights, "GameLights", "game lights", "--lights", true, false,
       "with --entities: the lights written so that a light compiler gives\n"
       "the game's light (linear, reaching zero at their range; negative\n"
       "ones left out; fill lights and _ambient fitted to the light baked\n"
       "into the level's corners), as GameLights=1 does."},
      {&O::OverwriteTextures, nullptr, nullptr, "--overwrite-textures", false, false,
       "convert the level's textures again even where their images exist\n"
       "(as after a change of palette)."},
      // The editor's interface cannot make entities: with GameReady the plug-in saves the whole
      // map, entities included, beside it, and the shell leaves room for them as here.
      {&O::WritesEntities, nullptr, nullptr, "--entities", true, false,
       "after the worldspawn, one point entity per thing of the level\n"
       "(info_player_deathmatch for a walkplayer, else info_null; keys\n"
       "origin, angles and template) and one light per editor light (keys\n"
       "origin, light and range), in the level's order; a thing or light\n"
       "that lies in no sector is left out, with a console line."},
      {&O::Shaders, nullptr, nullptr, "--shaders", true, false,
       "write DIR/GameData/base/shaders/<level>.shader: a shader per way a\n"
       "material is used (sky, translucent, a drawn adjoin the player\n"
       "passes or not, water); a material used in several ways names\n"
       "them by a suffix (_sky, _trans, _pass, _block, _water, _volume);\n"
       "named in shaders/shaderlist.txt when that file exists."},
  };
  return rows;
}
