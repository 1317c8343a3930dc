// A test that runs the plug-in's commands as the editor would: a scripted platform in a folder of
// its own, the recording host in the editor's function table, and no settings numbers cached from
// an earlier test. Everything is put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "plugin/main.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

class EditorHostTest : public ::testing::Test {
 protected:
  // DefaultTexture: what the host gives a face before the plug-in names one.
  explicit EditorHostTest(std::string DefaultTexture = "system/caulk")
      : host(std::move(DefaultTexture)) {}

  void SetUp() override {
    platform.libraryPath = dir / "morvane.dll";
    platform.installPath = dir / "game";
    SetPlatform(&platform);
    FuncTable = THostFuncTable{};
    host.Install(*GetFuncTable());
    ResetCachedSettings();
  }
  void TearDown() override {
    SetPlatform(nullptr);
    FuncTable = THostFuncTable{};
    ResetCachedSettings();
  }

  testing_support::TempDir dir;
  THeadlessPlatform platform;
  recording_host::TRecordingHost host;
};
