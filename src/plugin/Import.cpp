#include "plugin/main.h"
#include "rtl/SysUtils.h"

// Replaced by the import pipeline.
bool ImportLevel() { throw rtl::Exception("Import Level is not built yet"); }
