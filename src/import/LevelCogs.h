// The texts of the cogs a level's cog lines name, found as its models are: beside a loose level,
// in its "cog" folder, with SearchParentMat in "<level folder>/../cog/", then as "cog\<name>" in
// the first container of the import's resource index that holds it. A cog not found, or too large,
// is left out: the things it would drive are then decided by their frames alone.
#pragma once

#include <map>
#include <string>

#include "import/ResourceIndex.h"
#include "things/CogScript.h"
#include "things/ThingPlan.h"

// The largest cog text read: the game's own are a few kilobytes.
constexpr int64_t MaxCogBytes = 1 << 20;

class TLevelCogs {
 public:
  // Resources: the import's index, which outlives this.
  TLevelCogs(TResourceIndex& Resources, bool ParentFolder)
      : resources_(Resources), parentFolder_(ParentFolder) {}
  // The parsed text of File (looked for once); null when not found.
  const TCogScript* Find(const std::string& File);
  TCogSource Source() {
    return [this](const std::string& File) { return Find(File); };
  }
  int Found() const;  // cog files found so far

 private:
  bool Read(const std::string& File, std::string& Text);

  TResourceIndex& resources_;
  bool parentFolder_;
  std::map<std::string, std::pair<bool, TCogScript>> scripts_;  // by lower-case name
};
