#include "plugin/main.h"
#include "rtl/SysUtils.h"

// Replaced by the batch converter.
bool BatchConvertTextures() { throw rtl::Exception("Batch Convert Textures is not built yet"); }
