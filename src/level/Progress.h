// The progress callback of long operations: called once per item of the main loop, before the
// item is worked on, with Index counting from 0 and always below Count. Empty means no calls. A
// host binds it to its own window (a status window, a terminal), so it need keep no globals.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using TProgressProc = std::function<void(int32_t Index, int32_t Count)>;

// Receives one console line of a step, without the host's prefix and line end. Empty: no lines.
using TConsoleProc = std::function<void(const std::string& Text)>;
