#include "brush/BrushConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "brush/BrushTestSupport.h"
#include "import/BrushStages.h"
#include "rtl/Paths.h"
#include "support/TestSupport.h"

using namespace brush_test;

namespace {

const double kPi = 3.14159265358979323846;

std::vector<std::pair<int, int>> g_Progress;
void RecordProgress(int32_t Index, int32_t Count) { g_Progress.emplace_back(Index, Count); }

void ExpectCorners(const TSurface& face, const std::vector<TVector3>& expected) {
  ASSERT_EQ(face.Vertices.Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < face.Vertices.Count(); ++i) {
    const TVertex* v = face.Vertices.Items(i);
    const TVector3& e = expected[static_cast<size_t>(i)];
    EXPECT_EQ(v->X, e.X) << "corner " << i;
    EXPECT_EQ(v->Y, e.Y) << "corner " << i;
    EXPECT_EQ(v->Z, e.Z) << "corner " << i;
  }
}

std::vector<TVector3> Square() { return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}; }

}  // namespace

TEST(BrushConvert, UnitSquareBecomesSlabPointByPoint) {
  LevelBuilder b;
  b.AddSurface(Square(), -1, 0, "wall.mat");
  TBrushLevel out;
  MakeBrushLevel(b.Level, out, nullptr);
  ASSERT_EQ(out.Brushes.Count(), 1);
  T3DMesh& brush = *out.Brushes.Items(0);
  ASSERT_EQ(brush.Surfaces.Count(), 6);

  TSurface& front = *brush.Surfaces.Items(0);
  ExpectCorners(front, {{0, 256, 0}, {256, 256, 0}, {256, 0, 0}, {0, 0, 0}});
  EXPECT_EQ(front.Normal.X, 0);
  EXPECT_EQ(front.Normal.Y, 0);
  EXPECT_EQ(front.Normal.Z, 1);
  ExpectCorners(*brush.Surfaces.Items(1), {{0, 0, -8}, {256, 0, -8}, {256, 256, -8}, {0, 256, -8}});
  ExpectCorners(*brush.Surfaces.Items(2), {{0, 0, -8}, {0, 256, -8}, {0, 256, 0}, {0, 0, 0}});
  ExpectCorners(*brush.Surfaces.Items(3), {{256, 0, -8}, {0, 0, -8}, {0, 0, 0}, {256, 0, 0}});
  ExpectCorners(*brush.Surfaces.Items(4),
                {{256, 256, -8}, {256, 0, -8}, {256, 0, 0}, {256, 256, 0}});
  ExpectCorners(*brush.Surfaces.Items(5),
                {{0, 256, -8}, {256, 256, -8}, {256, 256, 0}, {0, 256, 0}});

  for (int f = 0; f < 6; ++f) {
    const TSurface& face = *brush.Surfaces.Items(f);
    EXPECT_EQ(face.MaterialName, "wall.mat");
    EXPECT_EQ(face.Flags, 0);
    // Front and back carry one (0, 0) texture vertex per corner, side faces none.
    EXPECT_EQ(face.TXVertices.Count(), f < 2 ? 4 : 0);
    for (int t = 0; t < face.TXVertices.Count(); ++t) {
      EXPECT_EQ(face.TXVertices.Items(t)->U, 0);
      EXPECT_EQ(face.TXVertices.Items(t)->V, 0);
    }
  }
  // Eight vertex objects, front ones first, shared by the side faces: moving one front corner
  // moves the two side faces that meet there.
  ASSERT_EQ(brush.Vertices.Count(), 8);
  EXPECT_EQ(brush.Vertices.Items(0), front.Vertices.Items(0));
  EXPECT_EQ(brush.Vertices.Items(4), brush.Surfaces.Items(1)->Vertices.Items(0));
  int uses = 0;
  for (int f = 2; f < 6; ++f)
    for (int c = 0; c < 4; ++c)
      uses += brush.Surfaces.Items(f)->Vertices.Items(c) == front.Vertices.Items(0);
  EXPECT_EQ(uses, 2);

  // The three points the editor gets for front, back and first side face point along +Z, -Z
  // and -X.
  auto plane = [&](int f) {
    const TSurface& face = *brush.Surfaces.Items(f);
    TVector3 c;
    face.GetCentre(c);
    Vec p2 = Of(face.Vertices.Items(1));
    return Cross(Sub(Of(face.Vertices.Items(0)), p2), Sub(Of(c), p2));
  };
  EXPECT_GT(plane(0).z, 0);
  EXPECT_LT(plane(1).z, 0);
  EXPECT_LT(plane(2).x, 0);
  EXPECT_EQ(plane(2).y, 0);
  EXPECT_EQ(plane(2).z, 0);
}

