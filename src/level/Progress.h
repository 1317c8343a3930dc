// The progress callback of long operations: called once per item of the main loop, before the
// item is worked on, with Index counting from 0 and always below Count. nullptr means no calls.
#pragma once

#include <cstdint>

using TProgressProc = void (*)(int32_t Index, int32_t Count);
