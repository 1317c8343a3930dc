// The point entities of the .map (--entities) from arbitrary level text: the things and lights
// of whatever the reader accepts, converted at an arbitrary scale taken from the first bytes.
// Only the reader's and the conversion's errors and the entities' own range error may come out;
// an entity value holding "inf" or "nan" is a finding, as are crashes, leaks and hangs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"
#include "import/BrushStages.h"
#include "import/MapEntities.h"
#include "level/O_jkl.h"
#include "rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(float)) return 0;
  float scale;
  std::memcpy(&scale, data, sizeof scale);
  TSlabSettings slab;
  slab.Scale.Value = scale;
  TJKLevel level;
  TBrushLevel brushes;
  try {
    level.LoadFromText(reinterpret_cast<const char*>(data) + sizeof scale, size - sizeof scale);
    MakeBrushLevel(level, brushes, nullptr, TImportOptions(), &slab);
  } catch (const rtl::Exception&) {
    return 0;
  }
  try {
    for (const TMapEntity& entity : MapEntities(level, brushes, scale))
      for (const auto& key : entity.Keys)
        if (key.first != "template" && key.first != "classname" &&
            (key.second.find("inf") != std::string::npos ||
             key.second.find("nan") != std::string::npos))
          std::abort();
  } catch (const rtl::Exception&) {
  }
  return 0;
}
