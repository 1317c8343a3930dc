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
  void Progress(int Index, int Count) override;

  HWND Handle() const { return form_; }

 private:
  HWND form_ = nullptr;
  HWND lblCaption_ = nullptr;
  HWND lblStatus_ = nullptr;
  HWND bar_ = nullptr;
  HFONT font_ = nullptr;
};
