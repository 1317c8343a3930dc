#include "support/HeadlessPlatform.h"

namespace {

class THeadlessStatus : public IStatusWindow {
 public:
  explicit THeadlessStatus(THeadlessPlatform& owner) : owner_(owner) {
    owner_.events.push_back("status-create");
  }
  ~THeadlessStatus() override { owner_.events.push_back("status-destroy"); }
  void Show() override { owner_.events.push_back("status-show"); }
  void SetStatus(const std::string& text) override {
    owner_.events.push_back("status " + text);
    if (owner_.onStatus) owner_.onStatus(text);
  }
  void Progress(int Index, int Count) override {
    ++owner_.progressCalls;
    if (owner_.onProgress) owner_.onProgress(Index, Count);
  }

 private:
  THeadlessPlatform& owner_;
};

}  // namespace

std::string THeadlessPlatform::SettingsPath() {
  return settingsPath.empty() ? IPlatform::SettingsPath() : settingsPath;
}

std::string THeadlessPlatform::OpenFileDialog(const std::string& filter) {
  events.push_back("open-file " + filter);
  return fileAnswer;
}

std::string THeadlessPlatform::SelectEntry(const TJKContainer& container,
                                           const std::string& folder) {
  events.push_back("pick " + folder);
  return pickEntry ? pickEntry(container, folder) : std::string();
}

std::string THeadlessPlatform::BrowseFolder(const std::string& title) {
  events.push_back("browse " + title);
  return folderAnswer;
}

void THeadlessPlatform::ShowMessage(const std::string& text, const std::string&) {
  events.push_back("message " + text);
  if (onMessage) onMessage(text);
}

void THeadlessPlatform::ShellOpen(const std::string& path) {
  events.push_back("shell-open " + path);
}

std::unique_ptr<IStatusWindow> THeadlessPlatform::CreateStatusWindow() {
  return std::make_unique<THeadlessStatus>(*this);
}

bool THeadlessPlatform::ShowConvTexDialog(rtl::TStringList& settings) {
  events.push_back("convtex-dialog");
  return convTexDialog ? convTexDialog(settings) : false;
}
