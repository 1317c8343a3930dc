// The stages that make the brush level, in their order: the slabs and drawn adjoins, the water
// volumes, the fitted lights, the things and light copies, and the seal. Each stage takes the
// level and what the stages before it made; only this sequence knows the order.
#pragma once

#include <memory>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"
#include "import/ImportOptions.h"
#include "level/O_jkl.h"
#include "level/Progress.h"
#include "light/LightFit.h"

// Fills BrushLevel from Level (which is only read) as the options ask. Progress, when given, is
// called once per sector. Console receives the stages' lines. With GameLights and entities
// written, *Lights receives the lights fitted for the compiler (without those the seal finds in
// no sector). Raises what the stages raise, leaving BrushLevel partly filled for its owner.
TConversion MakeBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                           const TImportOptions& Options = TImportOptions(),
                           TSlabSettings* Slab = nullptr, const TConsoleProc& Console = nullptr,
                           std::unique_ptr<TLightFit>* Lights = nullptr);
