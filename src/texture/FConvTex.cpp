#include "texture/FConvTex.h"

// Replaced by the real dialog.
bool ShowConvTexDialog(rtl::TStringList&) { return false; }
