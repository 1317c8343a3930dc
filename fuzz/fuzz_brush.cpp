// Reads arbitrary text as a level and, when it reads, turns it into slab brushes and hands them to
// a recording host. Only the system's own errors may come out; anything else, a crash, a leak, a
// brush left half-built, a face without the front face's texture or a coordinate handed to the
// editor that is not a finite number is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "brush/BrushConvert.h"
#include "import/BrushStages.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "rtl/SysUtils.h"
#include "support/HandOff.h"
#include "support/RecordingHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static rtl::TStringList settings = [] {
    rtl::TStringList s;
    s.Add("Scale=256");
    s.Add("BrushDepth=8");
    s.Add("NonVisTex=system/nodraw");
    return s;
  }();
  TSettingsScope scope(settings);

  TJKLevel level;
  try {
    level.LoadFromText(reinterpret_cast<const char*>(data), size);
  } catch (const rtl::Exception&) {
    return 0;
  }
  TBrushLevel brushes;
  try {
    MakeBrushLevel(level, brushes, nullptr);
  } catch (const rtl::EListError& e) {
    // A solid surface of a single corner.
    if (std::strcmp(e.what(), "Vertex Index is out of bounds: 1") != 0) std::abort();
    return 0;
  } catch (const rtl::Exception& e) {
    // Or a coordinate that scaling takes beyond the range of a Single.
    if (std::strstr(e.what(), "gives a coordinate beyond the range of a map") == nullptr)
      std::abort();
    return 0;
  }

  recording_host::TRecordingHost host;
  host.RecordCalls = false;
  host.Install(ThePlugin().Table());
  HandOffBrushLevel(brushes, "lvl/", "system/nodraw");
  if (host.PendingCount() != 0) std::abort();
  if (host.Committed.size() != static_cast<size_t>(brushes.Brushes.Count())) std::abort();
  for (const auto& brush : host.Committed)
    if (!brush.Faces.empty() && brush.Faces.back().TextureName.compare(0, 4, "lvl/") != 0)
      std::abort();
  return 0;
}
