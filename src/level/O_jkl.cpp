#include "level/O_jkl.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "level/LineLexer.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Token is upper-case already.
inline bool StartsWithUpper(std::string_view Line, std::string_view Token) {
  if (Line.size() < Token.size()) return false;
  for (size_t i = 0; i < Token.size(); ++i)
    if (Upper(Line[i]) != Token[i]) return false;
  return true;
}

// Needle is upper-case already.
bool ContainsUpper(std::string_view Line, std::string_view Needle) {
  if (Needle.empty()) return true;
  if (Line.size() < Needle.size()) return false;
  for (size_t i = 0; i + Needle.size() <= Line.size(); ++i)
    if (StartsWithUpper(Line.substr(i), Needle)) return true;
  return false;
}

// A header line holds "SECTION:" somewhere; look only where a colon is, as most lines have none.
bool HasSectionMark(std::string_view Line) {
  static constexpr std::string_view kMark = "SECTION";
  const char* p = Line.data();
  const char* end = p + Line.size();
  while (p < end) {
    const void* colon = std::memchr(p, ':', static_cast<size_t>(end - p));
    if (!colon) return false;
    size_t at = static_cast<size_t>(static_cast<const char*>(colon) - Line.data());
    if (at >= kMark.size() && StartsWithUpper(Line.substr(at - kMark.size()), kMark)) return true;
    p = static_cast<const char*>(colon) + 1;
  }
  return false;
}

[[noreturn]] void Fail(const std::string& Message) { throw rtl::Exception(Message); }

// The state of one read. Lines are views into text that outlives the read.
class TReader {
 public:
  TReader(TJKLevel& Level, TRefStore& Refs, const std::vector<std::string_view>& Lines,
          TProgressProc Progress)
      : level_(Level), refs_(Refs), lines_(Lines), progress_(Progress) {
    // A count beyond Int32 cannot be shown to the progress callback; such a text could not be
    // held in a 32-bit process anyway.
    progressCount_ = Lines.size() > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Lines.size());
  }

  void Run();
  // Where the read stopped, for an error's message: the line fetched last, or for a search that
  // ran out of lines the line it began on. Source names the text ("" when it has no name).
  std::string Place(const std::string& Source) const;

 private:
  void NextLine();
  bool FindSection(std::string_view SectionName, bool Required);
  // Pass is told of every line passed over on the way (the first line included).
  struct TSectorNotes {
    float ExtraLight = 0;
    int32_t Flags = 0;
  };
  void ExpectToken(std::string_view Token, void (*Pass)(TReader&, TSectorNotes&) = nullptr,
                   TSectorNotes* Noted = nullptr);
  int32_t ReadCount(std::string_view Keyword);
  void FindEntry(int32_t Index);
  [[noreturn]] void FailScan(const std::string& Message) {
    scanFailed_ = true;
    Fail(Message);
  }
  // The table's closing "end" stands on the very next raw line.
  bool AtTableEnd() const {
    return lookAhead_.size() == 3 && (lookAhead_[0] | 0x20) == 'e' &&
           (lookAhead_[1] | 0x20) == 'n' && (lookAhead_[2] | 0x20) == 'd';
  }

  const std::string& CurrentLine() {
    if (!cleaned_) {
      CleanJklLine(raw_, current_);
      cleaned_ = true;
    }
    return current_;
  }
  // The cleaned line begins with Token (upper-case, single spaces, no blanks at its ends),
  // tested on the raw line without cleaning it.
  bool CurrentStartsWith(std::string_view Token) const;
  // Splits the current line up to word Index; False when the line has fewer words.
  bool SplitTo(size_t Index);
  std::string_view Word(int Index);
  int32_t IntWord(int Index) { return rtl::StrToInt(std::string(Word(Index))); }
  float SingleWord(int Index);
  // Words the conversion does not need, read without ever failing: 0 when missing or unreadable.
  int32_t LenientInt(size_t Index);
  float LenientSingle(size_t Index);
  void ReadSurfaceLight(int32_t Corners);

  void ReadMaterials();
  void PeekColormaps();
  void ReadVertices();
  void ReadTextureVertices();
  void ReadAdjoins();
  void ReadSurfaces();
  void ReadSurface(int32_t Index);
  void ReadNormals(int32_t Count);
  void ReadSectors();
  void ReadThings();
  void ReadLights();

  TJKLevel& level_;
  TRefStore& refs_;  // the level's store, for the lists of its surfaces and sectors
  const std::vector<std::string_view>& lines_;
  TProgressProc progress_;
  int32_t progressCount_ = 0;
  size_t lineIndex_ = 0;  // the next line to fetch
  // The line fetched last. Most lines are only tested against a token and fail at their first
  // character, so a line is cleaned only when its full text is needed.
  std::string_view raw_;
  std::string current_;  // the cleaned text of raw_, once cleaned_
  bool cleaned_ = true;
  std::string_view lookAhead_;  // the raw line after it
  // The words of current_, split as far as they were asked for.
  std::vector<std::string_view> words_;
  size_t splitPos_ = 0;
  bool splitDone_ = true;
  std::unordered_set<std::string> usedLower_;
  // The 1-based number of the line the latest search began on, and whether it ran out.
  size_t scanFrom_ = 0;
  bool scanFailed_ = false;
};

