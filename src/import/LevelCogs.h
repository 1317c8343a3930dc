// The texts of the cogs a level's cog lines name, found as its models are: beside a loose level,
// in its "cog" folder, with SearchParentMat in "<level folder>/../cog/", then as "cog\<name>" in
// the level's container and in each ResourceGobs container. A cog not found, or too large, is
// left out: the things it would drive are then decided by their frames alone.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "container/O_jkc.h"
#include "things/CogScript.h"
#include "things/ThingPlan.h"

// The largest cog text read: the game's own are a few kilobytes.
constexpr int64_t MaxCogBytes = 1 << 20;

class TLevelCogs {
 public:
  TLevelCogs(std::string LevelFile, std::vector<std::string> Containers, bool ParentFolder)
      : levelFile_(std::move(LevelFile)),
        containers_(std::move(Containers)),
        parentFolder_(ParentFolder) {}
  // The parsed text of File (looked for once); null when not found.
  const TCogScript* Find(const std::string& File);
  TCogSource Source() {
    return [this](const std::string& File) { return Find(File); };
  }
  int Found() const;  // cog files found so far

 private:
  bool Read(const std::string& File, std::string& Text);
  // The containers, each opened once, on first need (null: not there or unreadable).
  const std::vector<std::unique_ptr<TJKContainer>>& Containers();

  std::string levelFile_;
  std::vector<std::string> containers_;
  bool parentFolder_;
  std::map<std::string, std::pair<bool, TCogScript>> scripts_;  // by lower-case name
  std::vector<std::unique_ptr<TJKContainer>> opened_;
  bool openedAll_ = false;
};
