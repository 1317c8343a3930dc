// The status window of an import: a step text and a progress bar, no close box, centred.
#pragma once

#include <windows.h>

#include "plugin/Platform.h"

class TfrmStatus : public IStatusWindow {
 public:
  TfrmStatus();  // created hidden
  ~TfrmStatus() override;
  TfrmStatus(const TfrmStatus&) = delete;
  TfrmStatus& operator=(const TfrmStatus&) = delete;

  void Show() override;
  void SetStatus(const std::string& text) override;
  // Moves the bar; sends it a new range only when Count changes, and a new position only when
  // the filled part would grow or shrink by at least one pixel. The bar is drawn at once for a
  // new range, else at most 25 times a second.
  void Progress(int Index, int Count) override;

  HWND Handle() const { return form_; }

 private:
  HWND form_ = nullptr;
  HWND lblCaption_ = nullptr;
  HWND lblStatus_ = nullptr;
  HWND bar_ = nullptr;
  HFONT font_ = nullptr;
  // What the bar shows: its range's Max and the width of its filled part, in pixels of its
  // inner width barWidth_.
  int FilledWidth(int Index, int Count) const;
  // Sends the position; draws the bar when DrawNow or when the last drawing is old enough.
  void SendPosition(int Index, bool DrawNow);
  static constexpr DWORD PaintIntervalMs = 40;  // 25 pictures a second
  DWORD paintedAt_ = 0;
  // The bar's drawing is off between two paints; turned on again before anything is painted.
  void ThawBar();
  bool barFrozen_ = false;
  int barWidth_ = 0;
  int shownCount_ = 100;
  int shownFilled_ = 0;
};
