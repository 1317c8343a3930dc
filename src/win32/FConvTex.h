// The batch texture converter dialog: a plain Win32 window with a modal loop of its own. The
// conversions themselves live in BatchConvert; this unit only talks to Windows.
//
// For tests and automation: the window class is "TfrmConvTex", the caption
// "Batch Convert Textures", and every control carries one of the identifiers below. Radio
// buttons and the "..." buttons are class "Button", edits "Edit", labels and the status panel
// "Static", the input frame a "Button" with the group-box style. The dialog closes only through
// its close box (WM_CLOSE); Enter and Esc do not close it. An error raised by a handler is shown
// in a message box captioned "Morvane" owned by the dialog, which stays open.
#pragma once

#include "rtl/Classes.h"

namespace conv_tex_ids {
constexpr int gbxInput = 200;
constexpr int rbtDir = 201;
constexpr int edtDir = 202;
constexpr int btnDir = 203;
constexpr int rbtContainer = 204;
constexpr int edtContainer = 205;
constexpr int btnContainer = 206;
constexpr int Label3 = 207;  // "Palette file"
constexpr int edtPal = 208;
constexpr int btnPalette = 209;
constexpr int Label1 = 210;  // "Output dir"
constexpr int edtOutDir = 211;
constexpr int btnOutDir = 212;
constexpr int Label2 = 213;  // "Output as"
constexpr int rbtTGA = 214;
constexpr int rbtJPEG = 215;
constexpr int btnConvert = 216;
constexpr int pnlStatus = 217;
}  // namespace conv_tex_ids

// Shows the modal dialog; reads ConvTexDir, ConvTexGob and ConvTexOutputDir from settings when it
// opens and writes them back when it closes (an emptied field removes its key). True only when
// it closed with OK, which no control gives.
bool ShowConvTexDialog(rtl::TStringList& settings);
