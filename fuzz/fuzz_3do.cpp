// Feeds arbitrary text to the model reader, and every model it accepts to the pose and the MD3
// writer. Only the reader's and the writer's own errors may come out; any other exception, crash,
// leak or hang is a finding, and so is a model the reader accepts that names a vertex, texture
// vertex, material, mesh or parent it does not hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "level/O_3do.h"
#include "model/Md3Writer.h"
#include "model/ModelPose.h"
#include "rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  T3DOModel model;
  try {
    model.LoadFromText(reinterpret_cast<const char*>(data), size, "fuzz.3do");
  } catch (const rtl::Exception&) {
    return 0;
  }
  const int materials = static_cast<int>(model.Materials.size());
  for (const T3DOMesh& mesh : model.Meshes)
    for (const T3DOFace& face : mesh.Faces) {
      if (face.Material < -1 || face.Material >= materials) std::abort();
      if (face.Count < 3 || face.First + face.Count > mesh.Corners.size()) std::abort();
      for (uint32_t k = 0; k < face.Count; ++k) {
        const T3DOCorner& c = mesh.Corners[face.First + k];
        if (c.Vertex < 0 || static_cast<size_t>(c.Vertex) >= mesh.Vertices.size()) std::abort();
        if (c.TexVertex < -1 ||
            (c.TexVertex >= 0 && static_cast<size_t>(c.TexVertex) >= mesh.TexVertices.size()))
          std::abort();
      }
    }
  for (const T3DONode& node : model.Nodes) {
    if (node.Mesh < -1 || node.Mesh >= static_cast<int32_t>(model.Meshes.size())) std::abort();
    if (node.Parent < -1 || node.Parent >= static_cast<int32_t>(model.Nodes.size())) std::abort();
  }
  const TPosedModel posed = PoseModel(model, 256, [](int, int& w, int& h) {
    w = 64, h = 32;
    return true;
  });
  TMD3Model md3;
  md3.Name = "models/fuzz/fuzz.md3";
  for (const TPosedSurface& s : posed.Surfaces)
    md3.Surfaces.push_back({"s", "textures/fuzz/s", s.XYZ, s.Normals, s.ST, s.Triangles});
  try {
    double scale = 0;
    EncodeMD3(md3, scale);
  } catch (const rtl::Exception&) {
  }
  return 0;
}