TEST(BrushConvert, ScaleOneKeepsCoordinatesAndDepthIsUnscaled) {
  TSlabSettings slab = Slab(1, 8);
  LevelBuilder b;
  // A triangle in the plane x = 3 whose right-hand normal is -X: the slab lies on the +X side.
  b.AddSurface({{3, 0, 0}, {3, 0, 2}, {3, 2, 0}});
  TBrushLevel out;
  MakeBrushLevel(b.Level, out, nullptr, TImportOptions(), &slab);
  ASSERT_EQ(out.Brushes.Count(), 1);
  const T3DMesh& brush = *out.Brushes.Items(0);
  ASSERT_EQ(brush.Surfaces.Count(), 5);
  ExpectCorners(*brush.Surfaces.Items(0), {{3, 2, 0}, {3, 0, 2}, {3, 0, 0}});
  EXPECT_EQ(brush.Surfaces.Items(0)->Normal.X, -1);
  ExpectCorners(*brush.Surfaces.Items(1), {{11, 0, 0}, {11, 0, 2}, {11, 2, 0}});
}

TEST(BrushConvert, SkipsAdjoinsAndReportsEverySector) {
  LevelBuilder b;
  b.AddSurface(Square(), 0);  // opens into another sector
  b.AddSurface(Square(), 3);
  b.NewSector();
  b.AddSurface(Square(), 1);
  b.AddSurface(Square(), -1, 0, "floor.mat");
  b.NewSector();
  TBrushLevel out;
  g_Progress.clear();
  MakeBrushLevel(b.Level, out, RecordProgress);
  EXPECT_EQ(g_Progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
  ASSERT_EQ(out.Brushes.Count(), 1);
  EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Items(0)->MaterialName, "floor.mat");

  // An empty level: nothing made, no progress.
  LevelBuilder empty;
  TBrushLevel none;
  g_Progress.clear();
  MakeBrushLevel(empty.Level, none, RecordProgress);
  EXPECT_TRUE(g_Progress.empty());
  EXPECT_EQ(none.Brushes.Count(), 0);
  EXPECT_EQ(none.Entities.Count(), 0);
  EXPECT_TRUE(none.Lights.empty());
}

TEST(BrushConvert, SkyFlagsBecomeFour) {
  LevelBuilder b;
  const int flags[] = {0x200, 0x400, 0x600, 0x1FF | 0x800, 0};
  for (int f : flags) b.AddSurface(Square(), -1, f);
  TBrushLevel out;
  MakeBrushLevel(b.Level, out, nullptr);
  ASSERT_EQ(out.Brushes.Count(), 5);
  const int expected[] = {4, 4, 4, 0, 0};
  for (int i = 0; i < 5; ++i)
    for (int f = 0; f < out.Brushes.Items(i)->Surfaces.Count(); ++f)
      EXPECT_EQ(out.Brushes.Items(i)->Surfaces.Items(f)->Flags, expected[i]) << "brush " << i;
}

TEST(BrushConvert, DegenerateSurfaces) {
  {
    // No corners: an empty brush, which the hand-off passes over.
    LevelBuilder b;
    b.AddSurface({});
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr);
    ASSERT_EQ(out.Brushes.Count(), 1);
    ASSERT_EQ(out.Brushes.Items(0)->Surfaces.Count(), 2);
    EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Items(0)->Vertices.Count(), 0);
    EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Items(1)->Vertices.Count(), 0);
  }
  {
    // Two corners: zero normal, so the back face lies on the front face.
    LevelBuilder b;
    b.AddSurface({{0, 0, 0}, {1, 0, 0}});
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr);
    const T3DMesh& brush = *out.Brushes.Items(0);
    ASSERT_EQ(brush.Surfaces.Count(), 4);
    ExpectCorners(*brush.Surfaces.Items(1), {{0, 0, 0}, {256, 0, 0}});
  }
  {
    // One corner: the normal needs a second one. What was made before stays for the owner.
    LevelBuilder b;
    b.AddSurface(Square());
    b.AddSurface({{1, 2, 3}});
    TBrushLevel out;
    try {
      MakeBrushLevel(b.Level, out, nullptr);
      FAIL() << "no error";
    } catch (const rtl::EListError& e) {
      EXPECT_STREQ(e.what(), "Vertex Index is out of bounds: 1");
    }
    EXPECT_EQ(out.Brushes.Count(), 2);
    out.Clear();
    EXPECT_EQ(out.Brushes.Count(), 0);
  }
}

