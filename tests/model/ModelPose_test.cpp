#include "model/ModelPose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "level/O_3do.h"
#include "rtl/SysUtils.h"

namespace {

// The vertex of a posed surface at Index.
struct Point {
  double X, Y, Z;
};
Point At(const TPosedSurface& s, uint32_t Index) {
  return {s.XYZ[3 * Index], s.XYZ[3 * Index + 1], s.XYZ[3 * Index + 2]};
}

// Twice the signed area of triangle k seen from +Z (negative: clockwise).
double TurnFromAbove(const TPosedSurface& s, size_t k) {
  const Point a = At(s, s.Triangles[3 * k]), b = At(s, s.Triangles[3 * k + 1]),
              c = At(s, s.Triangles[3 * k + 2]);
  return (b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X);
}

T3DOMesh Square(float Size, uint32_t Type = 0) {
  T3DOMesh mesh;
  mesh.Vertices = {{0, 0, 0}, {Size, 0, 0}, {Size, Size, 0}, {0, Size, 0}};
  mesh.VertexNormals.assign(4, TVector3{0, 0, 1});
  mesh.TexVertices = {{0, 0}, {32, 0}, {32, 16}, {0, 16}};
  T3DOFace face;
  face.Material = 0;
  face.Type = Type;
  face.Count = 4;
  face.Normal = {0, 0, 1};
  mesh.Faces.push_back(face);
  for (int32_t k = 0; k < 4; ++k) mesh.Corners.push_back({k, k});
  return mesh;
}

TEST(ModelPose, TwoNodesPlacedByOffsetRotationAndPivotParentsFirst) {
  T3DOModel model;
  model.Materials = {"a.mat"};
  model.Meshes = {Square(1)};
  // The child comes first in the list: its parent must still be posed before it.
  T3DONode child, parent;
  child.Mesh = 0, child.Parent = 1;
  child.Offset = {0, 2, 0};
  parent.Mesh = -1, parent.Parent = -1;
  parent.Offset = {10, 0, 0};
  parent.Yaw = 90;           // +X turns to +Y, +Y to -X
  parent.Pivot = {0, 0, 1};  // applied after the turn, in the turned frame
  model.Nodes = {child, parent};
  const TPosedModel posed = PoseModel(model, 2, nullptr);
  ASSERT_EQ(posed.Surfaces.size(), 1u);
  const TPosedSurface& s = posed.Surfaces[0];
  ASSERT_EQ(s.VertexCount(), 4u);
  // Corner (1, 0, 0) of the mesh: child offset (0, 2, 0) -> (1, 2, 0); the pivot (0, 0, 1) ->
  // (1, 2, 1); turned by yaw 90 -> (-2, 1, 1); the parent's offset -> (8, 1, 1); times Scale 2.
  const Point p = At(s, 1);
  EXPECT_DOUBLE_EQ(p.X, 16);
  EXPECT_DOUBLE_EQ(p.Y, 2);
  EXPECT_DOUBLE_EQ(p.Z, 2);
  // The normal turns with the node but is not scaled; the texture over the material's size.
  EXPECT_FLOAT_EQ(s.Normals[5], 1);
  EXPECT_FLOAT_EQ(s.ST[4], 0.5f);
  EXPECT_FLOAT_EQ(s.ST[5], 0.25f);
  EXPECT_EQ(posed.UnsizedMaterials, 1u);  // no sizes given: 64 x 64
  EXPECT_FLOAT_EQ(posed.Min[0], 14);
  EXPECT_FLOAT_EQ(posed.Max[2], 2);

  const TPosedModel sized = PoseModel(model, 2, [](int, int& w, int& h) {
    w = 32, h = 16;
    return true;
  });
  EXPECT_FLOAT_EQ(sized.Surfaces[0].ST[4], 1);
  EXPECT_FLOAT_EQ(sized.Surfaces[0].ST[5], 1);
  EXPECT_EQ(sized.UnsizedMaterials, 0u);
}

TEST(ModelPose, SixteenGonFannedFromItsFirstCornerClockwise) {
  T3DOModel model;
  model.Materials = {"a.mat"};
  T3DOMesh mesh;
  T3DOFace face;
  face.Material = 0;
  face.Count = 17;  // a 16-gon whose corner 5 is written twice in a row
  face.Normal = {0, 0, 1};
  for (int32_t k = 0; k < 16; ++k) {
    const double a = k * 3.14159265358979323846 / 8;
    mesh.Vertices.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0});
    mesh.Corners.push_back({k, -1});
    if (k == 5) mesh.Corners.push_back({k, -1});
  }
  mesh.Faces.push_back(face);
  model.Meshes = {mesh};
  const TPosedModel posed = PoseModel(model, 1, nullptr);
  ASSERT_EQ(posed.Surfaces.size(), 1u);
  const TPosedSurface& s = posed.Surfaces[0];
  EXPECT_EQ(s.VertexCount(), 16u);  // the repeated corner is one vertex
  EXPECT_EQ(posed.Triangles, 14u);
  EXPECT_EQ(posed.ThinTriangles, 1u);
  for (size_t k = 0; k < posed.Triangles; ++k) {
    EXPECT_EQ(s.Triangles[3 * k], 0u) << k;
    EXPECT_LT(TurnFromAbove(s, k), 0) << k;  // seen from the front (+Z): clockwise
  }
}

