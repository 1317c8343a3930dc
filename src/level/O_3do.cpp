#include "level/O_3do.h"

#include <cmath>
#include <initializer_list>
#include <string_view>

#include "level/LineLexer.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

[[noreturn]] void Fail(const std::string& Message) {
  throw rtl::Exception("Error reading 3DO file, " + Message);
}

// A line without a word: blanks, control characters or a comment alone.
bool Blank(std::string_view Line) {
  for (char c : Line) {
    if (c == '#') return true;
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

bool SameWord(std::string_view Word, const char* Upper) {
  size_t i = 0;
  for (; Upper[i]; ++i) {
    if (i >= Word.size()) return false;
    char c = Word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != Upper[i]) return false;
  }
  return i == Word.size();
}

// The cleaned, non-blank lines of the text, one at a time, with their numbers.
class TReader {
 public:
  TReader(T3DOModel& Model, const std::vector<std::string_view>& Lines)
      : model_(Model), lines_(Lines) {
    for (std::string_view line : Lines) filled_ += !Blank(line);
  }

  void Run();
  // Where the read stopped: the line fetched last, or for a search that ran out of lines the
  // line it began on.
  std::string Place(const std::string& Source) const {
    std::string place = Source.empty() ? std::string() : rtl::InFile(Source) + ", ";
    if (lines_.empty()) return place + "the text is empty";
    if (searchFailed_)
      return place + rtl::Format("searched from line %d to the end", static_cast<int>(searchFrom_));
    return place + rtl::Format("line %d", static_cast<int>(lineNo_ ? lineNo_ : 1));
  }

 private:
  // Fetches the next non-blank line into words_; False at the end of the text.
  bool Next();
  // The current line begins with the words of Keyword (upper-case, single spaces).
  bool Is(std::initializer_list<const char*> Keyword) const;
  // Goes on from the current line to the first that begins with Keyword.
  void Seek(std::initializer_list<const char*> Keyword, const char* Name);
  // The integer after the keyword's words, checked against the lines left.
  size_t Count(size_t Word, const char* Table);
  // Fetches row Index of Table: the next line must be labelled "Index:" and hold at least
  // Words words after its label. With Commas, a comma counts as a blank, before the words are
  // counted: the words counted are the words read.
  void Row(size_t Index, size_t Words, const char* Table, bool Commas = false);

  std::string_view Word(size_t I) const { return words_[I]; }
  int32_t Int(size_t I) const;
  uint32_t Flags(size_t I) const { return static_cast<uint32_t>(Int(I)); }
  float Real(size_t I) const;
  TVector3 Vector(size_t I) const { return MakeVector(Real(I), Real(I + 1), Real(I + 2)); }
  // The text of the line from word I on, as written (a name may hold blanks).
  std::string Rest(size_t I) const;

  void ReadMaterials();
  void ReadGeometry();
  void ReadMesh(size_t Index, T3DOMesh& Mesh);
  void ReadFaces(T3DOMesh& Mesh, size_t Count);
  void ReadHierarchy();

  T3DOModel& model_;
  const std::vector<std::string_view>& lines_;
  size_t next_ = 0;     // the next raw line to fetch
  size_t lineNo_ = 0;   // 1-based number of the current line
  size_t filled_ = 0;   // lines with words, of the whole text
  size_t fetched_ = 0;  // of them, those fetched so far
  std::string clean_;
  std::vector<std::string_view> words_;
  std::vector<std::string_view> split_;  // a row's words before the empty ones are dropped
  size_t searchFrom_ = 0;
  bool searchFailed_ = false;
};

bool TReader::Next() {
  while (next_ < lines_.size()) {
    CleanJklLine(lines_[next_++], clean_);
    if (clean_.empty()) continue;
    lineNo_ = next_;
    ++fetched_;
    SplitJklWords(clean_, words_);
    return true;
  }
  words_.clear();
  return false;
}

bool TReader::Is(std::initializer_list<const char*> Keyword) const {
  if (words_.size() < Keyword.size()) return false;
  size_t i = 0;
  for (const char* k : Keyword)
    if (!SameWord(words_[i++], k)) return false;
  return true;
}

void TReader::Seek(std::initializer_list<const char*> Keyword, const char* Name) {
  searchFrom_ = lineNo_ ? lineNo_ : 1;
  while (!Is(Keyword)) {
    if (!Next()) {
      searchFailed_ = true;
      Fail(std::string("'") + Name + "' not found.");
    }
  }
}

size_t TReader::Count(size_t WordIndex, const char* Table) {
  if (words_.size() <= WordIndex) Fail(std::string("the count of ") + Table + " is missing.");
  const int32_t n = Int(WordIndex);
  if (n < 0) Fail(rtl::Format("%s has a negative count %d.", Table, static_cast<int>(n)));
  // Each row takes a line with words: a count beyond those left cannot be met, and must not be
  // allocated for.
  const size_t left = filled_ - fetched_;
  if (static_cast<size_t>(n) > left)
    Fail(rtl::Format("%s counts %d rows, but only %d lines follow.", Table, static_cast<int>(n),
                     static_cast<int>(left)));
  return static_cast<size_t>(n);
}

void TReader::Row(size_t Index, size_t Words, const char* Table, bool Commas) {
  if (!Next()) {
    searchFrom_ = lineNo_;
    searchFailed_ = true;
    Fail(rtl::Format("row %d of %s not found.", static_cast<int>(Index), Table));
  }
  if (Commas) {
    for (char& c : clean_)
      if (c == ',') c = ' ';
    SplitJklWords(clean_, split_);
    // Runs of blanks made by the commas give empty words; drop them.
    words_.clear();
    for (std::string_view w : split_)
      if (!w.empty()) words_.push_back(w);
  }
  const std::string label = std::to_string(Index) + ":";
  if (words_.empty() || words_[0] != label)
    Fail(rtl::Format("expected row %d of %s.", static_cast<int>(Index), Table));
  if (words_.size() < Words + 1)
    Fail(rtl::Format("row %d of %s has %d values, %d needed.", static_cast<int>(Index), Table,
                     static_cast<int>(words_.size() - 1), static_cast<int>(Words)));
}

int32_t TReader::Int(size_t I) const { return rtl::StrToInt(std::string(words_[I])); }

float TReader::Real(size_t I) const {
  const std::string text(words_[I]);
  double value = 0;
  // A Single that would round to infinity is no coordinate.
  if (!rtl::TryStrToFloat(text, value) || !(std::fabs(value) < 0x1.ffffffp+127))
    throw rtl::EConvertError(rtl::Format("'%s' is not a valid floating point value", text.c_str()));
  return static_cast<float>(value);
}

std::string TReader::Rest(size_t I) const {
  if (I >= words_.size()) return std::string();
  const size_t at = static_cast<size_t>(words_[I].data() - clean_.data());
  return clean_.substr(at);
}

void TReader::ReadMaterials() {
  Seek({"MATERIALS"}, "MATERIALS");
  const size_t n = Count(1, "MATERIALS");
  model_.Materials.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Row(i, 1, "MATERIALS");
    model_.Materials.emplace_back(Word(1));
  }
}

