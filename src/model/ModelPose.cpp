#include "model/ModelPose.h"

#include <array>
#include <cmath>
#include <string>
#include <unordered_map>

#include "rtl/SysUtils.h"

namespace {

// A rotation and a translation, in doubles.
struct TMatrix {
  double R[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double T[3] = {0, 0, 0};
};

TMatrix Multiply(const TMatrix& A, const TMatrix& B) {
  TMatrix m;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      m.R[i][j] = A.R[i][0] * B.R[0][j] + A.R[i][1] * B.R[1][j] + A.R[i][2] * B.R[2][j];
    m.T[i] = A.R[i][0] * B.T[0] + A.R[i][1] * B.T[1] + A.R[i][2] * B.T[2] + A.T[i];
  }
  return m;
}

TMatrix Translation(const TVector3& V) {
  TMatrix m;
  m.T[0] = V.X, m.T[1] = V.Y, m.T[2] = V.Z;
  return m;
}

// Sine and cosine of an angle in degrees, exact at quarter turns (a model turned by 90 degrees
// keeps its corners on their grid).
void SinCos(double Degrees, double& S, double& C) {
  const double turns = Degrees / 90.0;
  if (turns == std::floor(turns) && std::fabs(turns) < 1e9) {
    static const double s[4] = {0, 1, 0, -1}, c[4] = {1, 0, -1, 0};
    long q = static_cast<long>(std::fmod(turns, 4.0));
    if (q < 0) q += 4;
    S = s[q], C = c[q];
    return;
  }
  const double r = Degrees * 3.14159265358979323846 / 180.0;
  S = std::sin(r), C = std::cos(r);
}

TMatrix Rotation(double Pitch, double Yaw, double Roll) {
  double sp, cp, sy, cy, sr, cr;
  SinCos(Pitch, sp, cp);
  SinCos(Yaw, sy, cy);
  SinCos(Roll, sr, cr);
  TMatrix z, x, y;
  z.R[0][0] = cy, z.R[0][1] = -sy, z.R[1][0] = sy, z.R[1][1] = cy;
  x.R[1][1] = cp, x.R[1][2] = -sp, x.R[2][1] = sp, x.R[2][2] = cp;
  y.R[0][0] = cr, y.R[0][2] = sr, y.R[2][0] = -sr, y.R[2][2] = cr;
  return Multiply(Multiply(z, x), y);
}

void Apply(const TMatrix& M, const TVector3& V, double Out[3]) {
  for (int i = 0; i < 3; ++i) Out[i] = M.R[i][0] * V.X + M.R[i][1] * V.Y + M.R[i][2] * V.Z + M.T[i];
}

// Builds the surfaces of one material: a fresh surface when the current one is full.
class TSurfaceBuilder {
 public:
  TSurfaceBuilder(TPosedModel& Model, int32_t Material) : model_(Model), material_(Material) {}
  // Room for a face of N corners drawn from Sides sides; makes a new surface when the current has
  // none left.
  TPosedSurface& Room(size_t N, size_t Sides) {
    if (current_ < 0 || Surface().VertexCount() + N > MaxSurfaceVertices ||
        Surface().Triangles.size() / 3 + N * Sides > MaxSurfaceTriangles) {
      current_ = static_cast<long>(model_.Surfaces.size());
      model_.Surfaces.emplace_back();
      model_.Surfaces.back().Material = material_;
      known_.clear();
    }
    return Surface();
  }
  TPosedSurface& Surface() { return model_.Surfaces[static_cast<size_t>(current_)]; }
  // The index of a corner already added for this node, or -1.
  int64_t Known(uint64_t Key) const {
    auto it = known_.find(Key);
    return it == known_.end() ? -1 : static_cast<int64_t>(it->second);
  }
  void Remember(uint64_t Key, uint32_t Index) { known_[Key] = Index; }
  void NewNode() { known_.clear(); }

 private:
  TPosedModel& model_;
  int32_t material_;
  long current_ = -1;
  std::unordered_map<uint64_t, uint32_t> known_;
};

}  // namespace

size_t PosedTriangleBound(const T3DOModel& Model) {
  std::vector<size_t> perMesh;
  for (const T3DOMesh& mesh : Model.Meshes) {
    size_t n = 0;
    for (const T3DOFace& face : mesh.Faces)
      if (face.Count >= 3) n += (face.Count - 2) * ((face.Type & 1) ? 2 : 1);
    perMesh.push_back(n);
  }
  size_t total = 0;
  if (Model.Nodes.empty())
    for (size_t n : perMesh) total += n;
  for (const T3DONode& node : Model.Nodes)
    if (node.Mesh >= 0 && static_cast<size_t>(node.Mesh) < perMesh.size())
      total += perMesh[static_cast<size_t>(node.Mesh)];
  return total;
}

