// The "Import Level..." command and the status window's two routines.
#pragma once

#include <cstdint>
#include <string>

// The step text of the running import's status window.
void SetStatus(const std::string& Text);
// Moves the running import's progress bar; does nothing when no import runs.
void StatusProgress(int32_t Index, int32_t Count);

struct TImportResult;
struct TImportOptions;
// With GameReady=1, after the brushes went to the editor: the whole map (brushes, entities,
// lights and models, as `morvane import --game-ready` writes it) saved in one step as
// <install>/GameData/base/maps/<level>.map, said in one console line; the editor's function
// table cannot make entities, so this is the map the designer opens. A map that cannot be saved
// is one console line too.
void SaveGameMap(const std::string& InstallPath, const TImportResult& Result,
                 const TImportOptions& Options);
