// The two plain records shared by the level model and the brush model.
#pragma once

#include <cstdint>
#include <string>

#include "level/P_vec.h"

// One thing of a level, or one point entity of the brush model.
struct TEntityRec {
  std::string Name;  // at most 255 characters
  TVector3 Origin;
  float Pitch = 0, Yaw = 0, Roll = 0;
};

// One editor light.
struct TLightRec {
  int32_t Tag = 0;
  TVector3 Position;
  float Value1 = 0, Value2 = 0;
};
