#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "level/O_geo.h"
#include "level/P_Str.h"
#include "level/P_vec.h"

namespace {

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

void ExpectVector(const TVector3& v, float x, float y, float z) {
  EXPECT_EQ(Bits(v.X), Bits(x)) << v.X << " vs " << x;
  EXPECT_EQ(Bits(v.Y), Bits(y)) << v.Y << " vs " << y;
  EXPECT_EQ(Bits(v.Z), Bits(z)) << v.Z << " vs " << z;
}

template <class List>
void ExpectListError(const List& list, int index, const std::string& message) {
  try {
    list.Items(index);
    ADD_FAILURE() << "index " << index << " accepted";
  } catch (const rtl::EListError& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

}  // namespace

TEST(StringProcedures, GetWordCountsSingleSpacedWords) {
  const std::string line = "0: 1.5 2.5 3.5";
  EXPECT_EQ(GetWord(line, 0), "0:");
  EXPECT_EQ(GetWord(line, 1), "1.5");
  EXPECT_EQ(GetWord(line, 3), "3.5");
  // Past the last word the last word comes back.
  EXPECT_EQ(GetWord(line, 4), "3.5");
  EXPECT_EQ(GetWord(line, 100), "3.5");
  EXPECT_EQ(GetWord("", 0), "");
  EXPECT_EQ(GetWord("", 3), "");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(GetWord("single", i), "single");
  // The line is trimmed first; a double space yields an empty word.
  EXPECT_EQ(GetWord("\t a b \r", 0), "a");
  EXPECT_EQ(GetWord("\t a b \r", 1), "b");
  EXPECT_EQ(GetWord("a  b", 1), "");
  EXPECT_EQ(GetWord("a  b", 2), "b");
}

TEST(StringProcedures, DigitsReplaceCollapse) {
  EXPECT_EQ(DigitsOnly("WORLD VERTICES 12"), "12");
  EXPECT_EQ(DigitsOnly("-5"), "5");
  EXPECT_EQ(DigitsOnly("1.5"), "15");
  EXPECT_EQ(DigitsOnly("no digits"), "");
  EXPECT_EQ(ReplaceChar("a\tb\t", '\t', ' '), "a b ");
  EXPECT_EQ(CollapseSpaces("a   b"), "a b");
  EXPECT_EQ(CollapseSpaces("  a"), " a");
  EXPECT_EQ(CollapseSpaces(" "), " ");
  EXPECT_EQ(CollapseSpaces(""), "");
  EXPECT_EQ(CollapseSpaces("a \t  b  "), "a \t b ");
}

TEST(VectorProcedures, ComponentwiseAndZeroTests) {
  EXPECT_FALSE(VectorIsNonZero(MakeVector(0.0f, -0.0f, 0.0f)));
  EXPECT_TRUE(VectorIsNonZero(MakeVector(0, 0, 1e-30f)));
  EXPECT_TRUE(VectorIsNonZero(MakeVector(-2, 0, 0)));

  TVector3 r;
  VectorSubtract(MakeVector(5, 7, 9), MakeVector(1, 2, 3), r);
  ExpectVector(r, 4, 5, 6);
  VectorMultiply(MakeVector(2, -3, 0.5f), MakeVector(4, 5, 8), r);
  ExpectVector(r, 8, -15, 4);
  VectorCross(MakeVector(1, 0, 0), MakeVector(0, 1, 0), r);
  ExpectVector(r, 0, 0, 1);
  VectorCross(MakeVector(0, 1, 0), MakeVector(1, 0, 0), r);
  ExpectVector(r, 0, 0, -1);
  EXPECT_EQ(VectorLength(MakeVector(3, 4, 12)), 13.0f);

  // The out parameter may be one of the inputs.
  TVector3 a = MakeVector(1, 2, 3);
  VectorCross(a, MakeVector(4, 5, 6), a);
  ExpectVector(a, -3, 6, -3);
  a = MakeVector(1, 2, 3);
  VectorSubtract(a, a, a);
  ExpectVector(a, 0, 0, 0);
}

TEST(VectorProcedures, NormalizeRoundsOnceAndKeepsZero) {
  TVector3 r;
  VectorNormalize(MakeVector(0, 0, 0), r);
  ExpectVector(r, 0, 0, 0);
  VectorNormalize(MakeVector(3, 0, 4), r);
  ExpectVector(r, 0.6f, 0, 0.8f);
  // The length is a Single; the quotient is taken in double and rounded once.
  TVector3 v = MakeVector(1, 1, 1);
  float len = VectorLength(v);
  VectorNormalize(v, r);
  EXPECT_EQ(Bits(r.X), Bits(static_cast<float>(1.0 / static_cast<double>(len))));
  // Large components do not overflow in the squares.
  // A vector longer than the largest Single keeps its direction.
  EXPECT_TRUE(std::isinf(VectorLength(MakeVector(3e38f, 3e38f, 0))));
  VectorNormalize(MakeVector(3e38f, 3e38f, 0), r);
  EXPECT_NEAR(r.X, std::sqrt(0.5), 1e-6);
  EXPECT_NEAR(r.Y, std::sqrt(0.5), 1e-6);
  // Products just past the largest Single round to it or to infinity as IEEE rounding does.
  VectorMultiply(MakeVector(3.4028234e38f, 3.4028234e38f, 2),
                 MakeVector(1.0000000298f, 1.0000001f, 3), r);
  EXPECT_EQ(r.X, 3.4028234e38f);
  EXPECT_TRUE(std::isinf(r.Y));
  EXPECT_EQ(r.Z, 6.0f);
}

TEST(VectorProcedures, PlaneNormalOfCollinearPointsIsZero) {
  TVector3 n;
  PlaneNormal(MakeVector(0, 0, 0), MakeVector(1, 1, 1), MakeVector(2, 2, 2), n);
  ExpectVector(n, 0, 0, 0);
  // (P1 - P2) x (P2 - P3)
  PlaneNormal(MakeVector(1, 0, 0), MakeVector(0, 0, 0), MakeVector(0, -1, 0), n);
  ExpectVector(n, 0, 0, 1);
}

TEST(GeometryLists, BoundErrorsCarryTheListAndIndex) {
  TOwnedVertexList vertices;
  TTXVertexList txVertices;
  TOwnedSurfaceList surfaces;
  T3DMeshList meshes;
  ExpectListError(vertices, 7, "Vertex Index is out of bounds: 7");
  ExpectListError(txVertices, -1, "Texture Vertex Index is out of bounds: -1");
  ExpectListError(surfaces, 0, "Surface Index is out of bounds: 0");
  ExpectListError(meshes, 2147483647, "Sector Index is out of bounds: 2147483647");

  EXPECT_EQ(vertices.Add(std::make_unique<TVertex>(1, 2, 3)), 0);
  EXPECT_EQ(vertices.Add(std::make_unique<TVertex>(4, 5, 6)), 1);
  EXPECT_EQ(vertices.Items(1)->Y, 5.0f);
  ExpectListError(vertices, 2, "Vertex Index is out of bounds: 2");
  vertices.Clear();
  EXPECT_EQ(vertices.Count(), 0);
  vertices.Clear();  // emptying an empty list does nothing
  EXPECT_EQ(vertices.Count(), 0);
}

TEST(GeometryLists, VertexStoresTheNearestSingle) {
  TVertex v(0.1, -1e-50, 16777217.0);
  EXPECT_EQ(Bits(v.X), Bits(0.1f));
  EXPECT_EQ(v.Y, 0.0f);
  EXPECT_EQ(v.Z, 16777216.0f);
}

TEST(GeometryLists, CentreSumsInSingles) {
  TOwnedVertexList list;
  TVector3 m;
  list.GetCentre(m);  // no centre: zero, not NaN
  ExpectVector(m, 0, 0, 0);
  // Running sums in Singles: 1e8 + 1 + 1 stays 1e8, where a double sum would not.
  list.Add(std::make_unique<TVertex>(1e8, 3, 0));
  list.Add(std::make_unique<TVertex>(1, 6, 0));
  list.Add(std::make_unique<TVertex>(1, 9, 1));
  list.GetCentre(m);
  EXPECT_EQ(Bits(m.X), Bits(static_cast<float>(1e8 / 3.0)));
  ExpectVector(MakeVector(0, m.Y, m.Z), 0, 6, static_cast<float>(1.0 / 3.0));
}

TEST(Surfaces, AddVertexSharesCornersAndCopiesTextureVertices) {
  TOwnedVertexList owner;
  TVertex* a = owner.Items(owner.Add(std::make_unique<TVertex>(1, 2, 3)));
  TVertex* b = owner.Items(owner.Add(std::make_unique<TVertex>(4, 5, 6)));
  TTXVertex tx(0.25, 8);
  TSurface s;
  EXPECT_EQ(s.AddVertex(a, &tx), 0);
  EXPECT_EQ(s.AddVertex(b, nullptr), 1);
  EXPECT_EQ(s.Vertices.Items(0), a);
  EXPECT_EQ(s.TXVertices.Count(), 2);
  EXPECT_NE(s.TXVertices.Items(0), &tx);
  EXPECT_EQ(s.TXVertices.Items(0)->U, 0.25f);
  EXPECT_EQ(s.TXVertices.Items(0)->V, 8.0f);
  EXPECT_EQ(s.TXVertices.Items(1)->U, 0.0f);
  EXPECT_EQ(s.TXVertices.Items(1)->V, 0.0f);
  tx.U = 99;  // the copy does not follow the original
  EXPECT_EQ(s.TXVertices.Items(0)->U, 0.25f);
}

TEST(Surfaces, NormalOfTheClockwiseSquarePointsDown) {
  TOwnedVertexList owner;
  TSurface s;
  for (auto p :
       {MakeVector(1, 0, 0), MakeVector(0, 1, 0), MakeVector(-1, 0, 0), MakeVector(0, -1, 0)})
    s.AddVertex(owner.Items(owner.Add(std::make_unique<TVertex>(p.X, p.Y, p.Z))), nullptr);
  TVector3 m;
  s.GetCentre(m);
  ExpectVector(m, 0, 0, 0);
  TVector3 n;
  s.GetNormal(n);
  ExpectVector(n, 0, 0, -1);
  ExpectVector(s.Normal, 0, 0, -1);

  // A stored normal is used unchanged, even when the corners would give another.
  TSurface stored;
  stored.Normal = MakeVector(0, 1, 0);
  stored.AddVertex(owner.Items(0), nullptr);
  stored.GetNormal(n);
  ExpectVector(n, 0, 1, 0);
}

TEST(Surfaces, NormalNeedsTwoCorners) {
  TOwnedVertexList owner;
  owner.Add(std::make_unique<TVertex>(1, 1, 1));
  TSurface s;
  TVector3 n;
  try {
    s.GetNormal(n);
    ADD_FAILURE() << "no error for an empty surface";
  } catch (const rtl::EListError& e) {
    EXPECT_EQ(e.Message(), "Vertex Index is out of bounds: 1");
  }
  s.AddVertex(owner.Items(0), nullptr);
  try {
    s.GetNormal(n);
    ADD_FAILURE() << "no error for a one-corner surface";
  } catch (const rtl::EListError& e) {
    EXPECT_EQ(e.Message(), "Vertex Index is out of bounds: 1");
  }
}

TEST(Meshes, ReleaseOwnSurfacesButNotSharedVertices) {
  // Run under AddressSanitizer: a double release or a leak fails the run.
  TOwnedVertexList levelVertices;
  TVertex* shared = levelVertices.Items(levelVertices.Add(std::make_unique<TVertex>(1, 2, 3)));
  TOwnedSurfaceList levelSurfaces;
  TSurface* foreign = levelSurfaces.Items(levelSurfaces.Add(std::make_unique<TSurface>()));
  foreign->AddVertex(shared, nullptr);
  {
    T3DMesh mesh;
    TSurface* own = mesh.AddNewSurface();
    own->AddVertex(shared, nullptr);
    own->AddVertex(mesh.AddNewVertex(4, 5, 6), nullptr);
    EXPECT_EQ(mesh.AddSurface(foreign), 1);
    EXPECT_EQ(mesh.Surfaces.Count(), 2);
    EXPECT_EQ(mesh.Surfaces.Items(0), own);
    EXPECT_EQ(mesh.Vertices.Count(), 1);
  }
  // The shared vertex and the surface the mesh only referred to are still alive.
  EXPECT_EQ(shared->Z, 3.0f);
  EXPECT_EQ(foreign->Vertices.Items(0), shared);
}

TEST(GeometryLists, OwningListsMakeTheirItemsInPlaceAndTakeOthersOver) {
  TOwnedVertexList list;
  list.Reserve(3);
  TVertex* a = list.AddNew(1, 2, 3);
  EXPECT_EQ(list.Add(std::make_unique<TVertex>(4, 5, 6)), 1);
  TVertex* c = list.AddNew(7.5, 8, 9);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0), a);
  EXPECT_EQ(list.Items(2), c);
  EXPECT_EQ(list.Items(1)->Y, 5.0f);
  for (int i = 0; i < 100000; ++i) list.AddNew(i, 0, 0);
  EXPECT_EQ(list.Items(0), a);  // growing never moves an item
  EXPECT_EQ(list.Items(100002)->X, 99999.0f);
  ExpectListError(list, 100003, "Vertex Index is out of bounds: 100003");

