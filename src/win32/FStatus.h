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
  // the filled part would grow or shrink by at least one pixel.
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
  int barWidth_ = 0;
  int shownCount_ = 100;
  int shownFilled_ = 0;
};