TEST(BrushConvert, ThingsAndLights) {
  TSlabSettings slab = Slab(0.1, 8);
  LevelBuilder b;
  const char* names[] = {"WalkPlayer", "walkplayer", "walkplayer2",
                         "walkplaye",  "ghost",      "walkplayer"};
  for (int i = 0; i < 6; ++i) {
    auto t = std::make_unique<TEntityRec>();
    t->Name = names[i];
    t->Origin = MakeVector(1.5f * i, -2.25f, 3);
    t->Pitch = 10.f * i;
    t->Yaw = 90;
    t->Roll = -1;
    b.Level.Things.AddObject(names[i], std::move(t));
  }
  auto light = std::make_unique<TLightRec>();
  light->Tag = 7;
  light->Position = MakeVector(1, 2, 3);
  light->Value1 = 0.5f;
  light->Value2 = 0.3f;
  b.Level.Lights.push_back(std::move(light));

  TBrushLevel out;
  MakeBrushLevel(b.Level, out, nullptr, TImportOptions(), &slab);
  ASSERT_EQ(out.Entities.Count(), 6);
  const char* classes[] = {
      "info_player_deathmatch", "info_player_deathmatch", "info_null", "info_null", "info_null",
      "info_player_deathmatch"};
  const float s = 0.1f;  // the scale is taken as a Single for origins and positions
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(out.Entities.Strings(i), classes[i]);
    const TEntityRec& e = *out.Entities.Objects(i);
    EXPECT_EQ(e.Name, classes[i]);
    EXPECT_EQ(e.Origin.X, static_cast<float>(static_cast<double>(s) * (1.5f * i)));
    EXPECT_EQ(e.Origin.Y, static_cast<float>(static_cast<double>(s) * -2.25));
    EXPECT_EQ(e.Origin.Z, static_cast<float>(static_cast<double>(s) * 3));
    EXPECT_EQ(e.Pitch, 10.f * i);
    EXPECT_EQ(e.Yaw, 90);
    EXPECT_EQ(e.Roll, -1);
  }
  // Two lines of the same class are two records.
  EXPECT_NE(out.Entities.Objects(1), out.Entities.Objects(5));

  ASSERT_EQ(out.Lights.size(), 1u);
  const TLightRec& l = *out.Lights[0];
  EXPECT_EQ(l.Tag, 7);
  EXPECT_EQ(l.Position.Z, static_cast<float>(static_cast<double>(s) * 3));
  // The .map's light and range come from the level's own light, scaled there.
  EXPECT_EQ(std::make_pair(l.Value1, l.Value2), std::make_pair(0.0f, 0.0f));
}

// Regular convex polygons of 3 to 12 corners, turned and moved at random, listed either way
// round: every face of every slab faces out of it, and the two listings give slabs on opposite
// sides of the polygon's plane.
TEST(BrushConvert, EveryFaceFacesOutOfGeneratedSlabs) {
  std::mt19937 rng(20261207);
  std::uniform_real_distribution<double> unit(-1, 1), size(0.05, 40);
  int checked = 0;
  for (int round = 0; round < 400; ++round) {
    const int n = 3 + round % 10;
    // A random orthonormal frame (u, v) for the polygon's plane.
    Vec a{unit(rng), unit(rng), unit(rng)}, c{unit(rng), unit(rng), unit(rng)};
    if (Len(a) < 0.1 || Len(Cross(a, c)) < 0.1) continue;
    Vec w = Cross(a, c);
    Vec u{a.x / Len(a), a.y / Len(a), a.z / Len(a)};
    Vec v = Cross(w, u);
    v = {v.x / Len(v), v.y / Len(v), v.z / Len(v)};
    const double r = size(rng), phase = unit(rng) * 3.14159;
    const Vec o{unit(rng) * 50, unit(rng) * 50, unit(rng) * 50};
    std::vector<TVector3> corners;
    for (int k = 0; k < n; ++k) {
      double t = phase + 2 * kPi * k / n;
      double cu = r * std::cos(t), cv = r * std::sin(t);
      corners.push_back(MakeVector(static_cast<float>(o.x + cu * u.x + cv * v.x),
                                   static_cast<float>(o.y + cu * u.y + cv * v.y),
                                   static_cast<float>(o.z + cu * u.z + cv * v.z)));
    }
    LevelBuilder b;
    b.AddSurface(corners);
    b.AddSurface(std::vector<TVector3>(corners.rbegin(), corners.rend()));
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr);
    ASSERT_EQ(out.Brushes.Count(), 2);
    for (int i = 0; i < 2; ++i) {
      const T3DMesh& brush = *out.Brushes.Items(i);
      ASSERT_EQ(brush.Surfaces.Count(), n + 2);
      for (int f = 0; f < brush.Surfaces.Count(); ++f) {
        double cosine = OutwardCosine(brush, *brush.Surfaces.Items(f));
        ASSERT_FALSE(std::isnan(cosine)) << "round " << round << " face " << f;
        EXPECT_GT(cosine, 0) << "round " << round << " brush " << i << " face " << f;
        ++checked;
      }
    }
    // The two slabs lie on opposite sides: their back faces are 16 units apart.
    TVector3 back0, back1;
    out.Brushes.Items(0)->Surfaces.Items(1)->GetCentre(back0);
    out.Brushes.Items(1)->Surfaces.Items(1)->GetCentre(back1);
    EXPECT_NEAR(Len(Sub(Of(back0), Of(back1))), 16, 16 * 1e-3) << "round " << round;
  }
  EXPECT_GT(checked, 2000);
}

