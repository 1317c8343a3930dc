#include "import/LevelModels.h"

#include <algorithm>
#include <cfloat>
#include <map>
#include <unordered_map>

#include "container/O_jkc.h"
#include "model/Md3Writer.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

// The file name of the model below the level's model folder: lower case (the game finds files in
// any letter case, the compiler on a case-sensitive system only as written), its extension .md3,
// one word of a key's value.
std::string ModelFolder(const std::string& InstallPath, const std::string& LevelFolder) {
  return rtl::JoinPath(InstallPath, rtl::NativePath("GameData\\base\\models\\")) + LevelFolder +
         rtl::PathDelim;
}

// Turns Model's vertices and normals by the thing's rotation, as the game turns the thing.
TMD3Model Turned(TMD3Model Model, const double R[3][3]) {
  for (TMD3Surface& s : Model.Surfaces)
    for (std::vector<float>* list : {&s.XYZ, &s.Normals})
      for (size_t v = 0; v + 2 < list->size(); v += 3) {
        float* p = &(*list)[v];
        const double x = p[0], y = p[1], z = p[2];
        for (int k = 0; k < 3; ++k)
          p[k] = static_cast<float>(R[k][0] * x + R[k][1] * y + R[k][2] * z);
      }
  return Model;
}

std::string ModelFileName(const std::string& File) {
  return MapSafeName(rtl::LowerCase(rtl::ChangeFileExt(rtl::ExtractFileName(File), ""))) + ".md3";
}

// Finds a model and reads it: Source and Model, or Problem.
void ReadModel(TLevelModel& Out, const std::string& LevelFile,
               const std::vector<std::string>& Containers, bool ParentFolder) {
  if (MaterialNameLeavesFolder(Out.File)) {
    Out.Problem = "its name points outside the model folders";
    return;
  }
  const std::string folder = rtl::ExtractFilePath(LevelFile);
  std::vector<std::string> files;
  if (!LevelFile.empty()) {
    files.push_back(rtl::FindFileNoCase(folder, Out.File));
    files.push_back(rtl::FindFileNoCase(folder + "3do" + rtl::PathDelim, Out.File));
    // A level unpacked from its container keeps "jkl" and "3do" side by side.
    if (ParentFolder)
      files.push_back(
          rtl::FindFileNoCase(folder + ".." + rtl::PathDelim + "3do" + rtl::PathDelim, Out.File));
  }
  auto model = std::make_unique<T3DOModel>();
  try {
    for (const std::string& file : files) {
      if (file.empty()) continue;
      Out.Source = file;
      model->LoadFromFile(file);
      Out.Model = std::move(model);
      return;
    }
    const std::string key = "3do\\" + Out.File;
    for (const std::string& path : Containers) {
      TJKContainer container;
      try {
        if (path.empty() || !rtl::FileExists(path) || !container.Open(path)) continue;
      } catch (const rtl::Exception&) {
        continue;  // the texture search says which containers it cannot read
      }
      if (!container.Find(key)) continue;
      rtl::TMemoryStream data;
      container.ExtractToStream(data, key);
      Out.Source = path + ">>" + container.Find(key)->EntryName;
      const std::vector<uint8_t>& bytes = data.Bytes();
      model->LoadFromText(reinterpret_cast<const char*>(bytes.data()), bytes.size(), Out.Source);
      Out.Model = std::move(model);
      return;
    }
  } catch (const rtl::Exception& e) {
    Out.Problem = e.what();
    return;
  }
  Out.Problem = "not found";
}

}  // namespace

int TLevelModels::Placed() const {
  int n = 0;
  for (const TThingModelPlacement& t : Things) n += t.State == TThingModelState::Placed;
  return n;
}

int TLevelModels::Moving() const {
  int n = 0;
  for (const TThingModelPlacement& t : Things) n += t.State == TThingModelState::Placed && t.Moves;
  return n;
}

size_t TLevelModels::Triangles() const {
  size_t n = 0;
  for (const TThingModelPlacement& t : Things)
    if (t.State == TThingModelState::Placed)
      n += Models[static_cast<size_t>(t.Model)].Posed.Triangles;
  return n;
}