std::string TReader::Place(const std::string& Source) const {
  std::string place = Source.empty() ? std::string() : rtl::InFile(Source) + ", ";
  if (lines_.empty()) return place + "the text is empty";
  if (scanFailed_)
    return place + rtl::Format("searched from line %d to the end",
                               static_cast<int>(scanFrom_ ? scanFrom_ : 1));
  return place + rtl::Format("line %d", static_cast<int>(lineIndex_ ? lineIndex_ : 1));
}

void TReader::NextLine() {
  // Callers test for the end first: every line, the last one included, can be examined.
  raw_ = lines_[lineIndex_];
  cleaned_ = false;
  words_.clear();
  splitPos_ = 0;
  splitDone_ = false;
  if (lineIndex_ + 1 < lines_.size()) lookAhead_ = lines_[lineIndex_ + 1];
  if (progress_) progress_(static_cast<int32_t>(lineIndex_), progressCount_);
  ++lineIndex_;
}

bool TReader::FindSection(std::string_view SectionName, bool Required) {
  scanFrom_ = lineIndex_;
  for (;;) {
    // Without a colon the line cannot hold "SECTION:".
    if (!raw_.empty() && std::memchr(raw_.data(), ':', raw_.size()) &&
        HasSectionMark(CurrentLine()) && ContainsUpper(CurrentLine(), SectionName))
      return true;
    if (lineIndex_ >= lines_.size()) break;
    NextLine();
  }
  if (Required)
    FailScan("Error reading JKL file, " + std::string(SectionName) + " section not found.");
  return false;
}

void TReader::ExpectToken(std::string_view Token, void (*Pass)(TReader&, TSectorNotes&),
                          TSectorNotes* Noted) {
  scanFrom_ = lineIndex_;
  while (!CurrentStartsWith(Token)) {
    if (Pass) Pass(*this, *Noted);
    if (lineIndex_ >= lines_.size())
      FailScan("Error reading JKL file, expected token '" + std::string(Token) + "' not found.");
    NextLine();
  }
}

int32_t TReader::ReadCount(std::string_view Keyword) {
  ExpectToken(Keyword);
  std::string digits;
  for (char c : CurrentLine())
    if (c >= '0' && c <= '9') digits += c;
  return rtl::StrToInt(digits);
}

void TReader::FindEntry(int32_t Index) {
  char buf[16];
  char* end = std::to_chars(buf, buf + sizeof buf - 1, Index).ptr;
  *end++ = ':';
  ExpectToken(std::string_view(buf, static_cast<size_t>(end - buf)));
}

