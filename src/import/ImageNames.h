// The image name of every material a level uses: the name the texture folder's file and the front
// faces carry, without folder and extension. It is the material's name without its extension,
// with the characters a face line cannot carry made "_" (MapSafeName). Two materials of a level
// can still come to one name (letter case, "a b.mat" and "a_b.mat", "wall.mat" and "wall.bmp"),
// and an editor looks its textures up without regard to case: it would show one material's image
// on the other's faces. So the second and every later material whose name, compared without
// regard to case, is already taken gets a numeric suffix ("_2", "_3", ...) that no other
// material's name takes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Classes.h"

class TImageNames {
 public:
  TImageNames() = default;
  // Materials as the level lists them, each once (case-insensitive), in the order of first use.
  explicit TImageNames(const rtl::TStringList& Materials);

  // The image name of a material; a name in another letter case than the level's list gets the
  // same image as the listed one.
  std::string Of(const std::string& Material) const;

  struct TRenamed {
    std::string First, Second, Name;  // the material that kept the name, the renamed one, its name
  };
  const std::vector<TRenamed>& Renamed() const { return renamed_; }

 private:
  std::map<std::string, std::string> names_;  // lower-case material -> its image name
  std::vector<TRenamed> renamed_;
};