TLevelModels FindLevelModels(const TJKLevel& Level, const std::string& LevelFile,
                             const std::string& ContainerFile, const TTextureSettings& Settings,
                             const TImportOptions& Options, const TThingsPlan& Plan,
                             const TConsoleProc& Console) {
  TLevelModels out;
  std::unordered_map<std::string, int> byName;  // lower-case file name -> model
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TThingPlan& plan = Plan.Things[static_cast<size_t>(i)];
    const TThingModel& thing = plan.Model;
    TThingModelPlacement place;
    place.Clip = thing.Collide == 3 || thing.Structure;
    place.Moves = plan.Moves;
    if (plan.Role == TThingRole::PlayerStart || plan.Role == TThingRole::TeamStart) {
      place.State = TThingModelState::PlayerStart;
    } else if (!thing.Model3d.empty()) {
      const std::string key = rtl::LowerCase(thing.Model3d);
      auto it = byName.find(key);
      if (it == byName.end()) {
        it = byName.emplace(key, static_cast<int>(out.Models.size())).first;
        out.Models.emplace_back();
        out.Models.back().File = thing.Model3d;
      }
      place.Model = it->second;
      place.State = TThingModelState::Placed;
      ++out.Models[static_cast<size_t>(place.Model)].Things;
    }
    out.Things.push_back(place);
  }

  std::vector<std::string> containers{ContainerFile};
  for (const std::string& item : rtl::SplitCommaText(Settings.ResourceGobs))
    containers.push_back(item);
  std::unordered_map<std::string, bool> levelMaterial;
  for (int i = 0; i < Level.UsedMaterials.Count(); ++i)
    levelMaterial[rtl::LowerCase(Level.UsedMaterials[i])] = true;
  for (TLevelModel& model : out.Models) {
    ReadModel(model, LevelFile, containers, Options.SearchParentMat);
    if (model.Model && model.Model->FaceCount() == 0) model.Problem = "it has no faces to draw";
    if (!model.Problem.empty()) {
      if (Console)
        Console(rtl::Format("Model '%s' skipped (%d things): ", model.File.c_str(), model.Things) +
                model.Problem);
      continue;
    }
    // The materials its faces use (a listed material no face uses is not converted).
    std::vector<bool> used(model.Model->Materials.size(), false);
    for (const T3DOMesh& mesh : model.Model->Meshes)
      for (const T3DOFace& face : mesh.Faces)
        if (face.Material >= 0) used[static_cast<size_t>(face.Material)] = true;
    for (size_t m = 0; m < used.size(); ++m) {
      if (!used[m]) continue;
      const std::string& name = model.Model->Materials[m];
      if (levelMaterial.emplace(rtl::LowerCase(name), true).second) out.Materials.push_back(name);
    }
  }
  for (TThingModelPlacement& place : out.Things)
    if (place.State == TThingModelState::Placed &&
        !out.Models[static_cast<size_t>(place.Model)].Problem.empty())
      place.State = TThingModelState::Missing;
  return out;
}

void PoseLevelModels(TLevelModels& Models, const TJKLevel& Level, double Scale,
                     const TLevelTextures& Textures, const TLevelNames& Names,
                     const std::string& NonVisTex, const std::string& InstallPath, bool Write,
                     const TConsoleProc& Console) {
  const std::string& levelFolder = Names.Folder;
  const std::string folder = ModelFolder(InstallPath, levelFolder);
  std::map<std::string, int> taken;  // file names already given, lower case
  // A model may name a material in another letter case than the level lists it: the image (and
  // an editor's texture cache, which compares case-sensitively) knows the listed spelling.
  std::map<std::string, std::string> listed;
  for (int i = Level.UsedMaterials.Count() - 1; i >= 0; --i)
    listed[rtl::LowerCase(Level.UsedMaterials[i])] = Level.UsedMaterials[i];
  bool folderMade = false;
  for (TLevelModel& model : Models.Models) {
    if (!model.Problem.empty()) continue;
    const T3DOModel& source = *model.Model;
    model.Posed = PoseModel(source, Scale, [&](int Material, int& W, int& H) {
      auto it = Textures.Materials.find(source.Materials[static_cast<size_t>(Material)]);
      if (it == Textures.Materials.end()) {
        // The texture step keys materials as the level first wrote them.
        for (auto m = Textures.Materials.begin(); m != Textures.Materials.end(); ++m)
          if (rtl::SameText(m->first, source.Materials[static_cast<size_t>(Material)])) it = m;
      }
      if (it == Textures.Materials.end() || it->second.Width <= 0) return false;
      W = it->second.Width, H = it->second.Height;
      return true;
    });
    // Two model files whose names come to one MD3 name keep apart by a suffix.
    std::string name = ModelFileName(model.File);
    const std::string stem = name.substr(0, name.size() - 4);
    for (int n = ++taken[name]; n > 1; n = ++taken[name])
      name = stem + "_" + std::to_string(n) + ".md3";
    model.MapName = "models/" + levelFolder + "/" + name;

    TMD3Model md3;
    md3.Name = model.MapName;
    for (TPosedSurface& s : model.Posed.Surfaces) {
      TMD3Surface out;
      const bool textured = s.Material >= 0;
      const std::string& material =
          textured ? source.Materials[static_cast<size_t>(s.Material)] : std::string();
      out.Name = textured ? MapSafeName(rtl::ChangeFileExt(material, "")) : "none";
      if (out.Name.size() > 63) out.Name.resize(63);
      // A face without a material shows as the level's hidden faces do.
      out.Shader = textured
                       ? "textures/" + Names.FaceName(listed.count(rtl::LowerCase(material))
                                                          ? listed[rtl::LowerCase(material)]
                                                          : material)
                       : (NonVisTex.empty() ? "textures/system/caulk" : "textures/" + NonVisTex);
      out.XYZ = s.XYZ, out.Normals = s.Normals, out.ST = s.ST, out.Triangles = s.Triangles;
      md3.Surfaces.push_back(std::move(out));
    }
    model.Md3 = md3;
    try {
      const std::string bytes = EncodeMD3(md3, model.ModelScale);
      if (Write) {
        const std::string path = folder + name;
        if (!folderMade && !rtl::ForceDirectories(folder))
          throw rtl::Exception("Cannot create the model folder '" + folder + "'");
        folderMade = true;
        rtl::WriteFileAtomic(path, bytes);
        if (Console) Console("Saved: " + path);
      }
    } catch (const rtl::Exception& e) {
      model.Problem = e.what();
      if (Console)
        Console(rtl::Format("Model '%s' skipped (%d things): ", model.File.c_str(), model.Things) +
                model.Problem);
    }
  }
  for (int i = 0; i < Level.Things.Count() && static_cast<size_t>(i) < Models.Things.size(); ++i) {
    TThingModelPlacement& place = Models.Things[static_cast<size_t>(i)];
    if (place.State != TThingModelState::Placed) continue;
    if (!Models.Models[static_cast<size_t>(place.Model)].Problem.empty()) {
      place.State = TThingModelState::Missing;
      continue;
    }
    const TEntityRec& thing = *Level.Things.Objects(i);
    place.Angles = MapModelAngles(thing.Pitch, thing.Yaw, thing.Roll);
  }
}

