#include "plugin/Platform.h"
#include "plugin/main.h"

// The dialog reads and writes its folders in the command's settings; it has no result worth
// acting on (nothing closes it with OK).
bool BatchConvertTextures() {
  Platform().ShowConvTexDialog(Settings());
  return true;
}
