// The names a level's import gives its textures, made once per import and read by every step
// that names them: the texture folder and the images written into it, the faces' texture names,
// the shader script's entries. Made in one place so that they cannot drift apart (a shader named
// differently from its faces never applies).
#pragma once

#include <string>

#include "import/ImageNames.h"
#include "import/SafeNames.h"
#include "level/O_jkl.h"

struct TLevelNames {
  std::string Folder;  // the texture folder under Textures/, and the shader script's name
  std::string
      FacePrefix;         // Folder and "/": what every face's texture name of the level begins with
  TImageNames Images;     // each material's image name
  std::string Extension;  // the images' extension with its dot, in the letter case asked for

  // The texture name of the faces that show Material: "<folder>/<image>", one word.
  std::string FaceName(const std::string& Material) const;
  // The file name of Material's image in the texture folder.
  std::string ImageFile(const std::string& Material) const;
};

// The names of Level's textures, the images written in the format OutputTexFormat (without its
// dot; empty: jpg).
TLevelNames MakeLevelNames(const TJKLevel& Level, const std::string& OutputTexFormat);