TPosedModel PoseModel(const T3DOModel& Model, double Scale, const TMaterialSize& Size) {
  const size_t bound = PosedTriangleBound(Model);
  if (bound > MaxPosedTriangles)
    throw rtl::Exception("posed at rest it makes " + std::to_string(bound) +
                         " triangles, more than " + std::to_string(MaxPosedTriangles));
  TPosedModel posed;
  const size_t nodes = Model.Nodes.size();
  // Parents before children: each node's matrix is made once, from its parent's (the reader
  // refuses chains that come back to a node).
  std::vector<TMatrix> world(nodes);
  std::vector<char> done(nodes, 0);
  const TMatrix base = Translation(Model.InsertOffset);
  for (size_t i = 0; i < nodes; ++i) {
    std::vector<size_t> chain;
    for (long k = static_cast<long>(i); k >= 0 && !done[static_cast<size_t>(k)];
         k = Model.Nodes[static_cast<size_t>(k)].Parent)
      chain.push_back(static_cast<size_t>(k));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const T3DONode& node = Model.Nodes[*it];
      const TMatrix& parent = node.Parent >= 0 ? world[static_cast<size_t>(node.Parent)] : base;
      world[*it] = Multiply(Multiply(Multiply(parent, Translation(node.Offset)),
                                     Rotation(node.Pitch, node.Yaw, node.Roll)),
                            Translation(node.Pivot));
      done[*it] = 1;
    }
  }
  // Without a hierarchy every mesh stands where its vertices put it.
  std::vector<std::pair<int32_t, TMatrix>> placed;
  if (nodes == 0)
    for (size_t m = 0; m < Model.Meshes.size(); ++m)
      placed.emplace_back(static_cast<int32_t>(m), base);
  for (size_t i = 0; i < nodes; ++i)
    if (Model.Nodes[i].Mesh >= 0) placed.emplace_back(Model.Nodes[i].Mesh, world[i]);

  // Each material's size, asked once; unknown sizes count once each.
  std::unordered_map<int32_t, std::pair<double, double>> sizes;
  auto sizeOf = [&](int32_t Material) {
    auto it = sizes.find(Material);
    if (it != sizes.end()) return it->second;
    int w = 0, h = 0;
    const bool known = Material >= 0 && Size && Size(Material, w, h) && w > 0 && h > 0;
    if (!known) w = h = 64;
    if (!known && Material >= 0) ++posed.UnsizedMaterials;
    return sizes[Material] = {static_cast<double>(w), static_cast<double>(h)};
  };

  std::vector<int32_t> order;  // materials in order of first use
  std::unordered_map<int32_t, TSurfaceBuilder> builders;
  bool first = true;
  for (const auto& [meshIndex, m] : placed) {
    const T3DOMesh& mesh = Model.Meshes[static_cast<size_t>(meshIndex)];
    for (auto& entry : builders) entry.second.NewNode();
    for (const T3DOFace& face : mesh.Faces) {
      auto found = builders.find(face.Material);
      if (found == builders.end()) {
        order.push_back(face.Material);
        found = builders.emplace(face.Material, TSurfaceBuilder(posed, face.Material)).first;
      }
      TSurfaceBuilder& builder = found->second;
      const uint32_t perFace = (face.Type & 1) ? 2 : 1;
      const auto [width, height] = sizeOf(face.Material);
      TPosedSurface& surface = builder.Room(face.Count, perFace);
      // The face's corners in the surface, and where they stand (in doubles, for the area test).
      std::vector<uint32_t> index(face.Count);
      std::vector<std::array<double, 3>> at(face.Count);
      for (uint32_t k = 0; k < face.Count; ++k) {
        const T3DOCorner& c = mesh.Corners[face.First + k];
        double p[3];
        Apply(m, mesh.Vertices[static_cast<size_t>(c.Vertex)], p);
        for (int a = 0; a < 3; ++a) at[k][static_cast<size_t>(a)] = p[a] * Scale;
        const uint64_t key = (static_cast<uint64_t>(static_cast<uint32_t>(c.Vertex)) << 32) |
                             static_cast<uint32_t>(c.TexVertex + 1);
        const int64_t known = builder.Known(key);
        if (known >= 0) {
          index[k] = static_cast<uint32_t>(known);
          continue;
        }
        index[k] = static_cast<uint32_t>(surface.VertexCount());
        builder.Remember(key, index[k]);
        for (int a = 0; a < 3; ++a) {
          const float v = static_cast<float>(at[k][static_cast<size_t>(a)]);
          surface.XYZ.push_back(v);
          if (first || v < posed.Min[a]) posed.Min[a] = v;
          if (first || v > posed.Max[a]) posed.Max[a] = v;
        }
        first = false;
        // The vertex normal turned with its node (none written: the face's own normal).
        const TVector3& n = static_cast<size_t>(c.Vertex) < mesh.VertexNormals.size()
                                ? mesh.VertexNormals[static_cast<size_t>(c.Vertex)]
                                : face.Normal;
        double r[3];
        for (int a = 0; a < 3; ++a) r[a] = m.R[a][0] * n.X + m.R[a][1] * n.Y + m.R[a][2] * n.Z;
        const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
        for (int a = 0; a < 3; ++a)
          surface.Normals.push_back(len > 0 ? static_cast<float>(r[a] / len)
                                            : (a == 2 ? 1.f : 0.f));
        if (c.TexVertex >= 0) {
          const T3DOTexel& t = mesh.TexVertices[static_cast<size_t>(c.TexVertex)];
          surface.ST.push_back(static_cast<float>(t.U / width));
          surface.ST.push_back(static_cast<float>(t.V / height));
        } else {
          surface.ST.push_back(0);
          surface.ST.push_back(0);
        }
      }
      // The game culls a face by its normal: a face written clockwise against it is turned.
      double nx = 0, ny = 0, nz = 0;
      for (uint32_t k = 0; k < face.Count; ++k) {
        const auto& p = at[k];
        const auto& q = at[(k + 1) % face.Count];
        nx += (p[1] - q[1]) * (p[2] + q[2]);
        ny += (p[2] - q[2]) * (p[0] + q[0]);
        nz += (p[0] - q[0]) * (p[1] + q[1]);
      }
      double fn[3];
      for (int a = 0; a < 3; ++a)
        fn[a] = m.R[a][0] * face.Normal.X + m.R[a][1] * face.Normal.Y + m.R[a][2] * face.Normal.Z;
      const bool turned = nx * fn[0] + ny * fn[1] + nz * fn[2] < 0;
      if (turned) ++posed.TurnedFaces;
      // Drawn from both sides (face flag 1): each triangle a second time, the other way round.
      const bool both = (face.Type & 1) != 0;
      // The fan from the first corner, each triangle turned clockwise.
      for (uint32_t k = 1; k + 1 < face.Count; ++k) {
        const auto& a = at[0];
        const auto& b = at[k];
        const auto& c = at[k + 1];
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2],
                     z = u[0] * v[1] - u[1] * v[0];
        if (x == 0 && y == 0 && z == 0) {
          ++posed.ThinTriangles;
          continue;
        }
        const uint32_t first = turned ? index[k] : index[k + 1];
        const uint32_t second = turned ? index[k + 1] : index[k];
        surface.Triangles.insert(surface.Triangles.end(), {index[0], first, second});
        ++posed.Triangles;
        if (both) {
          surface.Triangles.insert(surface.Triangles.end(), {index[0], second, first});
          ++posed.Triangles;
        }
      }
    }
  }
  // Surfaces by material in order of first use; a material's further surfaces follow its first.
  std::vector<TPosedSurface> sorted;
  sorted.reserve(posed.Surfaces.size());
  for (int32_t material : order)
    for (TPosedSurface& s : posed.Surfaces)
      if (s.Material == material && !s.Triangles.empty()) sorted.push_back(std::move(s));
  posed.Surfaces = std::move(sorted);
  return posed;
}