bool TReader::CurrentStartsWith(std::string_view Token) const {
  return cleaned_ ? StartsWithUpper(current_, Token) : JklLineStartsWith(raw_, Token);
}

bool TReader::SplitTo(size_t Index) {
  const std::string& line = CurrentLine();
  while (words_.size() <= Index && !splitDone_) {
    if (line.empty()) {
      splitDone_ = true;
      break;
    }
    size_t sp = line.find(' ', splitPos_);
    std::string_view w(line.data() + splitPos_,
                       (sp == std::string::npos ? line.size() : sp) - splitPos_);
    while (!w.empty() && IsBlankOrControl(w.front())) w.remove_prefix(1);
    while (!w.empty() && IsBlankOrControl(w.back())) w.remove_suffix(1);
    words_.push_back(w);
    if (sp == std::string::npos)
      splitDone_ = true;
    else
      splitPos_ = sp + 1;
  }
  return words_.size() > Index;
}

std::string_view TReader::Word(int Index) {
  size_t i = Index < 0 ? 0 : static_cast<size_t>(Index);
  if (SplitTo(i)) return words_[i];
  // Taking the last word again for a missing one would read "1: 1 0" as the vertex (1, 0, 0).
  const size_t found = words_.empty() ? 0 : words_.size() - 1;
  Fail(rtl::Format("Error reading JKL file, the line has %d words after its label, %d needed.",
                   static_cast<int>(found), static_cast<int>(i)));
}

// The common forms of a real word ("-12.5", ".4", "2.775558E-17") converted without copying;
// anything else goes through rtl::StrToFloat, which gives the same value or the error.
static bool FastFloat(std::string_view w, double& value) {
  size_t i = 0, n = w.size();
  bool negative = i < n && w[i] == '-';
  if (negative) ++i;
  size_t start = i, digits = 0;
  while (i < n && w[i] >= '0' && w[i] <= '9') ++i, ++digits;
  if (i < n && w[i] == '.') {
    ++i;
    while (i < n && w[i] >= '0' && w[i] <= '9') ++i, ++digits;
  }
  if (digits == 0 || digits > 30) return false;
  if (i < n && (w[i] == 'e' || w[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (w[j] == '+' || w[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < n && w[j] >= '0' && w[j] <= '9') ++j, ++expDigits;
    if (expDigits == 0 || expDigits > 3) return false;
    i = j;
  }
  if (i != n) return false;
  double v = 0;
  auto res = std::from_chars(w.data() + start, w.data() + n, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != w.data() + n || !std::isfinite(v)) return false;
  value = negative ? -v : v;
  return true;
}

float TReader::SingleWord(int Index) {
  std::string_view view = Word(Index);
  double value;
  if (!FastFloat(view, value)) value = rtl::StrToFloat(std::string(view));
  // Values that would round to infinity as a Single are no coordinates; the largest finite
  // Single plus half its last unit is where rounding starts to overflow.
  if (!(std::fabs(value) < 0x1.ffffffp+127))
    throw rtl::EConvertError(
        rtl::Format("'%s' is not a valid floating point value", std::string(view).c_str()));
  return static_cast<float>(value);
}

int32_t TReader::LenientInt(size_t Index) {
  if (!SplitTo(Index)) return 0;
  try {
    return rtl::StrToInt(std::string(words_[Index]));
  } catch (const rtl::Exception&) {
    return 0;
  }
}

float TReader::LenientSingle(size_t Index) {
  double value = 0;
  if (!SplitTo(Index) || !FastFloat(words_[Index], value)) return 0;
  return static_cast<float>(value);
}

void TReader::ReadSurfaceLight(int32_t Corners) {
  TJKLevel::TSurfaceLight light;
  light.FaceFlags = LenientInt(3);
  light.LightMode = LenientInt(5);
  light.ExtraLight = LenientSingle(8);
  light.First = static_cast<uint32_t>(level_.Intensities.size());
  // One intensity per corner after the corner pairs; the pairs are on the line already.
  for (int32_t k = 1; k <= Corners; ++k)
    level_.Intensities.push_back(LenientSingle(static_cast<size_t>(9 + Corners + k)));
  level_.SurfaceLights.push_back(light);
}

void TReader::ReadMaterials() {
  FindSection("MATERIALS", true);
  int32_t n = ReadCount("WORLD MATERIALS");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    level_.Materials.Add(std::string(Word(1)));
    if (AtTableEnd()) break;
  }
}

// The colormaps stand between the GEORESOURCE header and the vertices. They are looked at
// without fetching a line, so that what the reader fetches, reports and fails on is unchanged;
// a table that is missing or malformed leaves the list empty or short.
void TReader::PeekColormaps() {
  std::string clean;
  std::vector<std::string_view> words;
  bool inTable = false;
  for (size_t i = lineIndex_; i < lines_.size(); ++i) {
    CleanJklLine(lines_[i], clean);
    if (clean.empty()) continue;
    if (StartsWithUpper(clean, "WORLD VERTICES")) return;
    if (StartsWithUpper(clean, "WORLD COLORMAPS")) {
      inTable = true;
      continue;
    }
    if (!inTable) continue;
    SplitJklWords(clean, words);
    const std::string expected = std::to_string(level_.Colormaps.size()) + ":";
    if (words.size() < 2 || words[0] != expected) return;
    level_.Colormaps.emplace_back(words[1]);
  }
}

void TReader::ReadVertices() {
  int32_t n = ReadCount("WORLD VERTICES");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    float x = SingleWord(1), y = SingleWord(2), z = SingleWord(3);
    level_.Vertices.AddNew(x, y, z);
  }
}

void TReader::ReadTextureVertices() {
  int32_t n = ReadCount("WORLD TEXTURE VERTICES");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    float u = SingleWord(1), v = SingleWord(2);
    level_.TXVertices.AddNew(u, v);
  }
}