  TOwnedVertexList other(std::move(list));
  EXPECT_EQ(other.Items(2), c);
  list = std::move(other);
  EXPECT_EQ(list.Items(2)->X, 7.5f);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.AddNew(1, 1, 1);  // a cleared list fills again
  EXPECT_EQ(list.Count(), 1);
}

// A list whose items fill one block answers from the block; outgrowing it, reserving beyond it
// or taking an item over lists them, and nothing changes for the caller on the way.
TEST(GeometryLists, OneBlockListsAnswerLikeListedOnes) {
  for (int variant = 0; variant < 3; ++variant) {
    TOwnedVertexList list;
    list.Reserve(5);
    std::vector<TVertex*> made;
    for (int i = 0; i < 5; ++i) made.push_back(list.AddNew(i, 2 * i, 0));
    EXPECT_EQ(made[4], made[0] + 4);  // side by side in the one block
    TVector3 m;
    list.GetCentre(m);
    ExpectVector(m, 2, 4, 0);
    if (variant == 0) made.push_back(list.AddNew(5, 10, 0));
    if (variant == 1) {
      list.Reserve(50);
      made.push_back(list.AddNew(5, 10, 0));
    }
    if (variant == 2) {
      list.Add(std::make_unique<TVertex>(5, 10, 0));
      made.push_back(list.Items(5));
    }
    ASSERT_EQ(list.Count(), 6) << variant;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(list.Items(i), made[static_cast<size_t>(i)]) << variant;
    ExpectListError(list, 6, "Vertex Index is out of bounds: 6");
    list.GetCentre(m);
    ExpectVector(m, 2.5f, 5, 0);
  }
}