namespace {

// Whether a level surface is a flat, simple, convex polygon, judged on its own corners in
// double precision: at least three corners; every corner within 1e-4 of the polygon's size from
// the plane through the centroid with the Newell normal; every turn at a corner no right turn
// about that normal (corners in line are allowed); and the turns adding up to one full circle,
// which rules out polygons that wind round twice.
bool IsFlatConvex(const TSurface& s) {
  const int n = s.Vertices.Count();
  if (n < 3) return false;
  std::vector<Vec> p;
  Vec c{0, 0, 0}, nw{0, 0, 0};
  for (int i = 0; i < n; ++i) p.push_back(Of(s.Vertices.Items(i)));
  for (int i = 0; i < n; ++i) {
    const Vec& a = p[static_cast<size_t>(i)];
    const Vec& b = p[static_cast<size_t>((i + 1) % n)];
    nw.x += (a.y - b.y) * (a.z + b.z);
    nw.y += (a.z - b.z) * (a.x + b.x);
    nw.z += (a.x - b.x) * (a.y + b.y);
    c = {c.x + a.x / n, c.y + a.y / n, c.z + a.z / n};
  }
  double size = 0;
  for (const Vec& a : p) size = std::max(size, Len(Sub(a, c)));
  if (Len(nw) <= 1e-9 * size * size || size == 0) return false;
  const Vec unit{nw.x / Len(nw), nw.y / Len(nw), nw.z / Len(nw)};
  double turning = 0;
  for (int i = 0; i < n; ++i) {
    const Vec& a = p[static_cast<size_t>(i)];
    if (std::fabs(Dot(Sub(a, c), unit)) > 1e-4 * size) return false;
    Vec e1 = Sub(p[static_cast<size_t>((i + 1) % n)], a);
    Vec e2 = Sub(p[static_cast<size_t>((i + 2) % n)], p[static_cast<size_t>((i + 1) % n)]);
    if (Len(e1) == 0 || Len(e2) == 0) return false;
    double sine = Dot(Cross(e1, e2), unit) / (Len(e1) * Len(e2));
    if (sine < -1e-9) return false;
    turning += std::atan2(sine, Dot(e1, e2) / (Len(e1) * Len(e2)));
  }
  return std::fabs(turning - 2 * kPi) < 1e-3;
}

}  // namespace

// The same rule over every flat convex solid surface of the real levels. Faces whose three
// editor points are in line (a surface whose first two corners line up with its centre) have
// no orientation to check and are counted apart.
TEST(BrushConvert, EveryFaceFacesOutOfCorpusSlabs) {
  auto files = testing_support::CorpusFiles("jkl", "*.jkl");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  long faces = 0, inLine = 0, surfaces = 0, notConvex = 0;
  const std::string folder = rtl::JoinPath(testing_support::CorpusDir(), "jkl");
  for (const std::string& file : files) {
    TJKLevel level;
    try {
      level.LoadFromFile(rtl::JoinPath(folder, file));
    } catch (const std::exception& e) {
      std::printf("%s: not read: %s\n", file.c_str(), e.what());
      continue;  // a level the reader rejects has no slabs to check
    }
    TBrushLevel out;
    MakeBrushLevel(level, out, nullptr);
    int next = 0;
    for (int i = 0; i < level.Sectors.Count(); ++i) {
      const T3DMesh& sector = *level.Sectors.Items(i);
      for (int k = 0; k < sector.Surfaces.Count(); ++k) {
        const TSurface& surface = *sector.Surfaces.Items(k);
        if (surface.Adjoin != -1) continue;
        const T3DMesh& brush = *out.Brushes.Items(next++);
        if (!IsFlatConvex(surface)) {
          ++notConvex;
          continue;
        }
        ++surfaces;
        for (int f = 0; f < brush.Surfaces.Count(); ++f) {
          double cosine = OutwardCosine(brush, *brush.Surfaces.Items(f));
          if (std::isnan(cosine)) {
            ++inLine;
            continue;
          }
          ++faces;
          EXPECT_GT(cosine, 0) << file << " sector " << i << " surface " << k << " face " << f;
        }
      }
    }
    EXPECT_EQ(next, out.Brushes.Count()) << file;
  }
  std::printf(
      "corpus slabs: %ld convex surfaces, %ld faces checked, %ld in line, %ld surfaces "
      "not flat and convex\n",
      surfaces, faces, inLine, notConvex);
  EXPECT_GT(faces, 0);
}
