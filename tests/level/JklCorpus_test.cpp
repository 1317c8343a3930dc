#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <unordered_set>

#include "level/O_jkl.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

namespace {

std::string JklPath(const std::string& name) {
  return rtl::JoinPath(rtl::JoinPath(testing_support::CorpusDir(), "jkl"), name);
}

// What a level's own text says about its tables, found without the reader: each count line,
// and for the tables that close with "end", how many entries stand before that line.
struct DeclaredCounts {
  std::map<std::string, long> declared;  // "vertices" -> N
  std::map<std::string, long> present;   // entries before "end" / the next section
};

DeclaredCounts ScanCounts(const std::string& text) {
  static const std::regex countLine(
      R"(^\s*(world|editor)\s+(materials|vertices|texture vertices|adjoins|surfaces|sectors|things|lights)\s+(\d+)\s*(#.*)?$)",
      std::regex::icase);
  static const std::regex entryLine(R"(^\s*\d+:.*)");
  DeclaredCounts out;
  std::vector<std::string> lines = rtl::SplitLines(text.data(), text.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    // The regex is slow; only lines that begin with one of the two keywords can match.
    std::string head = rtl::LowerCase(rtl::Trim(line).substr(0, 6));
    if (head != "world " && head != "world\t" && head != "editor") continue;
    std::smatch m;
    if (!std::regex_match(line, m, countLine)) continue;
    std::string table = rtl::LowerCase(m[2].str());
    if (out.declared.count(table)) continue;  // the first count line of each kind is the one
    out.declared[table] = std::strtol(m[3].str().c_str(), nullptr, 10);
    if (table == "materials" || table == "things" || table == "lights") {
      long entries = 0;
      for (size_t j = i + 1; j < lines.size(); ++j) {
        std::string t = rtl::LowerCase(rtl::Trim(lines[j]));
        if (t == "end" || t.find("section:") != std::string::npos) break;
        if (std::regex_match(lines[j], entryLine)) ++entries;
      }
      out.present[table] = entries;
    }
  }
  return out;
}

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

// FNV-1a over the bit patterns of every coordinate the level holds.
uint64_t CoordinateHash(const TJKLevel& level) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](float f) {
    uint32_t b = Bits(f);
    for (int k = 0; k < 4; ++k) {
      h ^= (b >> (8 * k)) & 0xFF;
      h *= 1099511628211ull;
    }
  };
  for (int i = 0; i < level.Vertices.Count(); ++i) {
    mix(level.Vertices.Items(i)->X);
    mix(level.Vertices.Items(i)->Y);
    mix(level.Vertices.Items(i)->Z);
  }
  for (int i = 0; i < level.TXVertices.Count(); ++i) {
    mix(level.TXVertices.Items(i)->U);
    mix(level.TXVertices.Items(i)->V);
  }
  for (int i = 0; i < level.Surfaces.Count(); ++i) {
    const TVector3& n = level.Surfaces.Items(i)->Normal;
    mix(n.X);
    mix(n.Y);
    mix(n.Z);
  }
  return h;
}

}  // namespace

TEST(JklCorpus, EveryLevelReadsWithTheCountsItDeclares) {
  std::vector<std::string> files = testing_support::CorpusFiles("jkl", "*.jkl");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    std::string text = testing_support::ReadFile(JklPath(name));
    DeclaredCounts counts = ScanCounts(text);
    TJKLevel level;
    try {
      level.LoadFromFile(JklPath(name));
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    EXPECT_EQ(level.Name + ".jkl", name);
    auto declared = [&](const char* t) { return counts.declared.at(t); };
    auto listed = [&](const char* t) {
      return std::min(counts.declared.at(t), counts.present.at(t));
    };
    EXPECT_EQ(level.Materials.Count(), listed("materials"));
    EXPECT_EQ(level.Vertices.Count(), declared("vertices"));
    EXPECT_EQ(level.TXVertices.Count(), declared("texture vertices"));
    EXPECT_EQ(static_cast<long>(level.Adjoins.size()), declared("adjoins"));
    EXPECT_EQ(level.Surfaces.Count(), declared("surfaces"));
    EXPECT_EQ(level.Sectors.Count(), declared("sectors"));
    EXPECT_EQ(level.Things.Count(), listed("things"));
    if (counts.declared.count("lights")) {
      EXPECT_EQ(static_cast<long>(level.Lights.size()), listed("lights"));
    }

    // Real levels put every surface into exactly one sector, and give every corner a texture
    // vertex and every surface a unit normal.
    std::unordered_set<const TSurface*> seen;
    for (int s = 0; s < level.Sectors.Count(); ++s)
      for (int k = 0; k < level.Sectors.Items(s)->Surfaces.Count(); ++k)
        EXPECT_TRUE(seen.insert(level.Sectors.Items(s)->Surfaces.Items(k)).second);
    EXPECT_EQ(static_cast<int>(seen.size()), level.Surfaces.Count());
    for (int i = 0; i < level.Surfaces.Count(); ++i) {
      const TSurface* surface = level.Surfaces.Items(i);
      EXPECT_EQ(surface->TXVertices.Count(), surface->Vertices.Count());
      const TVector3& n = surface->Normal;
      EXPECT_NEAR(n.X * n.X + n.Y * n.Y + n.Z * n.Z, 1.0, 1e-3) << "surface " << i;
    }
    // The stored normals face into their sector; the corners, taken in order, give the opposite
    // direction. The brush conversion builds on that orientation.
    int agreeing = 0;
    for (int i = 0; i < level.Surfaces.Count(); ++i) {
      TSurface* surface = level.Surfaces.Items(i);
      TVector3 stored = surface->Normal, computed;
      surface->Normal = TVector3{};
      surface->GetNormal(computed);
      surface->Normal = stored;
      if (stored.X * computed.X + stored.Y * computed.Y + stored.Z * computed.Z < -0.5) ++agreeing;
    }
    EXPECT_EQ(agreeing, level.Surfaces.Count());
    // Used materials are distinct without regard to case, and each is a material of the level.
    std::unordered_set<std::string> used;
    for (int i = 0; i < level.UsedMaterials.Count(); ++i) {
      EXPECT_TRUE(used.insert(rtl::LowerCase(level.UsedMaterials[i])).second);
      EXPECT_TRUE(level.UsedMaterials[i] == "dflt.mat" ||
                  level.Materials.IndexOf(level.UsedMaterials[i]) >= 0);
    }
  }
}

// The same bits on every build: the reader's numbers do not depend on the C library or the FPU.
TEST(JklCorpus, CoordinatesAreBitIdenticalEverywhere) {
  std::string path = JklPath("round.jkl");
  if (testing_support::CorpusDir().empty() || !rtl::FileExists(path)) GTEST_SKIP() << "no corpus";
  TJKLevel level;
  level.LoadFromFile(path);
  ASSERT_EQ(level.Vertices.Count(), 104);
  // The entries "0: 1 -.4 2" and "1: .4 -1 2": -0.4 and 0.4 are not exact in binary.
  EXPECT_EQ(Bits(level.Vertices.Items(0)->Y), 0xBECCCCCDu);
  EXPECT_EQ(Bits(level.Vertices.Items(1)->X), 0x3ECCCCCDu);
  // Every coordinate of the level, as first computed natively; a Windows build under Wine must
  // produce the same bits.
  EXPECT_EQ(CoordinateHash(level), 0x1e8f729683fd2b77ull) << std::hex << CoordinateHash(level);
}
