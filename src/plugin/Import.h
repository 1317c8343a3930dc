// The "Import Level..." command and the status window's two routines.
#pragma once

#include <cstdint>
#include <string>

// The step text of the running import's status window.
void SetStatus(const std::string& Text);
// Moves the running import's progress bar; does nothing when no import runs.
void StatusProgress(int32_t Index, int32_t Count);