TModelAngles MapModelAngles(float Pitch, float Yaw, float Roll) {
  auto finite = [](float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; };
  const TMatrix r = Rotation(finite(Pitch), finite(Yaw), finite(Roll));
  // r = Rz(yaw') Ry(pitch') Rx(roll'): r[2][0] = -sin pitch', r[2][1] / r[2][2] = tan roll',
  // r[1][0] / r[0][0] = tan yaw'.
  constexpr double Degrees = 180.0 / 3.14159265358979323846;
  const double s = -r.R[2][0];
  TModelAngles a;
  double pitch, yaw, roll;
  if (std::fabs(s) >= 1.0 - 1e-12) {
    // Straight up or down: yaw and roll turn about the same axis; all of it goes to the yaw.
    pitch = s > 0 ? 90 : -90;
    roll = 0;
    yaw = std::atan2(-r.R[0][1], r.R[1][1]) * Degrees;
  } else {
    pitch = std::asin(s) * Degrees;
    roll = std::atan2(r.R[2][1], r.R[2][2]) * Degrees;
    yaw = std::atan2(r.R[1][0], r.R[0][0]) * Degrees;
  }
  // Whole degrees stay whole: the game's levels write them so.
  auto tidy = [](double v) {
    const double whole = std::round(v);
    return static_cast<float>(std::fabs(v - whole) < 1e-9 ? whole : v) + 0.0f;
  };
  a.Pitch = tidy(pitch), a.Yaw = tidy(yaw), a.Roll = tidy(roll);
  return a;
}

void GameRotation(float Pitch, float Yaw, float Roll, double R[3][3]) {
  auto finite = [](float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; };
  const TMatrix m = Rotation(finite(Pitch), finite(Yaw), finite(Roll));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = m.R[i][j];
}