void TReader::ReadGeometry() {
  Seek({"RADIUS"}, "RADIUS");
  if (words_.size() > 1) model_.Radius = Real(1);
  Next();
  if (Is({"INSERT", "OFFSET"}) && words_.size() >= 5) {
    model_.InsertOffset = Vector(2);
    Next();
  }
  Seek({"GEOSETS"}, "GEOSETS");
  // A geometry set takes at least two lines (GEOSET, MESHES).
  const size_t sets = Count(1, "GEOSETS");
  model_.GeometrySets = static_cast<int32_t>(sets);
  if (sets == 0) return;
  Seek({"GEOSET"}, "GEOSET 0");
  Seek({"MESHES"}, "MESHES");
  const size_t meshes = Count(1, "MESHES");
  model_.Meshes.resize(meshes);
  for (size_t i = 0; i < meshes; ++i) ReadMesh(i, model_.Meshes[i]);
}

void TReader::ReadMesh(size_t Index, T3DOMesh& Mesh) {
  const std::string header = "MESH " + std::to_string(Index);
  Seek({"MESH"}, header.c_str());
  if (words_.size() < 2 || words_[1] != std::to_string(Index)) Fail("expected '" + header + "'.");
  // The mesh's own lines stand before its vertices, in any order.
  while (Next() && !Is({"VERTICES"})) {
    if (Is({"NAME"}))
      Mesh.Name = Rest(1);
    else if (Is({"RADIUS"}) && words_.size() > 1)
      Mesh.Radius = Real(1);
    else if (Is({"GEOMETRYMODE"}) && words_.size() > 1)
      Mesh.GeometryMode = Int(1);
    else if (Is({"LIGHTINGMODE"}) && words_.size() > 1)
      Mesh.LightingMode = Int(1);
    else if (Is({"TEXTUREMODE"}) && words_.size() > 1)
      Mesh.TextureMode = Int(1);
  }
  Seek({"VERTICES"}, "VERTICES");
  const size_t vertices = Count(1, "VERTICES");
  Mesh.Vertices.reserve(vertices);
  for (size_t i = 0; i < vertices; ++i) {
    Row(i, 3, "VERTICES");
    Mesh.Vertices.push_back(Vector(1));
  }
  Next();
  Seek({"TEXTURE", "VERTICES"}, "TEXTURE VERTICES");
  const size_t texels = Count(2, "TEXTURE VERTICES");
  Mesh.TexVertices.reserve(texels);
  for (size_t i = 0; i < texels; ++i) {
    Row(i, 2, "TEXTURE VERTICES");
    Mesh.TexVertices.push_back(T3DOTexel{Real(1), Real(2)});
  }
  Next();
  Seek({"VERTEX", "NORMALS"}, "VERTEX NORMALS");
  Mesh.VertexNormals.reserve(vertices);
  for (size_t i = 0; i < vertices; ++i) {
    Row(i, 3, "VERTEX NORMALS");
    Mesh.VertexNormals.push_back(Vector(1));
  }
  Next();
  Seek({"FACES"}, "FACES");
  ReadFaces(Mesh, Count(1, "FACES"));
}

