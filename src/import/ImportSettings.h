// The request of an import from the user's settings, as both hosts read them: every value
// resolved here, once, before the import starts.
#pragma once

#include "import/OptionTable.h"
#include "import/Pipeline.h"
#include "rtl/Classes.h"

// The on/off settings of the option table, then GameReady, which turns on every row marked for
// the game: "1" on; "0", missing or empty off; any other value off, with one console line each,
// said now.
TImportOptions ReadOnOffSettings(const rtl::TStringList& Settings, const TConsoleProc& Console);

// "Ready for the game" asked for: GameReady and every row of the option table marked for it on.
void TurnOnGameReady(TImportOptions& Options);

// Whether every row of the option table marked for the game is on: --game-ready, GameReady=1,
// or each of its flags given.
bool IsGameReady(const TImportOptions& Options);

// A number setting (Scale, BrushDepth): its value, or the default with a console note for the
// conversion to say where it first needs the number. Text that is no number, a value beyond the
// range of a Double (such as 1e400) or, for Scale, one of 0 or less takes the default: it would
// turn every coordinate into inf or nan.
TSlabNumber ReadScale(const rtl::TStringList& Settings);
TSlabNumber ReadBrushDepth(const rtl::TStringList& Settings);

// The whole request but for the path, the picker, the install folder and the callbacks:
// ReadOnOffSettings (its lines said now), ReadScale, ReadBrushDepth, NonVisTex, JKPalette,
// OutputTexFormat and ResourceGobs.
TImportRequest ImportRequestFromSettings(const rtl::TStringList& Settings,
                                         const TConsoleProc& Console);
