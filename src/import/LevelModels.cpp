#include "import/LevelModels.h"

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

// Whether a model of this template is a player start: those stay point entities.
bool IsPlayer(const TThingModel& Thing, const std::string& Template) {
  return Thing.Type == "player" || rtl::SameText(Template, "walkplayer");
}

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
        throw rtl::EFileTooLarge(*found.Path + ">>" + found.Entry->EntryName,
                                 found.Entry->Length, Max3DOBytes, "a 3DO model");
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
                             const TImportOptions& Options, const TConsoleProc& Console) {
  TLevelModels out;
  std::unordered_map<std::string, int> byName;  // lower-case file name -> model
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const std::string& templ = Level.Things.Strings(i);
    const TThingParams none;
    const TThingParams& own = static_cast<size_t>(i) < Level.ThingParams.size()
                                  ? Level.ThingParams[static_cast<size_t>(i)]
                                  : none;
    const TThingModel thing = ResolveThing(Level.Templates, templ, own);
    TThingModelPlacement place;
    place.Clip = thing.Collide == 3 || thing.Structure;
    place.Moves = thing.Moves();
    if (IsPlayer(thing, templ)) {
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
  if (!Folder.Write) return;
  if (!Folder.Made && !rtl::ForceDirectories(Folder.Path))
    throw rtl::Exception("Cannot create the model folder '" + Folder.Path + "'");
  Folder.Made = true;
  for (size_t part = 0; part < names.size(); ++part) {
    rtl::WriteFileAtomic(Folder.Path + names[part], bytes[part], rtl::TLinks::Refuse);
    if (*Folder.Console) (*Folder.Console)("Saved: " + Folder.Path + names[part]);
  }
}

}  // namespace

void PoseLevelModels(TLevelModels& Models, const TJKLevel& Level, double Scale,
                     const TLevelTextures& Textures, const TLevelNames& Names,
                     const std::string& NonVisTex, const std::string& InstallPath, bool Write,
                     const TConsoleProc& Console) {
  TModelFolder folder;
  folder.Level = Names.Folder;
  folder.Path = rtl::JoinPath(InstallPath, rtl::NativePath("GameData\\base\\models\\")) +
                folder.Level + rtl::PathDelim;
  folder.Write = Write;
  folder.Console = &Console;
  if (Write) folder.Link = rtl::LinkOnTheWay(InstallPath, "GameData/base/models/" + folder.Level);
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
  for (TLevelModel& model : Models.Models) {
    if (!model.Problem.empty()) continue;
    try {
      model.Posed = PoseWithSizes(*model.Model, Scale, Textures);
    } catch (const rtl::Exception& e) {
      skip(model, e.what());
      continue;
    }
    try {
      WriteModel(model, ModelFiles(model, Names, listed, NonVisTex), folder);
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
