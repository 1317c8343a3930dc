#include "import/LevelModels.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

#include "container/O_jkc.h"
#include "model/Md3Writer.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/OwnedFile.h"
#include "rtl/SysUtils.h"

namespace {

// The file name of the model below the level's model folder: lower case (the game finds files in
// any letter case, the compiler on a case-sensitive system only as written), its extension .md3,
// one word of a key's value.
// A name Windows keeps for a device (con, nul, com1, ...) gets a "_", on every system alike.
std::string ModelFileName(const std::string& File) {
  std::string stem =
      MapSafeName(rtl::LowerCase(rtl::ChangeFileExt(rtl::ExtractFileName(File), "")));
  if (rtl::IsDeviceName(stem)) stem += "_";
  return stem + ".md3";
}

// Finds a model and reads it: Source and Model, or Problem.
void ReadModel(TLevelModel& Out, TResourceIndex& Resources, bool ParentFolder) {
  if (MaterialNameLeavesFolder(Out.File)) {
    Out.Problem = "its name points outside the model folders";
    return;
  }
  const std::string& levelFile = Resources.LevelFile();
  const std::string folder = rtl::ExtractFilePath(levelFile);
  std::vector<std::string> files;
  if (!levelFile.empty()) {
    rtl::TFolderIndex& folders = Resources.Folders();
    files.push_back(folders.FindFile(folder, Out.File));
    files.push_back(folders.FindFile(folder + "3do" + rtl::PathDelim, Out.File));
    // A level unpacked from its container keeps "jkl" and "3do" side by side.
    if (ParentFolder)
      files.push_back(
          folders.FindFile(folder + ".." + rtl::PathDelim + "3do" + rtl::PathDelim, Out.File));
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
    const TResourceIndex::TEntry found = Resources.FindEntry(key);
    if (found.Entry) {
      if (found.Entry->Length > Max3DOBytes)
        throw rtl::EFileTooLarge(*found.Path + ">>" + found.Entry->EntryName, found.Entry->Length,
                                 Max3DOBytes, "a 3DO model");
      rtl::TMemoryStream data;
      found.Container->ExtractToStream(data, key);
      Out.Source = *found.Path + ">>" + found.Entry->EntryName;
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

TLevelModels FindLevelModels(const TJKLevel& Level, TResourceIndex& Resources,
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

  std::unordered_map<std::string, bool> levelMaterial;
  for (int i = 0; i < Level.UsedMaterials.Count(); ++i)
    levelMaterial[rtl::LowerCase(Level.UsedMaterials[i])] = true;
  for (TLevelModel& model : out.Models) {
    ReadModel(model, Resources, Options.SearchParentMat);
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

namespace {

// The model posed, each material's size taken from the texture step.
TPosedModel PoseWithSizes(const T3DOModel& Source, double Scale, const TLevelTextures& Textures) {
  return PoseModel(Source, Scale, [&](int Material, int& W, int& H) {
    auto it = Textures.Materials.find(Source.Materials[static_cast<size_t>(Material)]);
    if (it == Textures.Materials.end()) {
      // The texture step keys materials as the level first wrote them.
      for (auto m = Textures.Materials.begin(); m != Textures.Materials.end(); ++m)
        if (rtl::SameText(m->first, Source.Materials[static_cast<size_t>(Material)])) it = m;
    }
    if (it == Textures.Materials.end() || it->second.Width <= 0) return false;
    W = it->second.Width, H = it->second.Height;
    return true;
  });
}

// Far beyond any model Morvane writes (a few megabytes): a larger file is not compared.
constexpr int64_t MaxMD3Bytes = 64 << 20;

bool OurModelFile(const std::string& Path) {
  try {
    return MarkedMD3Unchanged(rtl::ReadFileToString(Path, MaxMD3Bytes, "a model"));
  } catch (const rtl::Exception&) {
    return false;
  }
}

// The model as files: its posed surfaces with their shaders, within the format's limits.
std::vector<TMD3Model> ModelFiles(const TLevelModel& Model, const TLevelNames& Names,
                                  const std::map<std::string, std::string>& Listed,
                                  const std::string& NonVisTex) {
  const T3DOModel& source = *Model.Model;
  TMD3Model md3;
  for (const TPosedSurface& s : Model.Posed.Surfaces) {
    TMD3Surface out;
    const bool textured = s.Material >= 0;
    const std::string& material =
        textured ? source.Materials[static_cast<size_t>(s.Material)] : std::string();
    out.Name = textured ? MapSafeName(rtl::ChangeFileExt(material, "")) : "none";
    if (out.Name.size() > 63) out.Name.resize(63);
    const auto listed = Listed.find(rtl::LowerCase(material));
    // A face without a material shows as the level's hidden faces do.
    out.Shader =
        textured ? "textures/" + Names.FaceName(listed != Listed.end() ? listed->second : material)
                 : (NonVisTex.empty() ? "textures/system/caulk" : "textures/" + NonVisTex);
    out.XYZ = s.XYZ, out.Normals = s.Normals, out.ST = s.ST, out.Triangles = s.Triangles;
    md3.Surfaces.push_back(std::move(out));
  }
  return SplitMD3(md3);
}

// Where one import puts its models, and the names it gave so far.
struct TModelFolder {
  std::string Path;             // <install>/GameData/base/models/<level>/
  std::string Level;            // <level>
  std::string Link;             // a linked folder on the way: nothing is written
  bool Write = false;           // the files are written, not only named
  bool Made = false;            // the folder exists
  std::set<std::string> Taken;  // file names given, lower case
  const TConsoleProc* Console = nullptr;
};

// The import's model folder below InstallPath.
TModelFolder ModelFolder(const std::string& InstallPath, const std::string& Level, bool Write,
                         const TConsoleProc& Console) {
  TModelFolder folder;
  folder.Level = Level;
  folder.Path = rtl::JoinPath(InstallPath, rtl::NativePath("GameData\\base\\models\\")) +
                folder.Level + rtl::PathDelim;
  folder.Write = Write;
  folder.Console = &Console;
  if (Write) folder.Link = rtl::LinkOnTheWay(InstallPath, "GameData/base/models/" + folder.Level);
  return folder;
}

// The file name for part Part of a model: <stem>.md3, <stem>_part2.md3, ..., then the first of
// them with _2, _3 that no other model took and that holds no file of another's.
std::string PartName(TModelFolder& Folder, const std::string& Stem, size_t Part) {
  const std::string wanted = Stem + (Part ? "_part" + std::to_string(Part + 1) : "") + ".md3";
  auto taken = [&Folder](const std::string& Path) {
    return Folder.Taken.count(rtl::LowerCase(rtl::ExtractFileName(Path))) > 0;
  };
  std::string name;
  if (Folder.Write) {
    const std::string path = rtl::ReplaceableName(Folder.Path + wanted, OurModelFile, taken);
    if (path.empty()) throw rtl::Exception("no free name for '" + wanted + "' in its folder");
    name = rtl::ExtractFileName(path);
    if (!rtl::SameText(name, wanted) && !taken(Folder.Path + wanted) && *Folder.Console)
      (*Folder.Console)("'" + Folder.Path + wanted + "' " +
                        (rtl::IsLink(Folder.Path + wanted)
                             ? "is a link"
                             : "is no model Morvane wrote, or was changed since") +
                        "; left alone, the model is '" + path + "'");
  } else {
    // Only named (a preview): the names the import gave so far are all that count.
    const std::string stem = wanted.substr(0, wanted.size() - 4);
    name = wanted;
    for (int n = 2; taken(name); ++n) name = stem + "_" + std::to_string(n) + ".md3";
  }
  Folder.Taken.insert(rtl::LowerCase(name));
  return name;
}

// Writes one file named by PartName into the folder (when Folder.Write), made on first need.
void SaveModelFile(TModelFolder& Folder, const std::string& Name, const std::string& Bytes) {
  if (!Folder.Write) return;
  if (!Folder.Made && !rtl::ForceDirectories(Folder.Path))
    throw rtl::Exception("Cannot create the model folder '" + Folder.Path + "'");
  Folder.Made = true;
  rtl::WriteFileAtomic(Folder.Path + Name, Bytes, rtl::TLinks::Refuse);
  if (*Folder.Console) (*Folder.Console)("Saved: " + Folder.Path + Name);
}

// Names, encodes and (when Folder.Write) writes the files of Model.
void WriteModel(TLevelModel& Model, const std::vector<TMD3Model>& Files, TModelFolder& Folder) {
  if (!Folder.Link.empty())
    throw rtl::Exception("'" + Folder.Link + "' is a link; no model is written through it");
  std::string stem = ModelFileName(Model.File);
  stem.resize(stem.size() - 4);
  if (stem.size() > 1 && stem.back() == '_' && rtl::IsDeviceName(stem.substr(0, stem.size() - 1)) &&
      *Folder.Console)
    (*Folder.Console)("Model '" + Model.File + "' is saved as '" + stem +
                      ".md3': Windows keeps its name for a device");
  double reach = 0;
  for (const TMD3Model& file : Files) reach = std::fmax(reach, MD3ModelReach(file));
  std::vector<std::string> bytes, names;
  for (size_t part = 0; part < Files.size(); ++part) {
    names.push_back(PartName(Folder, stem, part));
    TMD3Model md3 = Files[part];
    md3.Name = "models/" + Folder.Level + "/" + names.back();
    bytes.push_back(EncodeMD3(md3, Model.ModelScale, reach));
  }
  Model.MapNames.clear();
  for (const std::string& name : names)
    Model.MapNames.push_back("models/" + Folder.Level + "/" + name);
  for (size_t part = 0; part < names.size(); ++part)
    SaveModelFile(Folder, names[part], bytes[part]);
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

}  // namespace

void PoseLevelModels(TLevelModels& Models, const TJKLevel& Level, double Scale,
                     const TLevelTextures& Textures, const TLevelNames& Names,
                     const std::string& NonVisTex, const std::string& InstallPath, bool Write,
                     const TConsoleProc& Console) {
  TModelFolder folder = ModelFolder(InstallPath, Names.Folder, Write, Console);
  // A model may name a material in another letter case than the level lists it: the image (and
  // an editor's texture cache, which compares case-sensitively) knows the listed spelling.
  std::map<std::string, std::string> listed;
  for (int i = Level.UsedMaterials.Count() - 1; i >= 0; --i)
    listed[rtl::LowerCase(Level.UsedMaterials[i])] = Level.UsedMaterials[i];
  auto skip = [&Console](TLevelModel& Model, const std::string& Problem) {
    Model.Problem = Problem;
    if (Console)
      Console(rtl::Format("Model '%s' skipped (%d things): ", Model.File.c_str(), Model.Things) +
              Problem);
  };
  // The models a thing that moves names: a mover draws its one file turned (PlaceMovers).
  std::vector<bool> moving(Models.Models.size(), false);
  for (const TThingModelPlacement& place : Models.Things)
    if (place.State == TThingModelState::Placed && place.Moves)
      moving[static_cast<size_t>(place.Model)] = true;
  for (size_t m = 0; m < Models.Models.size(); ++m) {
    TLevelModel& model = Models.Models[m];
    if (!model.Problem.empty()) continue;
    try {
      model.Posed = PoseWithSizes(*model.Model, Scale, Textures);
    } catch (const rtl::Exception& e) {
      skip(model, e.what());
      continue;
    }
    try {
      const std::vector<TMD3Model> files = ModelFiles(model, Names, listed, NonVisTex);
      WriteModel(model, files, folder);
      if (moving[m] && files.size() == 1) model.Md3 = files[0];
    } catch (const rtl::Exception& e) {
      skip(model, e.what());
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

namespace {

// A mover's model2: the model's one file, or, for a thing that stands turned, a turned copy
// "<name>_<thing>.md3" beside it (a mover's model is drawn unturned). Md3: what the file holds.
// Raises when the copy cannot be written.
std::string MoverModelFile(const TLevelModel& Model, int Thing, const double R[3][3],
                           TModelFolder& Folder, TMD3Model& Md3) {
  Md3 = Turned(Model.Md3, R);
  const bool turned = R[0][0] != 1 || R[1][1] != 1 || R[2][2] != 1;
  if (!turned) return Model.MapNames[0];
  if (!Folder.Link.empty())
    throw rtl::Exception("'" + Folder.Link + "' is a link; no model is written through it");
  std::string stem = Model.MapNames[0].substr(Model.MapNames[0].rfind('/') + 1);
  stem.resize(stem.size() - 4);
  const std::string name = PartName(Folder, stem + "_" + std::to_string(Thing), 0);
  TMD3Model copy = Md3;
  copy.Name = "models/" + Folder.Level + "/" + name;
  double storage = 1;
  SaveModelFile(Folder, name, EncodeMD3(copy, storage));
  return copy.Name;
}

// The bounds Md3 fills at the thing's place, in editor units; at least a unit thick each way, so
// that a flat model (a floor plate) still gives a brush the compiler keeps.
void MoverBounds(const TMD3Model& Md3, const TEntityRec& Thing, double Scale,
                 TThingModelPlacement& Place) {
  const float s = static_cast<float>(Scale);
  const float origin[3] = {Thing.Origin.X * s, Thing.Origin.Y * s, Thing.Origin.Z * s};
  for (int k = 0; k < 3; ++k) Place.MoverMin[k] = FLT_MAX, Place.MoverMax[k] = -FLT_MAX;
  for (const TMD3Surface& surface : Md3.Surfaces)
    for (size_t v = 0; v + 2 < surface.XYZ.size(); v += 3)
      for (size_t k = 0; k < 3; ++k) {
        const float c = origin[k] + surface.XYZ[v + k];
        Place.MoverMin[k] = std::min(Place.MoverMin[k], c);
        Place.MoverMax[k] = std::max(Place.MoverMax[k], c);
      }
  for (int k = 0; k < 3; ++k)
    if (Place.MoverMax[k] - Place.MoverMin[k] < 1) {
      const float middle = (Place.MoverMin[k] + Place.MoverMax[k]) / 2;
      Place.MoverMin[k] = middle - 0.5f, Place.MoverMax[k] = middle + 0.5f;
    }
}

}  // namespace

void PlaceMovers(TLevelModels& Models, TThingsPlan& Plan, const TJKLevel& Level, double Scale,
                 const std::string& LevelFolder, const std::string& InstallPath, bool Write,
                 const TConsoleProc& Console) {
  TModelFolder folder = ModelFolder(InstallPath, LevelFolder, Write, Console);
  // The turned copies take names no model of this import took.
  for (const TLevelModel& model : Models.Models)
    for (const std::string& name : model.MapNames)
      folder.Taken.insert(rtl::LowerCase(name.substr(name.rfind('/') + 1)));
  for (int i = 0; i < Level.Things.Count(); ++i) {
    TThingPlan& plan = Plan.Things[static_cast<size_t>(i)];
    if (!plan.Mover()) continue;
    TThingModelPlacement& place = Models.Things[static_cast<size_t>(i)];
    const bool placed = place.State == TThingModelState::Placed;
    const TLevelModel* model = placed ? &Models.Models[static_cast<size_t>(place.Model)] : nullptr;
    // A model stored smaller, or split into several files, has no one model2 of its size.
    if (!model || model->ModelScale != 1 || model->MapNames.size() != 1 ||
        model->Md3.Surfaces.empty()) {
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
    TMD3Model md3;
    try {
      place.MoverModel = MoverModelFile(*model, i, R, folder, md3);
    } catch (const rtl::Exception& e) {
      // Without its model the door would be invisible: the thing stays a model at rest.
      if (Console) Console(rtl::Format("Mover model of thing %d not written: ", i) + e.what());
      plan.Role = TThingRole::Model;
      plan.Stay = TThingStay::ModelMissing;
      continue;
    }
    MoverBounds(md3, thing, Scale, place);
  }
}