void TReader::ReadAdjoins() {
  int32_t n = ReadCount("WORLD ADJOINS");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    level_.AdjoinFlags.push_back(LenientInt(1));
    level_.Adjoins.push_back(IntWord(2));
  }
}

void TReader::ReadSurface(int32_t Index) {
  TSurface* surface = level_.Surfaces.AddNew();
  int32_t m = IntWord(1);
  surface->MaterialName = m == -1 ? std::string("dflt.mat") : level_.Materials.Get(m);
  if (usedLower_.insert(rtl::LowerCase(surface->MaterialName)).second)
    level_.UsedMaterials.Add(surface->MaterialName);
  surface->Flags = IntWord(2);
  surface->Adjoin = IntWord(7);
  int32_t corners = IntWord(9);
  // Only what a drawn see-through surface needs; a word that is no number is no error here.
  surface->MaterialIndex = m;
  surface->FaceFlags = LenientInt(3);
  surface->GeoMode = LenientInt(4);
  if (corners <= 0) {
    ReadSurfaceLight(0);
    return;
  }
  // Past the last word a word index yields the last word again; a corner count larger than the
  // pairs on the line would then repeat the last pair up to billions of times.
  if (!SplitTo(static_cast<size_t>(corners) + 9))
    Fail(rtl::Format("Error reading JKL file, surface %d has fewer corners than its count %d.",
                     Index, corners));
  // Bounded by the words on the line.
  surface->Vertices.Reserve(static_cast<size_t>(corners), refs_);
  surface->TXVertices.Reserve(static_cast<size_t>(corners), refs_);
  for (int32_t k = 1; k <= corners; ++k) {
    std::string_view pair = Word(9 + k);
    size_t comma = pair.find(',');
    // A pair without "," has an empty vertex number, which the conversion rejects.
    std::string_view vText =
        comma == std::string_view::npos ? std::string_view() : pair.substr(0, comma);
    std::string_view tText =
        comma == std::string_view::npos ? std::string_view() : pair.substr(comma + 1);
    int32_t v = rtl::StrToInt(std::string(vText));
    int32_t t = rtl::StrToInt(std::string(tText));
    if (t == -1) {
      surface->AddVertex(level_.Vertices.Items(v), nullptr);
      surface->TXVertexMissing = true;
    } else {
      const TTXVertex* tx = level_.TXVertices.Items(t);
      surface->AddVertex(level_.Vertices.Items(v), tx);
    }
  }
  ReadSurfaceLight(corners);
}

