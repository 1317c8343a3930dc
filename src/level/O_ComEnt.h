// The two plain records shared by the level model and the brush model.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "level/P_vec.h"

// "key=value" words, in the order they were written.
using TThingParams = std::vector<std::pair<std::string, std::string>>;

// One thing of a level, or one point entity of the brush model.
struct TEntityRec {
  std::string Name;  // at most 255 characters
  TVector3 Origin;
  float Pitch = 0, Yaw = 0, Roll = 0;
  // A level's thing: the "key=value" words its line carries after its sector (its frames among
  // them), which override its template's. Empty for the brush model's entities.
  TThingParams Params;
};

// One editor light.
struct TLightRec {
  int32_t Tag = 0;
  TVector3 Position;
  float Value1 = 0, Value2 = 0;
};
