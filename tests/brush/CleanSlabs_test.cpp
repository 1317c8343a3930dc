// Clean slabs: repeated and in-line corners dropped before a slab is built, surfaces without area
// left out, and what an editor makes of the result.
#include <gtest/gtest.h>

#include <random>

#include "brush/BrushConvert.h"
#include "brush/BrushTestSupport.h"
#include "brush/Slabs.h"
#include "import/BrushStages.h"
#include "rtl/Paths.h"
#include "support/EditorBrushCheck.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

using namespace brush_test;

namespace {

TImportOptions Clean() {
  TImportOptions o;
  o.CleanSlabs = true;
  return o;
}

// A surface of the given corners whose texture vertices are (10 k, 20 k) for corner k, so that
// the pairing of corners and texture vertices can be followed.
TSurface* AddTexturedSurface(LevelBuilder& b, const std::vector<TVector3>& corners) {
  TSurface* s = b.AddSurface({});
  for (size_t k = 0; k < corners.size(); ++k) {
    const TVector3& c = corners[k];
    TTXVertex tx(10.0 * static_cast<double>(k), 20.0 * static_cast<double>(k));
    s->AddVertex(
        b.Level.Vertices.Items(b.Level.Vertices.Add(std::make_unique<TVertex>(c.X, c.Y, c.Z))),
        &tx);
  }
  return s;
}

// Every corner of every face, in order, as text: two brushes with the same text are the same.
std::string Shape(const T3DMesh& brush) {
  std::string out;
  for (int f = 0; f < brush.Surfaces.Count(); ++f) {
    const TSurface& face = *brush.Surfaces.Items(f);
    for (int c = 0; c < face.Vertices.Count(); ++c) {
      const TVertex* v = face.Vertices.Items(c);
      out += rtl::SingleToStr(v->X) + " " + rtl::SingleToStr(v->Y) + " " + rtl::SingleToStr(v->Z) +
             ";";
    }
    out += face.MaterialName + " " + std::to_string(face.Flags) + "\n";
  }
  return out;
}

// The three points the hand-off gives the editor for each face with three corners or more.
editor_check::TBrushFaces EditorFaces(const T3DMesh& brush) {
  editor_check::TBrushFaces faces;
  for (int f = 0; f < brush.Surfaces.Count(); ++f) {
    const TSurface& face = *brush.Surfaces.Items(f);
    if (face.Vertices.Count() < 3) continue;
    const TVertex* a = face.Vertices.Items(0);
    const TVertex* b = face.Vertices.Items(1);
    TVector3 c;
    face.GetCentre(c);
    faces.push_back({a->X, a->Y, a->Z, b->X, b->Y, b->Z, c.X, c.Y, c.Z});
  }
  return faces;
}

// Both plane rules of the checker: no face on another's plane, every face with a polygon.
void ExpectEditorBuildsEveryFace(const T3DMesh& brush, const std::string& what) {
  for (const editor_check::TRules& rules : {editor_check::LooseRules, editor_check::StrictRules}) {
    const editor_check::TBrushReport r = editor_check::CheckBrush(EditorFaces(brush), rules);
    EXPECT_EQ(r.Duplicates, 0) << what;
    EXPECT_EQ(r.NoPolygon, 0) << what;
    EXPECT_FALSE(r.Lost) << what;
  }
}

std::vector<TVector3> Square() { return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}; }

}  // namespace

TEST(CleanSlabs, RepeatedCornersGoAndTheSlabIsTheSquaresOwn) {
  LevelBuilder plain;
  plain.AddSurface(Square());
  TBrushLevel expected;
  MakeBrushLevel(plain.Level, expected, nullptr);

  const std::vector<std::vector<TVector3>> listings = {
      {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},             // inside
      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}},             // last = first
      {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 0}, {0, 1, 0}},  // two of them
  };
  const std::vector<std::vector<int>> kept = {{0, 1, 3, 4}, {0, 1, 2, 3}, {0, 2, 3, 5}};
  for (size_t i = 0; i < listings.size(); ++i) {
    LevelBuilder b;
    const TSurface* s = b.AddSurface(listings[i]);
    EXPECT_EQ(CleanSlabCorners(*s, 256), kept[i]) << "listing " << i;
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr, Clean());
    ASSERT_EQ(out.Brushes.Count(), 1) << "listing " << i;
    EXPECT_EQ(Shape(*out.Brushes.Items(0)), Shape(*expected.Brushes.Items(0))) << "listing " << i;
    ExpectEditorBuildsEveryFace(*out.Brushes.Items(0), "listing " + std::to_string(i));

    // Without the option the repeat stays: a side face without width, on no plane at all.
    TBrushLevel raw;
    MakeBrushLevel(b.Level, raw, nullptr);
    EXPECT_EQ(raw.Brushes.Items(0)->Surfaces.Count(), static_cast<int>(listings[i].size()) + 2);
  }
}

