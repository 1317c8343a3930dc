// The commands of morvane, one file each, with their help beside their code.
#pragma once

#include "cli/Args.h"

const TCommandDef& ImportCommand();
const TCommandDef& ListCommand();
const TCommandDef& ExtractCommand();
const TCommandDef& ConvertCommand();
const TCommandDef& BuildCommand();
const TCommandDef& BakeCommand();
#ifndef _WIN32
const TCommandDef& PreviewCommand();
#endif
