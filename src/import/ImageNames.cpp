#include "import/ImageNames.h"

#include <set>

#include "import/SafeNames.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

std::string NaturalName(const std::string& Material) {
  return MapSafeName(rtl::ChangeFileExt(Material, ""));
}

}  // namespace

TImageNames::TImageNames(const rtl::TStringList& Materials) {
  // Every natural name is reserved first, so that no suffix takes a later material's own name.
  std::set<std::string> taken;
  for (int i = 0; i < Materials.Count(); ++i)
    taken.insert(rtl::LowerCase(NaturalName(Materials[i])));
  std::map<std::string, std::string> owner;  // lower-case name -> the material that has it
  std::set<std::string> seen;                // lower-case materials: one image for any case
  for (int i = 0; i < Materials.Count(); ++i) {
    const std::string& material = Materials[i];
    if (!seen.insert(rtl::LowerCase(material)).second) continue;
    const std::string natural = NaturalName(material);
    // Surfaces may spell the material in another letter case than its first use: one image,
    // and every face named by the image's name.
    names_[rtl::LowerCase(material)] = natural;
    const auto first = owner.emplace(rtl::LowerCase(natural), material);
    if (first.second) continue;
    std::string name;
    for (int n = 2;; ++n) {
      name = natural + "_" + std::to_string(n);
      if (taken.insert(rtl::LowerCase(name)).second) break;
    }
    owner.emplace(rtl::LowerCase(name), material);
    names_[rtl::LowerCase(material)] = name;
    renamed_.push_back({first.first->second, material, name});
  }
}

std::string TImageNames::Of(const std::string& Material) const {
  const auto it = names_.find(rtl::LowerCase(Material));
  return it != names_.end() ? it->second : NaturalName(Material);
}