void TReader::ReadSurfaces() {
  int32_t n = ReadCount("WORLD SURFACES");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    ReadSurface(i);
  }
  ReadNormals(n);
}

void TReader::ReadNormals(int32_t Count) {
  // The search goes on after the last surface line, so it finds the table after the surfaces;
  // with a single surface, line "0:" itself would otherwise be taken for its normal.
  if (Count > 0) {
    if (lineIndex_ >= lines_.size()) {
      scanFrom_ = lineIndex_;
      FailScan("Error reading JKL file, expected token '0:' not found.");
    }
    NextLine();
  }
  for (int32_t i = 0; i < Count; ++i) {
    FindEntry(i);
    float x = SingleWord(1), y = SingleWord(2), z = SingleWord(3);
    level_.Surfaces.Items(i)->Normal = MakeVector(x, y, z);
  }
}

void TReader::ReadSectors() {
  FindSection("SECTORS", true);
  int32_t n = ReadCount("WORLD SECTORS");
  // Sectors may share surfaces, but the references they hold stay bounded by the text: a few
  // lines of overlapping ranges must not claim billions of them.
  const int64_t limit =
      static_cast<int64_t>(level_.Surfaces.Count()) + static_cast<int64_t>(lines_.size());
  int64_t references = 0;
  std::vector<char> listed(static_cast<size_t>(level_.Surfaces.Count()), 0);
  for (int32_t i = 0; i < n; ++i) {
    char buf[32] = "SECTOR ";
    char* end = std::to_chars(buf + 7, buf + sizeof buf, i).ptr;
    ExpectToken(std::string_view(buf, static_cast<size_t>(end - buf)));
    T3DMesh* sector = level_.Sectors.AddNew();
    TSectorNotes notes;
    ExpectToken(
        "SURFACES",
        [](TReader& r, TSectorNotes& noted) {
          if (r.CurrentStartsWith("EXTRA LIGHT")) noted.ExtraLight = r.LenientSingle(2);
          // "FLAGS" alone: no other line of a sector block begins with it.
          if (r.CurrentStartsWith("FLAGS")) noted.Flags = r.LenientInt(1);
        },
        &notes);
    level_.SectorExtraLight.push_back(notes.ExtraLight);
    level_.SectorFlags.push_back(notes.Flags);
    int32_t first = IntWord(1), count = IntWord(2);
    // Room only for a range of surfaces that exist; any other stops below with its error.
    if (count > 0 && first >= 0 && count <= level_.Surfaces.Count() - first)
      sector->Surfaces.Reserve(static_cast<size_t>(count), refs_);
    for (int64_t j = first; j < static_cast<int64_t>(first) + count; ++j) {
      // Items raises for the first index outside, so j never leaves the Int32 range here.
      sector->AddSurface(level_.Surfaces.Items(static_cast<int>(j)));
      char& seen = listed[static_cast<size_t>(j)];
      if (seen) level_.SurfacesShared = true;
      seen = 1;
      if (++references > limit)
        Fail(
            rtl::Format("Error reading JKL file, sector %d lists more surfaces than the level "
                        "can hold.",
                        i));
    }
  }
}

