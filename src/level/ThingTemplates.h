// A level's templates and what a thing's template chain gives it: its model, its collision and
// its type.
//
// A level's TEMPLATES section holds one template per line, "name base key=value ...": a template
// takes every parameter of its base template ("none": no base) and sets or overrides its own; a
// thing's line may add parameters of its own after its sector ("numframes=2 frame=(...)"), which
// override the template's. Names and keys compare without regard to letter case.
//
// The section is read leniently: what is not understood is passed over, and nothing here ever
// fails an import that reads the level's geometry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

using TThingParams = std::vector<std::pair<std::string, std::string>>;

struct TThingTemplate {
  std::string Name;
  std::string Base;  // empty: none
  TThingParams Params;
};

// What a template's whole chain gives: each key's value (by lower-case key) from the nearest
// template that sets it, and whether a template of the chain is "_structure" or names a door or
// an elevator (by its name or its base's).
struct TResolvedTemplate {
  std::unordered_map<std::string, std::string> Params;
  bool Structure = false;
  bool NamesMover = false;
};

class TThingTemplates {
 public:
  void Clear();
  // The first template of a name counts; a later one of the same name is passed over.
  void Add(TThingTemplate Template);
  const TThingTemplate* Find(const std::string& Name) const;
  size_t Count() const { return list_.size(); }

  // The value of Key for template Name: its own, else the nearest base's that sets it. False when
  // no template of the chain sets it (or Name is unknown). A chain that comes back to a template
  // it passed ends there.
  bool Param(const std::string& Name, const std::string& Key, std::string& Value) const;
  // Name and its bases, nearest first (unknown names end the chain).
  std::vector<const TThingTemplate*> Chain(const std::string& Name) const;
  // Name's chain resolved, walked once per template however many things name it (a chain may be
  // thousands deep); an unknown name resolves to nothing.
  const TResolvedTemplate& Resolved(const std::string& Name) const;

 private:
  std::vector<TThingTemplate> list_;
  std::unordered_map<std::string, size_t> index_;                        // by lower-case name
  mutable std::unordered_map<std::string, TResolvedTemplate> resolved_;  // by lower-case name
};

// The "key=value" words of Text, in order; other words are passed over.
TThingParams ParseThingParams(std::string_view Text);

// Reads the TEMPLATES section of a level's lines ("World templates N", then template lines until
// "end" or the next section) into Out. Never raises.
void ReadThingTemplates(const std::vector<std::string_view>& Lines, TThingTemplates& Out);

// What a thing is drawn with and how it behaves, from its template chain and its own parameters.
struct TThingModel {
  std::string Model3d;     // the model file ("name.3do"), empty when none
  int Collide = 0;         // 0 none, 1 sphere, 3 its faces
  std::string Type;        // "player", "cog", "item", "actor", ...
  bool Structure = false;  // its chain holds "_structure": part of the level's build
  bool Door = false;       // a door or an elevator: moves in the game
  bool Frames = false;     // its own line carries a path of frames: moves in the game
  bool Moves() const { return Door || Frames; }
};
// Doors and elevators are known by the names of their chain ("door", "lift", "elev", "vator")
// or by their sound class, which names the same.
TThingModel ResolveThing(const TThingTemplates& Templates, const std::string& Template,
                         const TThingParams& Own);