TEST(Meshes, CornersKeptInTheMeshStoreBehaveLikeOwnLists) {
  // Run under AddressSanitizer: room borrowed from the mesh must be neither freed by a surface
  // nor leaked, also when a surface outgrows it or the mesh is moved.
  T3DMesh moved;
  // A mesh whose items live in its store, replaced by a move below: they go before the store.
  moved.Reserve(1, 1, 4, 4, 1);
  TSurface* old = moved.AddNewSurface();
  moved.ReserveCorners(*old, 4, true);
  old->AddVertex(moved.AddNewVertex(9, 9, 9), nullptr);
  {
    T3DMesh mesh;
    mesh.Reserve(6, 3, 7, 3, 1);  // a seventh vertex and a fourth surface outgrow this
    std::vector<TVertex*> v;
    for (int i = 0; i < 6; ++i) v.push_back(mesh.AddNewVertex(i, 2 * i, 3 * i));
    TSurface* a = mesh.AddNewSurface();
    mesh.ReserveCorners(*a, 3, true);
    const TTXVertex tx(0.5, 0.25);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(a->AddVertex(v[static_cast<size_t>(i)], &tx), i);
    v.push_back(mesh.AddNewVertex(7, 8, 9));
    a->AddVertex(v[6], nullptr);  // a fourth texture vertex outgrows the room reserved
    // Reserved for 4 corners, given 6: the corners move out of the borrowed room, in order.
    TSurface* b = mesh.AddNewSurface();
    mesh.ReserveCorners(*b, 4, false);
    for (int i = 0; i < 6; ++i) b->Vertices.Add(v[static_cast<size_t>(5 - i)]);
    // More room than the mesh reserved comes from a further block of its store.
    TSurface* c = mesh.AddNewSurface();
    mesh.ReserveCorners(*c, 40, false);
    for (int i = 0; i < 40; ++i) c->Vertices.Add(v[static_cast<size_t>(i % 6)]);
    mesh.AddNewSurface();  // a fourth surface outgrows the borrowed room of Surfaces

    ASSERT_EQ(mesh.Surfaces.Count(), 4);
    EXPECT_EQ(mesh.Surfaces.Items(1), b);
    ASSERT_EQ(b->Vertices.Count(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b->Vertices.Items(i), v[static_cast<size_t>(5 - i)]);
    EXPECT_EQ(c->Vertices.Items(39), v[3]);
    EXPECT_EQ(a->TXVertices.Items(2)->V, 0.25f);
    EXPECT_EQ(a->TXVertices.Items(3)->U, 0.0f);
    EXPECT_EQ(mesh.Vertices.Items(6), v[6]);
    ExpectListError(mesh.Vertices, 7, "Vertex Index is out of bounds: 7");
    ExpectListError(a->TXVertices, 4, "Texture Vertex Index is out of bounds: 4");
    ExpectListError(a->Vertices, 4, "Vertex Index is out of bounds: 4");
    ExpectListError(b->Vertices, -1, "Vertex Index is out of bounds: -1");
    ExpectListError(mesh.Surfaces, 4, "Surface Index is out of bounds: 4");
    moved = std::move(mesh);
  }
  // The moved mesh still holds its surfaces and their corners.
  ASSERT_EQ(moved.Surfaces.Count(), 4);
  EXPECT_EQ(moved.Surfaces.Items(0)->Vertices.Items(1)->Y, 2.0f);
  EXPECT_EQ(moved.Surfaces.Items(2)->Vertices.Count(), 40);
  TVector3 centre;
  moved.Surfaces.Items(0)->GetCentre(centre);
  ExpectVector(centre, 2.5f, 3.5f, 4.5f);
}