void TReader::ReadFaces(T3DOMesh& Mesh, size_t Count) {
  // Whether each face of the file was kept, for the normals' table that follows.
  std::vector<bool> kept;
  kept.reserve(Count);
  Mesh.Faces.reserve(Count);
  for (size_t i = 0; i < Count; ++i) {
    // "i: material type geo light tex extralight n v,t v,t ...": a corner's pair may be written
    // with blanks around its comma ("3,  3"), so commas count as blanks on these lines.
    Row(i, 7, "FACES", true);
    T3DOFace face;
    face.Material = Int(1);
    if (face.Material < -1 || face.Material >= static_cast<int32_t>(model_.Materials.size()))
      Fail(rtl::Format("face %d names material %d; the model has %d.", static_cast<int>(i),
                       static_cast<int>(face.Material), static_cast<int>(model_.Materials.size())));
    face.Type = Flags(2);
    face.GeometryMode = Int(3);
    face.LightingMode = Int(4);
    face.TextureMode = Int(5);
    face.ExtraLight = Real(6);
    const int32_t n = Int(7);
    // The corners must stand on the line: a count beyond them is no face.
    if (n < 0 || static_cast<size_t>(n) > (words_.size() - 8) / 2)
      Fail(rtl::Format("face %d counts %d corners, but its line holds %d.", static_cast<int>(i),
                       static_cast<int>(n), static_cast<int>((words_.size() - 8) / 2)));
    face.First = static_cast<uint32_t>(Mesh.Corners.size());
    face.Count = static_cast<uint32_t>(n);
    for (int32_t k = 0; k < n; ++k) {
      T3DOCorner corner{Int(8 + 2 * static_cast<size_t>(k)), Int(9 + 2 * static_cast<size_t>(k))};
      if (corner.Vertex < 0 || corner.Vertex >= static_cast<int32_t>(Mesh.Vertices.size()))
        Fail(rtl::Format("face %d names vertex %d; the mesh has %d.", static_cast<int>(i),
                         static_cast<int>(corner.Vertex), static_cast<int>(Mesh.Vertices.size())));
      // A mesh without texture vertices names some all the same; its faces are drawn untextured.
      if (Mesh.TexVertices.empty()) {
        corner.TexVertex = -1;
      } else if (corner.TexVertex < 0 ||
                 corner.TexVertex >= static_cast<int32_t>(Mesh.TexVertices.size())) {
        Fail(rtl::Format("face %d names texture vertex %d; the mesh has %d.", static_cast<int>(i),
                         static_cast<int>(corner.TexVertex),
                         static_cast<int>(Mesh.TexVertices.size())));
      }
      Mesh.Corners.push_back(corner);
    }
    // Fewer than three distinct corners, or all of them in line: nothing the game draws.
    const T3DOCorner* c = Mesh.Corners.data() + face.First;
    double nx = 0, ny = 0, nz = 0, longest = 0;
    for (uint32_t k = 0; k < face.Count; ++k) {
      const TVector3& a = Mesh.Vertices[static_cast<size_t>(c[k].Vertex)];
      const TVector3& b = Mesh.Vertices[static_cast<size_t>(c[(k + 1) % face.Count].Vertex)];
      nx += (static_cast<double>(a.Y) - b.Y) * (static_cast<double>(a.Z) + b.Z);
      ny += (static_cast<double>(a.Z) - b.Z) * (static_cast<double>(a.X) + b.X);
      nz += (static_cast<double>(a.X) - b.X) * (static_cast<double>(a.Y) + b.Y);
      const double dx = static_cast<double>(a.X) - b.X, dy = static_cast<double>(a.Y) - b.Y,
                   dz = static_cast<double>(a.Z) - b.Z;
      longest = std::fmax(longest, dx * dx + dy * dy + dz * dz);
    }
    // Twice the area against the longest edge squared: a shape test, whatever the model's units.
    const bool flat =
        face.Count < 3 || std::sqrt(nx * nx + ny * ny + nz * nz) <= 1e-9 * longest || longest == 0;
    kept.push_back(!flat);
    if (flat) {
      Mesh.Corners.resize(face.First);
      ++model_.DegenerateFaces;
      continue;
    }
    Mesh.Faces.push_back(face);
  }
  Next();
  Seek({"FACE", "NORMALS"}, "FACE NORMALS");
  size_t face = 0;
  for (size_t i = 0; i < Count; ++i) {
    Row(i, 3, "FACE NORMALS");
    if (kept[i]) Mesh.Faces[face++].Normal = Vector(1);
  }
}

