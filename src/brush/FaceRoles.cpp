#include "brush/FaceRoles.h"

#include <map>
#include <set>

#include "brush/DrawnAdjoins.h"
#include "rtl/SysUtils.h"

const char* RoleSuffix(TFaceRole Role) {
  switch (Role) {
    case TFaceRole::Solid:
      return "";
    case TFaceRole::Sky:
      return "_sky";
    case TFaceRole::Translucent:
      return "_trans";
    case TFaceRole::PassableAdjoin:
      return "_pass";
    case TFaceRole::SolidAdjoin:
      return "_block";
    case TFaceRole::Water:
      return "_water";
    case TFaceRole::WaterVolume:
      return "_volume";
  }
  return "";
}

TFaceRoles::TFaceRoles(const TJKLevel& Level, bool Water) : level_(Level), water_(Water) {
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k)
      sectorOf_.emplace(sector->Surfaces.Items(k), i);
  }
  if (Water) mirrors_ = MirrorSurfaces(Level);
}

int TFaceRoles::SectorOf(const TSurface& Surface) const {
  const auto it = sectorOf_.find(&Surface);
  return it == sectorOf_.end() ? -1 : it->second;
}

bool TFaceRoles::Underwater(int Sector) const {
  return Sector >= 0 && static_cast<size_t>(Sector) < level_.SectorFlags.size() &&
         (level_.SectorFlags[static_cast<size_t>(Sector)] & UnderwaterSectorFlag) != 0;
}

TFaceRole TFaceRoles::Of(const TSurface& Surface) const {
  if (Surface.Adjoin == -1) {
    if (Surface.Flags & SkySurfaceFlags) return TFaceRole::Sky;
    if (Surface.FaceFlags & TranslucentFaceFlag) return TFaceRole::Translucent;
    return TFaceRole::Solid;
  }
  // What stops the player stays solid, water behind it or not (the glass of a tank).
  if (!AdjoinPasses(level_, Surface)) return TFaceRole::SolidAdjoin;
  if (water_) {
    // The surface of water: flagged as water, or between water and air.
    if (Surface.Flags & WaterSurfaceFlags) return TFaceRole::Water;
    const auto mirror = mirrors_.find(&Surface);
    if (mirror != mirrors_.end() &&
        Underwater(SectorOf(Surface)) != Underwater(SectorOf(*mirror->second)))
      return TFaceRole::Water;
  }
  return TFaceRole::PassableAdjoin;
}

std::vector<int> RoleFaces(const T3DMesh& Brush) {
  std::vector<int> faces;
  const int count = Brush.Surfaces.Count();
  if (Brush.Brush.Kind == TBrushKind::WaterVolume) {
    for (int f = 0; f < count; ++f) faces.push_back(f);
    return faces;
  }
  if (count > 0) faces.push_back(0);
  if (Brush.Brush.Kind == TBrushKind::DrawnAdjoin && count > 1 &&
      !Brush.Surfaces.Items(1)->MaterialName.empty())
    faces.push_back(1);
  return faces;
}

namespace {

// The lists hand out their items as they hold them: a brush level that may be changed gives
// faces that may be.
template <class Visit>
void ForEachRoleFace(const TBrushLevel& BrushLevel, Visit visit) {
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    T3DMesh* brush = BrushLevel.Brushes.Items(i);
    if (brush->Brush.Kind == TBrushKind::ShellBox) continue;
    for (int f : RoleFaces(*brush)) visit(*brush->Surfaces.Items(f));
  }
}

}  // namespace

void NameFaceRoles(TBrushLevel& BrushLevel) {
  // The roles each material (letter case ignored, as the level compares them) is used in.
  std::map<std::string, std::set<unsigned char>> roles;
  ForEachRoleFace(BrushLevel, [&roles](const TSurface& face) {
    roles[rtl::LowerCase(face.MaterialName)].insert(face.Role);
  });
  ForEachRoleFace(BrushLevel, [&roles](TSurface& face) {
    const TFaceRole role = static_cast<TFaceRole>(face.Role);
    const bool alone = roles[rtl::LowerCase(face.MaterialName)].size() == 1;
    face.TextureSuffix = role == TFaceRole::WaterVolume || (!alone && role != TFaceRole::Solid)
                             ? RoleSuffix(role)
                             : "";
  });
}

std::vector<TRoleUse> RoleUses(const TBrushLevel& BrushLevel) {
  std::vector<TRoleUse> uses;
  std::map<std::pair<std::string, unsigned char>, size_t> at;
  ForEachRoleFace(BrushLevel, [&](const TSurface& face) {
    if (face.Role == static_cast<unsigned char>(TFaceRole::Solid) || face.MaterialName.empty())
      return;
    const auto key = std::make_pair(rtl::LowerCase(face.MaterialName), face.Role);
    auto it = at.find(key);
    if (it == at.end()) {
      it = at.emplace(key, uses.size()).first;
      TRoleUse use;
      use.Material = face.MaterialName;
      use.Role = static_cast<TFaceRole>(face.Role);
      use.Suffix = face.TextureSuffix;
      uses.push_back(use);
    }
    if (face.FaceFlags & TranslucentFaceFlag) uses[it->second].Translucent = true;
  });
  return uses;
}
