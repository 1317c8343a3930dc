#include "import/LevelModels.h"

#include <map>
#include <unordered_map>

#include "container/O_jkc.h"
#include "model/Md3Writer.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

// Whether a model of this template is a player start: those stay point entities.
bool IsPlayer(const TThingModel& Thing, const std::string& Template) {
  return Thing.Type == "player" || rtl::SameText(Template, "walkplayer");
}

// The file name of the model below the level's model folder: lower case (the game finds files in
// any letter case, the compiler on a case-sensitive system only as written), its extension .md3,
// one word of a key's value.
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
  const std::string folder =
      rtl::JoinPath(InstallPath, rtl::NativePath("GameData\\base\\models\\")) + levelFolder +
      rtl::PathDelim;
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
