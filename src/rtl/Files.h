// Paths and files in one include, for the callers that use both.
#pragma once

#include "rtl/AtomicFile.h"
#include "rtl/Paths.h"