TEST(ModelPose, FacesFollowTheirNormalAndDoubleSidedOnesShowBothWays) {
  struct Case {
    uint32_t type;
    float normalZ;
    size_t triangles, turned;
    bool firstClockwiseFromAbove;
  };
  const Case cases[] = {
      {0, 1, 2, 0, true},    // counter-clockwise towards its normal: written clockwise
      {0, -1, 2, 1, false},  // the normal says the front is below: turned
      {1, 1, 4, 0, true},    // double-sided: each triangle once each way
  };
  for (const Case& c : cases) {
    T3DOModel model;
    model.Materials = {"a.mat"};
    model.Meshes = {Square(1, c.type)};
    model.Meshes[0].Faces[0].Normal = {0, 0, c.normalZ};
    const TPosedModel posed = PoseModel(model, 1, nullptr);
    ASSERT_EQ(posed.Surfaces.size(), 1u);
    EXPECT_EQ(posed.Triangles, c.triangles) << c.type << " " << c.normalZ;
    EXPECT_EQ(posed.TurnedFaces, c.turned);
    EXPECT_EQ(TurnFromAbove(posed.Surfaces[0], 0) < 0, c.firstClockwiseFromAbove);
    if (c.triangles == 4) {
      EXPECT_GT(TurnFromAbove(posed.Surfaces[0], 1), 0);
    }
  }
}

TEST(ModelPose, ALargeMaterialGoesOnInFurtherSurfaces) {
  T3DOModel model;
  model.Materials = {"a.mat", "b.mat"};
  T3DOMesh mesh;
  // 300 separate quads of material 0 (1,200 corners) and one of material 1 in between.
  for (int q = 0; q < 301; ++q) {
    T3DOFace face;
    face.Material = q == 1 ? 1 : 0;
    face.First = static_cast<uint32_t>(mesh.Corners.size());
    face.Count = 4;
    face.Normal = {0, 0, 1};
    for (int k = 0; k < 4; ++k) {
      const float x = static_cast<float>(q * 2 + (k == 1 || k == 2)), y = (k >= 2) ? 1.f : 0.f;
      mesh.Corners.push_back({static_cast<int32_t>(mesh.Vertices.size()), -1});
      mesh.Vertices.push_back({x, y, 0});
    }
    mesh.Faces.push_back(face);
  }
  model.Meshes = {mesh};
  const TPosedModel posed = PoseModel(model, 1, nullptr);
  ASSERT_EQ(posed.Surfaces.size(), 3u);
  EXPECT_EQ(posed.Surfaces[0].Material, 0);
  EXPECT_EQ(posed.Surfaces[0].VertexCount(), MaxSurfaceVertices);
  EXPECT_EQ(posed.Surfaces[1].Material, 0);
  EXPECT_EQ(posed.Surfaces[1].VertexCount(), 200u);
  EXPECT_EQ(posed.Surfaces[2].Material, 1);
  EXPECT_EQ(posed.Triangles, 602u);
}

// A mesh that many nodes place is posed once per node: the triangles are counted before any is
// made, and a model past the bound is refused whole.
TEST(ModelPose, AModelPosedPastTheBoundIsRefusedBeforeItIsMade) {
  T3DOModel model;
  model.Materials = {"a.mat"};
  T3DOMesh strip = Square(1, 1);  // drawn from both sides: two triangles each way
  for (int k = 0; k < 99; ++k) strip.Faces.push_back(strip.Faces[0]);
  model.Meshes = {strip, Square(1)};
  EXPECT_EQ(PosedTriangleBound(model), 400u + 2u);  // no hierarchy: each mesh once
  const size_t nodes = MaxPosedTriangles / 400;
  model.Nodes.resize(nodes);
  for (size_t i = 0; i < nodes; ++i) model.Nodes[i].Mesh = 0;
  EXPECT_EQ(PosedTriangleBound(model), nodes * 400);
  EXPECT_EQ(PoseModel(model, 1, nullptr).Triangles, nodes * 400);
  model.Nodes.push_back(model.Nodes[0]);
  model.Nodes.back().Mesh = 1;
  EXPECT_THROW(PoseModel(model, 1, nullptr), rtl::Exception);
}

}  // namespace
