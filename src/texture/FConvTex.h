// The batch texture converter dialog.
#pragma once

#include "rtl/Classes.h"

// Shows the modal dialog; reads its folders from settings when it opens and writes them back
// when it closes. True only when it closed with OK, which no control gives.
bool ShowConvTexDialog(rtl::TStringList& settings);
