#include "light/GameLightFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

const char* const Heading = "morvane game light 1";

std::string Number(float Value) { return rtl::SingleToStr(Value); }

std::string Body(const std::vector<TLitPolygon>& Polygons) {
  std::string out = rtl::Format("polygons %d\n", static_cast<int>(Polygons.size()));
  for (const TLitPolygon& p : Polygons) {
    out += std::to_string(p.Corners.size()) + " " + Number(p.Extra) + " " + Number(p.Normal.X) +
           " " + Number(p.Normal.Y) + " " + Number(p.Normal.Z) + "\n";
    for (size_t c = 0; c < p.Corners.size(); ++c)
      out += Number(p.Corners[c].X) + " " + Number(p.Corners[c].Y) + " " + Number(p.Corners[c].Z) +
             " " + Number(c < p.Light.size() ? p.Light[c] : 0.0f) + "\n";
  }
  return out;
}

// FNV-1a, 64 bits, as 16 hexadecimal digits.
std::string Hash(const std::string& Text) {
  uint64_t h = 14695981039346656037ULL;
  for (unsigned char c : Text) h = (h ^ c) * 1099511628211ULL;
  return rtl::Format("%08x%08x", static_cast<unsigned>(h >> 32), static_cast<unsigned>(h));
}

// The words of the text line by line, each line checked for its count of words and numbers.
class TReader {
 public:
  TReader(const std::string& Text, const std::string& Name) : in_(Text), name_(Name) {}
  std::vector<std::string> Line(size_t Words) {
    std::string line;
    if (!std::getline(in_, line)) Fail("the file ends early");
    ++number_;
    std::istringstream words(line);
    std::vector<std::string> out;
    for (std::string w; words >> w;) out.push_back(w);
    if (out.size() != Words) Fail(rtl::Format("%d words expected", static_cast<int>(Words)));
    return out;
  }
  float Float(const std::string& Word) {
    double v = 0;
    if (!rtl::TryStrToFloat(Word, v) || !std::isfinite(v) || std::fabs(v) > 3.0e38)
      Fail("'" + Word + "' is no number");
    return static_cast<float>(v);
  }
  long Count(const std::string& Word, long Low, long High) {
    char* end = nullptr;
    const long v = std::strtol(Word.c_str(), &end, 10);
    if (Word.empty() || *end != '\0' || v < Low || v > High)
      Fail(rtl::Format("'%s' is not a count from %ld to %ld", Word.c_str(), Low, High));
    return v;
  }
  [[noreturn]] void Fail(const std::string& What) const {
    throw rtl::Exception(rtl::Format("%s line %d: ", name_.c_str(), number_) + What);
  }

 private:
  std::istringstream in_;
  std::string name_;
  int number_ = 0;
};

}  // namespace

std::string GameLightPath(const std::string& MapOrBsp) {
  return rtl::ChangeFileExt(MapOrBsp, ".gamelight");
}

std::string GameLightId(const std::vector<TLitPolygon>& Polygons) { return Hash(Body(Polygons)); }

std::string GameLightText(const std::vector<TLitPolygon>& Polygons) {
  const std::string body = Body(Polygons);
  return std::string(Heading) + "\nid " + Hash(body) + "\n" + body;
}

TGameLightFile ParseGameLight(const std::string& Text, const std::string& Name) {
  TReader r(Text, Name);
  TGameLightFile file;
  {
    std::istringstream first(Text);
    std::string heading;
    std::getline(first, heading);
    if (heading != Heading) r.Fail("not a game light file of this version of Morvane");
  }
  r.Line(4);
  const std::vector<std::string> id = r.Line(2);
  if (id[0] != "id") r.Fail("'id' expected");
  file.Id = id[1];
  const std::vector<std::string> head = r.Line(2);
  if (head[0] != "polygons") r.Fail("'polygons' expected");
  const long count = r.Count(head[1], 0, MaxLitPolygons);
  for (long i = 0; i < count; ++i) {
    const std::vector<std::string> w = r.Line(5);
    TLitPolygon p;
    const long corners = r.Count(w[0], 3, MaxLitCorners);
    p.Extra = r.Float(w[1]);
    p.Normal = TVector3{r.Float(w[2]), r.Float(w[3]), r.Float(w[4])};
    for (long c = 0; c < corners; ++c) {
      const std::vector<std::string> v = r.Line(4);
      p.Corners.push_back(TVector3{r.Float(v[0]), r.Float(v[1]), r.Float(v[2])});
      p.Light.push_back(r.Float(v[3]));
    }
    file.Polygons.push_back(std::move(p));
  }
  if (GameLightId(file.Polygons) != file.Id)
    r.Fail("its identity does not match its polygons (the file was changed or cut short)");
  return file;
}