void PlaceMovers(TLevelModels& Models, TThingsPlan& Plan, const TJKLevel& Level, double Scale,
                 const std::string& LevelFolder, const std::string& InstallPath, bool Write,
                 const TConsoleProc& Console) {
  for (int i = 0; i < Level.Things.Count(); ++i) {
    TThingPlan& plan = Plan.Things[static_cast<size_t>(i)];
    if (!plan.Mover()) continue;
    TThingModelPlacement& place = Models.Things[static_cast<size_t>(i)];
    const bool placed = place.State == TThingModelState::Placed;
    const TLevelModel* model = placed ? &Models.Models[static_cast<size_t>(place.Model)] : nullptr;
    if (!model || model->ModelScale != 1) {
      plan.Role =
          place.State == TThingModelState::NoModel ? TThingRole::Nothing : TThingRole::Model;
      plan.Stay = placed                                     ? TThingStay::TooLarge
                  : place.State == TThingModelState::Missing ? TThingStay::ModelMissing
                                                             : TThingStay::NoModel;
      continue;
    }
    const TEntityRec& thing = *Level.Things.Objects(i);
    double R[3][3];
    GameRotation(thing.Pitch, thing.Yaw, thing.Roll, R);
    const bool turned = R[0][0] != 1 || R[1][1] != 1 || R[2][2] != 1;
    place.MoverModel = model->MapName;
    const TMD3Model md3 = Turned(model->Md3, R);
    if (turned) {
      const std::string stem = model->MapName.substr(0, model->MapName.size() - 4);
      place.MoverModel = stem + "_" + std::to_string(i) + ".md3";
      if (Write) {
        TMD3Model copy = md3;
        copy.Name = place.MoverModel;
        double storage = 1;
        const std::string path = ModelFolder(InstallPath, LevelFolder) +
                                 place.MoverModel.substr(place.MoverModel.rfind('/') + 1);
        try {
          rtl::WriteFileAtomic(path, EncodeMD3(copy, storage));
          if (Console) Console("Saved: " + path);
        } catch (const rtl::Exception& e) {
          if (Console) Console("Mover model '" + place.MoverModel + "' not written: " + e.what());
        }
      }
    }
    const float s = static_cast<float>(Scale);
    const float origin[3] = {thing.Origin.X * s, thing.Origin.Y * s, thing.Origin.Z * s};
    for (int k = 0; k < 3; ++k) place.MoverMin[k] = FLT_MAX, place.MoverMax[k] = -FLT_MAX;
    for (const TMD3Surface& surface : md3.Surfaces)
      for (size_t v = 0; v + 2 < surface.XYZ.size(); v += 3)
        for (size_t k = 0; k < 3; ++k) {
          const float c = origin[k] + surface.XYZ[v + k];
          place.MoverMin[k] = std::min(place.MoverMin[k], c);
          place.MoverMax[k] = std::max(place.MoverMax[k], c);
        }
    // A flat model (a floor plate) still needs a brush the compiler keeps: at least a unit thick.
    for (int k = 0; k < 3; ++k)
      if (place.MoverMax[k] - place.MoverMin[k] < 1) {
        const float middle = (place.MoverMin[k] + place.MoverMax[k]) / 2;
        place.MoverMin[k] = middle - 0.5f, place.MoverMax[k] = middle + 0.5f;
      }
  }
}
