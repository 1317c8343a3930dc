#include "level/ThingTemplates.h"

#include <cstring>
#include <unordered_set>

#include "level/LineLexer.h"
#include "rtl/SysUtils.h"

namespace {

bool StartsWithText(std::string_view Line, std::string_view Upper) {
  if (Line.size() < Upper.size()) return false;
  for (size_t i = 0; i < Upper.size(); ++i) {
    char c = Line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != Upper[i]) return false;
  }
  return true;
}

bool ContainsText(std::string_view Line, std::string_view Upper) {
  for (size_t i = 0; i + Upper.size() <= Line.size(); ++i)
    if (StartsWithText(Line.substr(i), Upper)) return true;
  return false;
}

bool IsSectionHeader(std::string_view Clean) { return ContainsText(Clean, "SECTION:"); }

// Words that name a door or an elevator in template names and sound classes.
bool NamesMover(const std::string& Text) {
  const std::string lower = rtl::LowerCase(Text);
  for (const char* word : {"door", "lift", "elev", "vator"})
    if (lower.find(word) != std::string::npos) return true;
  return false;
}

}  // namespace

void TThingTemplates::Clear() {
  list_.clear();
  index_.clear();
  resolved_.clear();
}

void TThingTemplates::Add(TThingTemplate Template) {
  const std::string key = rtl::LowerCase(Template.Name);
  if (index_.count(key)) return;
  resolved_.clear();
  index_.emplace(key, list_.size());
  list_.push_back(std::move(Template));
}

const TThingTemplate* TThingTemplates::Find(const std::string& Name) const {
  auto it = index_.find(rtl::LowerCase(Name));
  return it == index_.end() ? nullptr : &list_[it->second];
}

std::vector<const TThingTemplate*> TThingTemplates::Chain(const std::string& Name) const {
  std::vector<const TThingTemplate*> chain;
  std::unordered_set<const TThingTemplate*> seen;
  for (const TThingTemplate* t = Find(Name); t; t = t->Base.empty() ? nullptr : Find(t->Base)) {
    if (!seen.insert(t).second) break;
    chain.push_back(t);
  }
  return chain;
}

const TResolvedTemplate& TThingTemplates::Resolved(const std::string& Name) const {
  const std::string key = rtl::LowerCase(Name);
  const auto found = resolved_.find(key);
  if (found != resolved_.end()) return found->second;
  TResolvedTemplate r;
  for (const TThingTemplate* t : Chain(Name)) {
    // The last setting of a key on one line counts; a nearer template's wins over its bases'.
    std::unordered_map<std::string, std::string> own;
    for (const auto& [k, v] : t->Params) own[rtl::LowerCase(k)] = v;
    for (auto& [k, v] : own) r.Params.emplace(k, std::move(v));
    if (rtl::SameText(t->Name, "_structure")) r.Structure = true;
    if (NamesMover(t->Name) || NamesMover(t->Base)) r.NamesMover = true;
  }
  return resolved_.emplace(key, std::move(r)).first->second;
}

bool TThingTemplates::Param(const std::string& Name, const std::string& Key,
                            std::string& Value) const {
  const TResolvedTemplate& r = Resolved(Name);
  const auto it = r.Params.find(rtl::LowerCase(Key));
  if (it == r.Params.end()) return false;
  Value = it->second;
  return true;
}

TThingParams ParseThingParams(std::string_view Text) {
  TThingParams params;
  std::string clean;
  CleanJklLine(Text, clean);
  std::vector<std::string_view> words;
  SplitJklWords(clean, words);
  for (std::string_view w : words) {
    const size_t eq = w.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    params.emplace_back(std::string(w.substr(0, eq)), std::string(w.substr(eq + 1)));
  }
  return params;
}

void ReadThingTemplates(const std::vector<std::string_view>& Lines, TThingTemplates& Out) {
  Out.Clear();
  std::string clean;
  size_t i = 0;
  // The section header; most lines have no colon and are passed over at once.
  for (; i < Lines.size(); ++i) {
    const std::string_view raw = Lines[i];
    if (raw.empty() || !std::memchr(raw.data(), ':', raw.size())) continue;
    CleanJklLine(raw, clean);
    if (IsSectionHeader(clean) && ContainsText(clean, "TEMPLATES")) break;
  }
  bool counted = false;
  std::vector<std::string_view> words;
  for (++i; i < Lines.size(); ++i) {
    CleanJklLine(Lines[i], clean);
    if (clean.empty()) continue;
    if (IsSectionHeader(clean)) return;
    if (!counted) {
      counted = StartsWithText(clean, "WORLD TEMPLATES");
      continue;
    }
    if (rtl::SameText(clean, "end")) return;
    SplitJklWords(clean, words);
    if (words.size() < 2) continue;
    TThingTemplate t;
    t.Name = std::string(words[0]);
    t.Base = rtl::SameText(std::string(words[1]), "none") ? std::string() : std::string(words[1]);
    const size_t rest = static_cast<size_t>(words[1].data() - clean.data()) + words[1].size();
    t.Params = ParseThingParams(std::string_view(clean).substr(rest));
    Out.Add(std::move(t));
  }
}

TThingModel ResolveThing(const TThingTemplates& Templates, const std::string& Template,
                         const TThingParams& Own) {
  TThingModel m;
  auto value = [&](const char* Key, std::string& Out) {
    bool found = false;
    for (const auto& [k, v] : Own)
      if (rtl::SameText(k, Key)) Out = v, found = true;
    return found || Templates.Param(Template, Key, Out);
  };
  std::string text;
  if (value("model3d", text) && !rtl::SameText(text, "none")) m.Model3d = text;
  if (value("collide", text)) {
    int32_t collide = 0;
    if (rtl::TryStrToInt(text, collide)) m.Collide = collide;
  }
  if (value("type", text)) m.Type = rtl::LowerCase(text);
  if (value("soundclass", text) && NamesMover(text)) m.Door = true;
  const TResolvedTemplate& chain = Templates.Resolved(Template);
  if (chain.Structure) m.Structure = true;
  if (chain.NamesMover) m.Door = true;
  for (const auto& [k, v] : Own) {
    if (rtl::SameText(k, "frame")) m.Frames = true;
    int32_t frames = 0;
    if (rtl::SameText(k, "numframes") && rtl::TryStrToInt(v, frames) && frames > 0) m.Frames = true;
  }
  return m;
}
