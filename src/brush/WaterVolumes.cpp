#include "brush/WaterVolumes.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "brush/DrawnAdjoins.h"

namespace {

struct TPlane {
  double X, Y, Z, D;  // the points P of the plane: (X, Y, Z) . P = D; the normal into the sector
};

// The plane of a surface: the level's normal through the corners' centre.
bool SurfacePlane(const TSurface& S, TPlane& Out) {
  const double nx = S.Normal.X, ny = S.Normal.Y, nz = S.Normal.Z;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (S.Vertices.Count() < 3 || !(length > 0)) return false;
  double cx = 0, cy = 0, cz = 0;
  for (int k = 0; k < S.Vertices.Count(); ++k) {
    const TVertex* v = S.Vertices.Items(k);
    cx += v->X, cy += v->Y, cz += v->Z;
  }
  const double n = S.Vertices.Count();
  Out = TPlane{nx / length, ny / length, nz / length, 0};
  Out.D = (Out.X * cx + Out.Y * cy + Out.Z * cz) / n;
  return true;
}

bool SamePlane(const TPlane& A, const TPlane& B) {
  return A.X * B.X + A.Y * B.Y + A.Z * B.Z > 1 - 1e-6 &&
         std::fabs(A.D - B.D) < WaterConvexTolerance;
}

// The material the volume of Sector shows in the editor.
std::string VolumeMaterial(const T3DMesh& Sector, const TFaceRoles& Roles) {
  const TSurface* drawn = nullptr;
  const TSurface* any = nullptr;
  for (int k = 0; k < Sector.Surfaces.Count(); ++k) {
    const TSurface* s = Sector.Surfaces.Items(k);
    if (IsDrawnAdjoin(*s)) {
      if (Roles.Of(*s) == TFaceRole::Water) return s->MaterialName;
      if (!drawn) drawn = s;
    }
    if (!any && s->MaterialIndex != -1) any = s;
  }
  return drawn ? drawn->MaterialName : any ? any->MaterialName : std::string("dflt.mat");
}

}  // namespace

TWaterVolumeCount AddWaterVolumes(const TJKLevel& Level, const TFaceRoles& Roles, double Scale,
                                  T3DMeshList& Brushes) {
  TWaterVolumeCount count;
  // Sectors that list the surfaces of one that came before hold the same water: one hull.
  std::unordered_set<const TSurface*> enclosed;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    if (!Roles.Underwater(i)) continue;
    ++count.Sectors;
    const T3DMesh* sector = Level.Sectors.Items(i);
    if (Level.SurfacesShared) {
      bool fresh = false;
      for (int k = 0; k < sector->Surfaces.Count(); ++k)
        fresh = enclosed.insert(sector->Surfaces.Items(k)).second || fresh;
      if (!fresh) continue;
    }
    // One face per plane, each from the first surface on it.
    std::vector<TPlane> planes;
    std::vector<const TSurface*> faces;
    bool convex = true;
    for (int k = 0; k < sector->Surfaces.Count() && convex; ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      TPlane plane;
      if (!SurfacePlane(*s, plane)) continue;
      bool known = false;
      for (const TPlane& p : planes) known = known || SamePlane(p, plane);
      if (known) continue;
      // Every corner of the sector lies on the inner side of every surface of a convex sector.
      for (int m = 0; m < sector->Surfaces.Count() && convex; ++m) {
        const TSurface* o = sector->Surfaces.Items(m);
        for (int c = 0; c < o->Vertices.Count(); ++c) {
          const TVertex* v = o->Vertices.Items(c);
          if (plane.X * v->X + plane.Y * v->Y + plane.Z * v->Z - plane.D < -WaterConvexTolerance) {
            convex = false;
            break;
          }
        }
      }
      planes.push_back(plane);
      faces.push_back(s);
    }
    // Fewer than four planes enclose nothing.
    if (!convex || faces.size() < 4) {
      ++count.NotConvex;
      continue;
    }
    const std::string material = VolumeMaterial(*sector, Roles);
    T3DMesh* brush = Brushes.AddNew();
    brush->Brush = TBrushRecord{TBrushKind::WaterVolume, nullptr, true};
    std::unordered_map<const TVertex*, TVertex*> made;
    for (const TSurface* s : faces) {
      TSurface* face = brush->AddNewSurface();
      face->MaterialName = material;
      face->Role = static_cast<unsigned char>(TFaceRole::WaterVolume);
      for (int c = 0; c < s->Vertices.Count(); ++c) {
        const TVertex* v = s->Vertices.Items(c);
        TVertex*& w = made[v];
        if (!w) w = brush->AddNewVertex(Scale * v->X, Scale * v->Y, Scale * v->Z);
        face->AddVertex(w, nullptr);
      }
    }
    ++count.Brushes;
  }
  return count;
}