TEST(CleanSlabs, CornersInLineGoWithinTheToleranceAndTexelsStayWithTheirCorners) {
  // A corner half-way along the bottom edge, lifted off it by d level units (256 d editor
  // units): in line up to 0.01 unit off, however long the edges; 0.003 turns by less than
  // 1/64 but lies 0.77 unit off.
  struct TCase {
    float lift;
    bool dropped;
  };
  for (const TCase c :
       {TCase{0, true}, TCase{0.00003f, true}, TCase{-0.00003f, true}, TCase{0.00005f, false},
        TCase{0.003f, false}, TCase{-0.003f, false}, TCase{0.006f, false}}) {
    LevelBuilder b;
    TSurface* s =
        AddTexturedSurface(b, {{0, 0, 0}, {0.5f, c.lift, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    const std::vector<int> expected =
        c.dropped ? std::vector<int>{0, 2, 3, 4} : std::vector<int>{0, 1, 2, 3, 4};
    EXPECT_EQ(CleanSlabCorners(*s, 256), expected) << "lift " << c.lift;
    TBrushLevel out;
    TImportOptions withTexels = Clean();
    withTexels.KeepTexels = true;
    ASSERT_TRUE(AddSlabBrush(*s, 256, 8, out.Brushes, withTexels));
    const T3DMesh& brush = *out.Brushes.Items(0);
    ASSERT_EQ(brush.Surfaces.Count(), static_cast<int>(expected.size()) + 2) << c.lift;
    // The front face holds the kept corners backwards, each with its own texture vertex
    // (10 k, 20 k); a dropped corner's texture vertex is used nowhere.
    const TSurface& front = *brush.Surfaces.Items(0);
    ASSERT_EQ(front.TXVertices.Count(), static_cast<int>(expected.size()));
    for (size_t j = 0; j < expected.size(); ++j) {
      const int k = expected[expected.size() - 1 - j];
      const TVertex* source = s->Vertices.Items(k);
      EXPECT_EQ(front.Vertices.Items(static_cast<int>(j))->X, 256 * source->X);
      EXPECT_EQ(front.Vertices.Items(static_cast<int>(j))->Y, 256 * source->Y);
      EXPECT_EQ(front.TXVertices.Items(static_cast<int>(j))->U, 10.0f * static_cast<float>(k));
      EXPECT_EQ(front.TXVertices.Items(static_cast<int>(j))->V, 20.0f * static_cast<float>(k));
    }
    // A corner lifted inwards and kept is a dent, which no convex brush has; the others are.
    if (c.dropped || c.lift < -0.001f) ExpectEditorBuildsEveryFace(brush, "lift");
  }
  {
    // Corners that only lie off the surface (along its normal) are in line as seen along it:
    // their side faces would run along the same plane.
    LevelBuilder b;
    const TSurface* s =
        b.AddSurface({{0, 0, 0}, {0.5f, 0, 0.001f}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(CleanSlabCorners(*s, 256), (std::vector<int>{0, 2, 3, 4}));
  }
  {
    // Several in a row, and dropping one puts the next in line with new neighbours.
    LevelBuilder b;
    const TSurface* s = b.AddSurface(
        {{0, 0, 0}, {0.25f, 0, 0}, {0.5f, 0, 0}, {0.75f, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(CleanSlabCorners(*s, 256), (std::vector<int>{0, 4, 5, 6}));
  }
}

// A corner within 0.01 unit of the line that another solid surface also has stays, unless it
// lies on the line as far as Singles tell: the neighbour's slab meets it there.
TEST(CleanSlabs, ACornerAnotherSurfaceSharesStays) {
  struct TCase {
    float lift;  // level units; 0.00003 is 0.0077 editor units
    bool wall;
    int faces;
  };
  for (const TCase c : {TCase{0.00003f, false, 6}, TCase{0.00003f, true, 7}, TCase{0, true, 6}}) {
    LevelBuilder b;
    b.AddSurface({{0, 0, 0}, {0.5f, c.lift, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    if (c.wall) b.AddSurface({{0, 0, 0}, {0, 0, 1}, {0.5f, 0, 1}, {0.5f, c.lift, 0}});
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr, Clean());
    EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Count(), c.faces) << c.lift << " " << c.wall;
  }
}

TEST(CleanSlabs, SurfacesWithoutAreaMakeNoBrushAndOneLineCountsThem) {
  LevelBuilder b;
  b.AddSurface(Square(), -1, 0, "a.mat");
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});                 // all in line
  b.AddSurface({{0, 0, 0}, {1, 0, 0}});                                       // two corners
  b.AddSurface({{1, 2, 3}});                                                  // one corner
  b.AddSurface({});                                                           // none
  b.AddSurface({{0, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}});                 // there and back
  b.AddSurface({{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {1, 0.00001f, 0}});          // a spike
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 0, 0}});      // repeats only
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, -1, 0x400, "b.mat");        // a triangle
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 3, 0, "c.mat");  // an adjoin

  TBrushLevel out;
  std::vector<std::string> lines;
  MakeBrushLevel(b.Level, out, nullptr, Clean(), nullptr,
                 [&lines](const std::string& text) { lines.push_back(text); });
  ASSERT_EQ(out.Brushes.Count(), 2);
  EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Count(), 6);
  EXPECT_EQ(out.Brushes.Items(1)->Surfaces.Count(), 5);
  EXPECT_EQ(out.Brushes.Items(1)->Surfaces.Items(0)->MaterialName, "b.mat");
  EXPECT_EQ(out.Brushes.Items(1)->Surfaces.Items(4)->Flags, 4);
  EXPECT_EQ(lines, std::vector<std::string>{"7 surfaces without area left out of the slabs"});

  // Nothing left out: no line.
  lines.clear();
  LevelBuilder good;
  good.AddSurface(Square());
  TBrushLevel fine;
  MakeBrushLevel(good.Level, fine, nullptr, Clean(), nullptr,
                 [&lines](const std::string& text) { lines.push_back(text); });
  EXPECT_EQ(fine.Brushes.Count(), 1);
  EXPECT_TRUE(lines.empty());
}

// Convex polygons with repeated corners and corners along their edges, in every direction: the
// editor builds every face of every clean slab, while it discards faces of every one of the same
// slabs made without cleaning.
TEST(CleanSlabs, EditorBuildsEveryFaceOfGeneratedSlabs) {
  std::mt19937 rng(7122026);
  std::uniform_real_distribution<double> unit(-1, 1), size(0.05, 40), along(0.1, 0.9);
  long rawProblems = 0, checked = 0;
  for (int round = 0; round < 300; ++round) {
    const int n = 3 + round % 8;
    Vec a{unit(rng), unit(rng), unit(rng)}, c{unit(rng), unit(rng), unit(rng)};
    if (Len(a) < 0.1 || Len(Cross(a, c)) < 0.1) continue;
    Vec w = Cross(a, c);
    Vec u{a.x / Len(a), a.y / Len(a), a.z / Len(a)};
    Vec v = Cross(w, u);
    v = {v.x / Len(v), v.y / Len(v), v.z / Len(v)};
    const double r = size(rng);
    const Vec o{unit(rng) * 50, unit(rng) * 50, unit(rng) * 50};
    auto at = [&](double t) {
      const double cu = r * std::cos(t), cv = r * std::sin(t);
      return Vec{o.x + cu * u.x + cv * v.x, o.y + cu * u.y + cv * v.y, o.z + cu * u.z + cv * v.z};
    };
    std::vector<TVector3> corners;
    const double step = 2 * 3.14159265358979 / n;
    for (int k = 0; k < n; ++k) {
      const Vec p = at(step * k), q = at(step * (k + 1));
      corners.push_back(
          MakeVector(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
      if (k % 3 == 1) corners.push_back(corners.back());  // a repeat
      if (k % 2 == 0) {                                   // one or two corners along the edge
        for (double t : {along(rng), 0.95}) {
          corners.push_back(MakeVector(static_cast<float>(p.x + t * (q.x - p.x)),
                                       static_cast<float>(p.y + t * (q.y - p.y)),
                                       static_cast<float>(p.z + t * (q.z - p.z))));
          if (round % 2) break;
        }
      }
    }
    LevelBuilder b;
    b.AddSurface(corners);
    TBrushLevel out, raw;
    MakeBrushLevel(b.Level, out, nullptr, Clean());
    MakeBrushLevel(b.Level, raw, nullptr);
    ASSERT_EQ(out.Brushes.Count(), 1) << "round " << round;
    EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Count(), n + 2) << "round " << round;
    ExpectEditorBuildsEveryFace(*out.Brushes.Items(0), "round " + std::to_string(round));
    const auto report = editor_check::CheckBrush(EditorFaces(*raw.Brushes.Items(0)));
    EXPECT_GT(report.Duplicates + report.NoPolygon, 0) << "round " << round;
    rawProblems += report.Duplicates + report.NoPolygon;
    ++checked;
  }
  EXPECT_GT(checked, 200);
  EXPECT_GT(rawProblems, checked);
}

// A slab whose edge bends in and out again keeps two sides on one plane (0,0)-(100,0) and
// (200,0)-(300,0), which an editor would discard one of: clean, the later is left out, the
// brush is what the editor would have kept, and it discards nothing.
TEST(CleanSlabs, SidesOnOnePlaneAreWrittenAsOne) {
  LevelBuilder b;
  b.AddSurface({{0, 0, 0},
                {100, 0, 0},
                {150, 0.5f, 0},
                {200, 0, 0},
                {300, 0, 0},
                {300, 100, 0},
                {0, 100, 0}});
  TBrushLevel out, raw;
  TSlabSettings one;
  one.Scale.Value = 1;
  TSlabSettings same = one;
  MakeBrushLevel(b.Level, out, nullptr, Clean(), &one);
  MakeBrushLevel(b.Level, raw, nullptr, TImportOptions(), &same);
  EXPECT_EQ(editor_check::CheckBrush(EditorFaces(*raw.Brushes.Items(0))).Duplicates, 1);
  ASSERT_EQ(out.Brushes.Count(), 1);
  EXPECT_EQ(out.Brushes.Items(0)->Surfaces.Count(), raw.Brushes.Items(0)->Surfaces.Count() - 1);
  for (const editor_check::TRules& rules : {editor_check::LooseRules, editor_check::StrictRules})
    EXPECT_EQ(editor_check::CheckBrush(EditorFaces(*out.Brushes.Items(0)), rules).Duplicates, 0);
}

// The real levels of the goal: before cleaning an editor discards faces of many slabs; after it,
// it loses none and builds every face of all but a few.
TEST(CleanSlabs, EditorBuildsEveryFaceOfTheCorpusSlabs) {
  const std::string folder = rtl::JoinPath(testing_support::CorpusDir(), "jkl");
  if (testing_support::CorpusDir().empty()) GTEST_SKIP() << "no corpus";
  recording_host::TRecordingHost host;  // takes the console lines
  const THostFuncTable saved = ThePlugin().Table();
  host.Install(ThePlugin().Table());
  for (const char* name : {"jmmcjk.jkl", "vanilla.jkl", "desolation.jkl"}) {
    const std::string path = rtl::JoinPath(folder, name);
    if (!rtl::FileExists(path)) continue;
    TJKLevel level;
    level.LoadFromFile(path);
    TBrushLevel raw, clean;
    MakeBrushLevel(level, raw, nullptr);
    MakeBrushLevel(level, clean, nullptr, Clean());
    long rawProblems = 0;
    for (int i = 0; i < raw.Brushes.Count(); ++i) {
      const auto r = editor_check::CheckBrush(EditorFaces(*raw.Brushes.Items(i)));
      rawProblems += r.Duplicates + r.NoPolygon;
    }
    EXPECT_GT(rawProblems, 100) << name;
    EXPECT_LE(clean.Brushes.Count(), raw.Brushes.Count());
    EXPECT_GT(clean.Brushes.Count(), raw.Brushes.Count() - 10) << name;
    // A corner that lies more than 0.01 unit off the line, or that a neighbour shares, stays so
    // that no gap opens between slabs; an editor that takes normals within 0.001 for one plane
    // still folds a face of a few such slabs (8 of the three levels' 8,000), but loses none.
    int folded = 0;
    for (int i = 0; i < clean.Brushes.Count(); ++i) {
      const auto faces = EditorFaces(*clean.Brushes.Items(i));
      const auto loose = editor_check::CheckBrush(faces, editor_check::LooseRules);
      const auto strict = editor_check::CheckBrush(faces, editor_check::StrictRules);
      EXPECT_FALSE(loose.Lost || strict.Lost) << name << " brush " << i;
      folded += loose.Duplicates + loose.NoPolygon + strict.Duplicates + strict.NoPolygon > 0;
    }
    EXPECT_LE(folded, 4) << name;
  }
  ThePlugin().Table() = saved;
}

// Cleaning does not hide coordinates beyond the range of a map: they have no area to judge, and
// the conversion's error names them as it does without cleaning.
TEST(CleanSlabs, CoordinatesBeyondTheMapRangeStayAnError) {
  LevelBuilder b;
  b.AddSurface({{0, 0, 0}, {3e38f, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  TBrushLevel out;
  try {
    MakeBrushLevel(b.Level, out, nullptr, Clean());
    FAIL() << "no error";
  } catch (const rtl::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Vertex 1 (3"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("beyond the range of a map"), std::string::npos);
  }
}