void TReader::ReadHierarchy() {
  Seek({"HIERARCHY", "NODES"}, "HIERARCHY NODES");
  const size_t n = Count(2, "HIERARCHY NODES");
  model_.Nodes.resize(n);
  std::vector<size_t> lines(n);
  for (size_t i = 0; i < n; ++i) {
    // "i: flags type mesh parent child sibling numChildren x y z pitch yaw roll px py pz name"
    Row(i, 16, "HIERARCHY NODES");
    lines[i] = lineNo_;
    T3DONode& node = model_.Nodes[i];
    node.Flags = Flags(1);
    node.Type = Flags(2);
    node.Mesh = Int(3);
    node.Parent = Int(4);
    node.Child = Int(5);
    node.Sibling = Int(6);
    node.NumChildren = Int(7);
    node.Offset = Vector(8);
    node.Pitch = Real(11);
    node.Yaw = Real(12);
    node.Roll = Real(13);
    node.Pivot = Vector(14);
    node.Name = Rest(17);
    if (node.Mesh < -1 || node.Mesh >= static_cast<int32_t>(model_.Meshes.size()))
      Fail(rtl::Format("node %d names mesh %d; the first geometry set has %d.", static_cast<int>(i),
                       static_cast<int>(node.Mesh), static_cast<int>(model_.Meshes.size())));
    if (node.Parent < -1 || node.Parent >= static_cast<int32_t>(n))
      Fail(rtl::Format("node %d names parent %d; the model has %d nodes.", static_cast<int>(i),
                       static_cast<int>(node.Parent), static_cast<int>(n)));
  }
  // Posing walks up to the root: a chain that comes back to a node would never end.
  for (size_t i = 0; i < n; ++i) {
    int32_t p = model_.Nodes[i].Parent;
    for (size_t steps = 0; p >= 0; ++steps) {
      if (steps >= n || static_cast<size_t>(p) == i) {
        lineNo_ = lines[i];
        Fail(rtl::Format("node %d is its own ancestor.", static_cast<int>(i)));
      }
      p = model_.Nodes[static_cast<size_t>(p)].Parent;
    }
  }
}

void TReader::Run() {
  if (!Next()) Fail("the text holds no model.");
  Seek({"3DO"}, "3DO");
  ReadMaterials();
  ReadGeometry();
  // The other geometry sets are passed over: the hierarchy follows the last of them.
  searchFrom_ = lineNo_;
  while (!(Is({"SECTION:", "HIERARCHYDEF"}) || Is({"HIERARCHY", "NODES"}))) {
    // A model without a hierarchy draws its meshes where they stand.
    if (!Next()) return;
  }
  ReadHierarchy();
}

}  // namespace

void T3DOModel::Clear() {
  Materials.clear();
  Radius = 0;
  InsertOffset = TVector3();
  GeometrySets = 0;
  Meshes.clear();
  Nodes.clear();
  DegenerateFaces = 0;
}

void T3DOModel::LoadFromText(const char* Data, size_t Size, const std::string& SourceName) {
  Clear();
  if (Size > static_cast<size_t>(Max3DOBytes))
    throw rtl::EFileTooLarge(SourceName, static_cast<int64_t>(Size), Max3DOBytes, "a 3DO model");
  std::vector<std::string_view> lines;
  if (Data) rtl::SplitLineViews(Data, Size, lines);
  TReader reader(*this, lines);
  try {
    reader.Run();
  } catch (rtl::Exception& e) {
    e.SetPlace(reader.Place(SourceName));
    throw;
  }
}

void T3DOModel::LoadFromFile(const std::string& FileName) {
  const std::string text = rtl::ReadFileToString(FileName, Max3DOBytes, "a 3DO model");
  LoadFromText(text.data(), text.size(), FileName);
}

int T3DOModel::FindMaterial(const std::string& Name) const {
  for (size_t i = 0; i < Materials.size(); ++i)
    if (rtl::SameText(Materials[i], Name)) return static_cast<int>(i);
  return -1;
}

size_t T3DOModel::FaceCount() const {
  size_t n = 0;
  for (const T3DOMesh& mesh : Meshes) n += mesh.Faces.size();
  return n;
}