void TReader::ReadThings() {
  FindSection("THINGS", true);
  int32_t n = ReadCount("WORLD THINGS");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    auto rec = std::make_unique<TEntityRec>();
    std::string name(Word(1));
    rec->Name = name.substr(0, 255);
    rec->Origin.X = SingleWord(3);
    rec->Origin.Y = SingleWord(4);
    rec->Origin.Z = SingleWord(5);
    rec->Pitch = SingleWord(6);
    rec->Yaw = SingleWord(7);
    rec->Roll = SingleWord(8);
    level_.Things.AddObject(std::move(name), std::move(rec));
    // Words after the sector (word 9) are the thing's own parameters.
    level_.ThingParams.push_back(
        SplitTo(10) ? ParseThingParams(std::string_view(CurrentLine())
                                           .substr(static_cast<size_t>(words_[10].data() -
                                                                       CurrentLine().data())))
                    : TThingParams());
    if (AtTableEnd()) break;
  }
}

void TReader::ReadLights() {
  if (!FindSection("LIGHTS", false)) return;
  int32_t n = ReadCount("EDITOR LIGHTS");
  for (int32_t i = 0; i < n; ++i) {
    FindEntry(i);
    auto rec = std::make_unique<TLightRec>();
    rec->Tag = IntWord(1);
    rec->Position.X = SingleWord(2);
    rec->Position.Y = SingleWord(3);
    rec->Position.Z = SingleWord(4);
    rec->Value1 = SingleWord(5);
    rec->Value2 = SingleWord(6);
    level_.Lights.push_back(std::move(rec));
    if (AtTableEnd()) break;
  }
}

void TReader::Run() {
  ReadMaterials();
  FindSection("GEORESOURCE", true);
  PeekColormaps();
  ReadVertices();
  ReadTextureVertices();
  ReadAdjoins();
  ReadSurfaces();
  ReadSectors();
  ReadThings();
  ReadLights();
}

}  // namespace

void TJKLevel::Clear() {
  // Sectors refer to surfaces, and surfaces to vertices: release the referrers first.
  Sectors.Clear();
  Surfaces.Clear();
  refs_.Clear();  // what the cleared lists borrowed
  TXVertices.Clear();
  Vertices.Clear();
  Adjoins.clear();
  Colormaps.clear();
  Things.Clear();
  ThingParams.clear();
  Templates.Clear();
  Lights.clear();
  Materials.Clear();
  UsedMaterials.Clear();
  SurfaceLights.clear();
  Intensities.clear();
  SectorExtraLight.clear();
  SectorFlags.clear();
  SurfacesShared = false;
  AdjoinFlags.clear();
}

void TJKLevel::SetNameFromFile(const std::string& FileName) {
  size_t start = FileName.find_last_of("\\/:");
  start = start == std::string::npos ? 0 : start + 1;
  std::string name = FileName.substr(start);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  Name = name;
}

void TJKLevel::Read(const std::vector<std::string_view>& Lines, TProgressProc Progress,
                    const std::string& SourceName) {
  Clear();
  TReader reader(*this, refs_, Lines, Progress);
  try {
    reader.Run();
  } catch (rtl::Exception& e) {
    e.SetPlace(reader.Place(SourceName));
    throw;
  }
  ReadThingTemplates(Lines, Templates);
}

void TJKLevel::LoadFromText(const char* Data, size_t Size, TProgressProc Progress,
                            const std::string& SourceName) {
  std::vector<std::string_view> lines;
  if (Data) rtl::SplitLineViews(Data, Size, lines);
  Read(lines, Progress, SourceName);
}

void TJKLevel::LoadFromStrings(const std::vector<std::string>& Lines, TProgressProc Progress,
                               const std::string& SourceName) {
  std::vector<std::string_view> lines(Lines.begin(), Lines.end());
  Read(lines, Progress, SourceName);
}

void TJKLevel::LoadFromStrings(const rtl::TStringList& Lines, TProgressProc Progress,
                               const std::string& SourceName) {
  LoadFromStrings(Lines.Lines(), Progress, SourceName);
}

void TJKLevel::LoadFromFile(const std::string& FileName, TProgressProc Progress) {
  std::string text = rtl::ReadFileToString(FileName, MaxLevelBytes, "a level");
  LoadFromText(text.data(), text.size(), Progress, FileName);
  SetNameFromFile(FileName);
}
