#include "import/LevelNames.h"

std::string TLevelNames::FaceName(const std::string& Material) const {
  return MapSafeName(FacePrefix + Images.Of(Material));
}

std::string TLevelNames::ImageFile(const std::string& Material) const {
  return MapSafeName(Images.Of(Material) + Extension);
}

TLevelNames MakeLevelNames(const TJKLevel& Level, const std::string& OutputTexFormat) {
  TLevelNames names;
  names.Folder = LevelFolderName(Level.Name);
  names.FacePrefix = names.Folder + "/";
  names.Images = TImageNames(Level.UsedMaterials);
  names.Extension = "." + (OutputTexFormat.empty() ? std::string("jpg") : OutputTexFormat);
  return names;
}
