#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "../../bench/GenLevel.h"
#include "level/LineLexer.h"
#include "level/O_jkl.h"
#include "level/P_Str.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

namespace {

// A small level with every table the reader looks at, in the shapes real files use (tabs,
// comments, hexadecimal flags, ".4" numbers, tables shorter than their count before "end").
struct LevelText {
  std::string head = "#Level text\r\nSECTION: JK\r\n\r\n";
  std::string materials =
      "SECTION: MATERIALS\r\n"
      "World materials 512\r\n"
      "0:\tWall.mat\t1.0\t1.0\r\n"
      "1:\twall.mat\t1.0\t1.0\r\n"
      "2:\tfloor.mat\t1.0\t1.0\r\n"
      "end\r\n";
  std::string geo =
      "SECTION: GEORESOURCE\r\n"
      "World Colormaps 1\r\n"
      "0:\tdflt.cmp\r\n"
      "World vertices 4\r\n"
      "0: 1 0 0\r\n"
      "1:\t0  1 0\r\n"
      "# a comment between entries\r\n"
      "\r\n"
      "2: -1 0 0\r\n"
      "3: 0 -1 2.775558E-17\r\n"
      "World texture vertices 2\r\n"
      "0: .5 -.25\r\n"
      "1: 16 32\r\n"
      "World adjoins 1\r\n"
      "0: 0x1 7 0\r\n"
      "World surfaces 3\r\n"
      "#num: mat: surfflags: faceflags: geo: light: tex: adjoin: extralight: nverts: vertices\r\n"
      "0:\t0\t0x4\t0x4\t4\t3\t1\t-1\t0\t4 0,0 1,1 2,-1 3,0 .1 .2 .3 .4\r\n"
      "1:\t1\t0\t0\t4\t3\t1\t0\t0\t3 3,1 1,1 2,1 0 0 0\r\n"
      "2:\t-1\t0\t0\t4\t3\t1\t-1\t0\t3 0,-1 1,-1 2,-1 0 0 0\r\n"
      "0: 0 0 -1\r\n"
      "1: 0 1 0\r\n"
      "2: 1 0 0\r\n";
  std::string sectors =
      "Section: SECTORS\r\n"
      "World sectors 2\r\n"
      "SECTOR 0\r\n"
      "FLAGS 0x1000\r\n"
      "SURFACES 0 2\r\n"
      "SECTOR 1\r\n"
      "SURFACES 2 1\r\n";
  std::string things =
      "Section: Things\r\n"
      "World things 255\r\n"
      "#num template: name: X: Y: Z: Pitch: Yaw: Roll: Sector:\r\n"
      "0: walkplayer player .5 -1 2 10 20 30 0 thingflags=0x1\r\n"
      "1: ghost ghost 0 0 0 0 0 0 1\r\n"
      "end\r\n";
  std::string lights =
      "Section: Lights\r\n"
      "Editor lights 1\r\n"
      "0: 5 1 2 3 0.5 10\r\n"
      "end\r\n";
  std::string Text() const { return head + materials + geo + sectors + things + lights; }
};

void Load(TJKLevel& level, const std::string& text) {
  level.LoadFromText(text.data(), text.size());
}

// Runs a read that must fail and returns the message as raised, without the line it names
// (JklErrorPlaces checks those); the type is checked by the caller's Ex.
template <class Ex = rtl::Exception>
std::string LoadError(const std::string& text) {
  TJKLevel level;
  try {
    Load(level, text);
  } catch (const Ex& e) {
    return e.BaseMessage();
  } catch (const std::exception& e) {
    return std::string("wrong error type: ") + e.what();
  }
  return "no error";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

std::vector<std::pair<int32_t, int32_t>> g_progress;
void RecordProgress(int32_t index, int32_t count) { g_progress.emplace_back(index, count); }

}  // namespace

TEST(JklReader, ReadsEveryTableOfASmallLevel) {
  TJKLevel level;
  Load(level, LevelText().Text());

  ASSERT_EQ(level.Materials.Count(), 3);  // declared 512, ended by "end"
  EXPECT_EQ(level.Materials[0], "Wall.mat");
  EXPECT_EQ(level.Materials[2], "floor.mat");

  ASSERT_EQ(level.Vertices.Count(), 4);
  EXPECT_EQ(level.Vertices.Items(1)->Y, 1.0f);
  EXPECT_EQ(level.Vertices.Items(2)->X, -1.0f);
  EXPECT_EQ(level.Vertices.Items(3)->Z, static_cast<float>(2.775558E-17));
  ASSERT_EQ(level.TXVertices.Count(), 2);
  EXPECT_EQ(level.TXVertices.Items(0)->U, 0.5f);
  EXPECT_EQ(level.TXVertices.Items(0)->V, -0.25f);
  EXPECT_EQ(level.Adjoins, std::vector<int32_t>{7});

  ASSERT_EQ(level.Surfaces.Count(), 3);
  TSurface* s0 = level.Surfaces.Items(0);
  EXPECT_EQ(s0->MaterialName, "Wall.mat");
  EXPECT_EQ(s0->Flags, 4);
  EXPECT_EQ(s0->Adjoin, -1);
  ASSERT_EQ(s0->Vertices.Count(), 4);
  EXPECT_EQ(s0->Vertices.Items(0), level.Vertices.Items(0));  // shared, not copied
  EXPECT_EQ(s0->Vertices.Items(3), level.Vertices.Items(3));
  ASSERT_EQ(s0->TXVertices.Count(), 4);
  EXPECT_NE(s0->TXVertices.Items(1), level.TXVertices.Items(1));  // private copy
  EXPECT_EQ(s0->TXVertices.Items(1)->U, 16.0f);
  EXPECT_EQ(s0->TXVertices.Items(2)->U, 0.0f);  // '2,-1'
  EXPECT_EQ(s0->TXVertices.Items(2)->V, 0.0f);
  // Normals come from the table after the surfaces, not from the corners.
  EXPECT_EQ(s0->Normal.Z, -1.0f);
  EXPECT_EQ(level.Surfaces.Items(1)->Normal.Y, 1.0f);
  EXPECT_EQ(level.Surfaces.Items(1)->Adjoin, 0);
  EXPECT_EQ(level.Surfaces.Items(1)->MaterialName, "wall.mat");
  EXPECT_EQ(level.Surfaces.Items(2)->MaterialName, "dflt.mat");
  EXPECT_EQ(level.Surfaces.Items(2)->Normal.X, 1.0f);

  // Case-insensitive, first spelling kept.
  ASSERT_EQ(level.UsedMaterials.Count(), 2);
  EXPECT_EQ(level.UsedMaterials[0], "Wall.mat");
  EXPECT_EQ(level.UsedMaterials[1], "dflt.mat");

  ASSERT_EQ(level.Sectors.Count(), 2);
  ASSERT_EQ(level.Sectors.Items(0)->Surfaces.Count(), 2);
  EXPECT_EQ(level.Sectors.Items(0)->Surfaces.Items(1), level.Surfaces.Items(1));
  EXPECT_EQ(level.Sectors.Items(1)->Surfaces.Items(0), level.Surfaces.Items(2));
  EXPECT_EQ(level.Sectors.Items(0)->Vertices.Count(), 0);

  ASSERT_EQ(level.Things.Count(), 2);
  EXPECT_EQ(level.Things.Strings(0), "walkplayer");
  const TEntityRec* player = level.Things.Objects(0);
  EXPECT_EQ(player->Name, "walkplayer");
  EXPECT_EQ(player->Origin.X, 0.5f);
  EXPECT_EQ(player->Origin.Y, -1.0f);
  EXPECT_EQ(player->Origin.Z, 2.0f);
  EXPECT_EQ(player->Pitch, 10.0f);
  EXPECT_EQ(player->Yaw, 20.0f);
  EXPECT_EQ(player->Roll, 30.0f);

  ASSERT_EQ(level.Lights.size(), 1u);
  EXPECT_EQ(level.Lights[0]->Tag, 5);
  EXPECT_EQ(level.Lights[0]->Position.Z, 3.0f);
  EXPECT_EQ(level.Lights[0]->Value1, 0.5f);
  EXPECT_EQ(level.Lights[0]->Value2, 10.0f);
  EXPECT_EQ(level.Name, "");  // only a file gives a name
}

TEST(JklReader, LinesFromAStringListReadLikeText) {
  LevelText t;
  t.geo = Replace(t.geo, "SECTION: GEORESOURCE", "section:\t georesource   # comment");
  t.sectors = Replace(t.sectors, "SURFACES 0 2", "SURFACES 0 2\r\nSECTOR 7 junk");
  rtl::TStringList lines;
  lines.SetText(t.Text());
  TJKLevel level;
  level.LoadFromStrings(lines);
  EXPECT_EQ(level.Vertices.Count(), 4);
  EXPECT_EQ(level.Sectors.Count(), 2);
  // Reading again starts from an empty level.
  level.LoadFromStrings(lines);
  EXPECT_EQ(level.Vertices.Count(), 4);
  EXPECT_EQ(level.Materials.Count(), 3);
  EXPECT_EQ(level.UsedMaterials.Count(), 2);
  EXPECT_EQ(level.Things.Count(), 2);
}

TEST(JklReader, TableEndsOnlyAtAnExactEndLine) {
  LevelText t;
  t.materials = Replace(t.materials, "end\r\n", "END\r\n");
  t.lights = "Section: Lights\r\nEditor lights 4\r\n0: 5 1 2 3 0.5 10\r\nend\r\n";
  TJKLevel level;
  Load(level, t.Text());
  EXPECT_EQ(level.Materials.Count(), 3);
  EXPECT_EQ(level.Lights.size(), 1u);

  // 'end ' is no end line: the search for entry 3 goes on.
  t = LevelText();
  t.materials = Replace(t.materials, "end\r\n", "end \r\n");
  EXPECT_EQ(LoadError(t.Text()), "Error reading JKL file, expected token '4:' not found.");
}

TEST(JklReader, NumbersInAllTheirForms) {
  LevelText t;
  t.geo = Replace(t.geo, "0:\t0\t0x4\t0x4", "0:\t0\t$10\t0x4");
  t.geo = Replace(t.geo, "0: .5 -.25", "0: +1e2 -0.0");
  t.lights = "Section: Lights\r\nEditor lights 1\r\n0: 0xFFFFFFFF 1 2 3 0.5 10";
  TJKLevel level;
  Load(level, t.Text());
  EXPECT_EQ(level.Surfaces.Items(0)->Flags, 16);
  EXPECT_EQ(level.TXVertices.Items(0)->U, 100.0f);
  EXPECT_TRUE(std::signbit(level.TXVertices.Items(0)->V));
  EXPECT_EQ(level.Lights[0]->Tag, -1);
}

TEST(JklReader, SectorRanges) {
  LevelText t;
  t.sectors =
      "Section: SECTORS\r\nWorld sectors 3\r\nSECTOR 0\r\nSURFACES 3 0\r\nSECTOR 1\r\n"
      "SURFACES 1 2\r\nSECTOR 2\r\nSURFACES 0 -4\r\n";
  TJKLevel level;
  Load(level, t.Text());
  EXPECT_EQ(level.Sectors.Items(0)->Surfaces.Count(), 0);
  ASSERT_EQ(level.Sectors.Items(1)->Surfaces.Count(), 2);
  EXPECT_EQ(level.Sectors.Items(1)->Surfaces.Items(0), level.Surfaces.Items(1));
  EXPECT_EQ(level.Sectors.Items(1)->Surfaces.Items(1), level.Surfaces.Items(2));
  EXPECT_EQ(level.Sectors.Items(2)->Surfaces.Count(), 0);
}

TEST(JklReader, SurfacesSharedOrUnlistedAreReleasedOnce) {
  // Under AddressSanitizer a surface released twice or never fails the run.
  LevelText t;
  t.sectors =
      "Section: SECTORS\r\nWorld sectors 3\r\nSECTOR 0\r\nSURFACES 0 2\r\nSECTOR 1\r\n"
      "SURFACES 0 2\r\nSECTOR 2\r\nSURFACES 1 1\r\n";  // surface 2 unlisted, 1 listed thrice
  {
    TJKLevel level;
    Load(level, t.Text());
    EXPECT_EQ(level.Sectors.Items(1)->Surfaces.Items(1), level.Sectors.Items(2)->Surfaces.Items(0));
    EXPECT_EQ(level.Surfaces.Count(), 3);
    level.Clear();
    EXPECT_EQ(level.Surfaces.Count(), 0);
    EXPECT_EQ(level.Sectors.Count(), 0);
    Load(level, t.Text());
  }
}

TEST(JklReader, ThingNameIsCutTo255Characters) {
  LevelText t;
  std::string longName(300, 'q');
  t.things = Replace(t.things, "walkplayer player", longName + " player");
  TJKLevel level;
  Load(level, t.Text());
  EXPECT_EQ(level.Things.Objects(0)->Name, std::string(255, 'q'));
  EXPECT_EQ(level.Things.Strings(0), longName);
}

TEST(JklReader, LightsAreOptional) {
  LevelText t;
  t.lights = "Section: ARCHLIGHTING\r\n";
  TJKLevel level;
  level.LoadFromText(t.Text().data(), t.Text().size());
  EXPECT_TRUE(level.Lights.empty());
  EXPECT_EQ(level.Things.Count(), 2);
}

TEST(JklReader, ProgressCountsEveryFetchedLine) {
  LevelText t;
  std::string text = t.Text();
  size_t lineCount = rtl::SplitLines(text.data(), text.size()).size();
  g_progress.clear();
  TJKLevel level;
  level.LoadFromText(text.data(), text.size(), RecordProgress);
  // The optional LIGHTS table is the last; its "end" line is never fetched.
  ASSERT_EQ(g_progress.size(), lineCount - 1);
  for (size_t i = 0; i < g_progress.size(); ++i) {
    EXPECT_EQ(g_progress[i].first, static_cast<int32_t>(i));
    EXPECT_EQ(g_progress[i].second, static_cast<int32_t>(lineCount));
  }
}

TEST(JklReader, NameFromFileOrContainerPath) {
  TJKLevel level;
  level.SetNameFromFile("C:\\levels\\canyon.jkl");
  EXPECT_EQ(level.Name, "canyon");
  level.SetNameFromFile("jkl\\ship.jkl");
  EXPECT_EQ(level.Name, "ship");
  level.SetNameFromFile("C:noext");
  EXPECT_EQ(level.Name, "noext");
  level.SetNameFromFile("dir.v2\\plain");
  EXPECT_EQ(level.Name, "plain");
  level.SetNameFromFile("/home/u/levels/two.dots.jkl");
  EXPECT_EQ(level.Name, "two.dots");
}

TEST(JklReader, LoadFromFileNamesTheLevelAndKeepsItOnOpenFailure) {
  testing_support::TempDir dir;
  std::string path = dir / "Lev01.JKL";
  testing_support::WriteFile(path, LevelText().Text());
  TJKLevel level;
  level.LoadFromFile(path);
  EXPECT_EQ(level.Name, "Lev01");
  EXPECT_EQ(level.Surfaces.Count(), 3);

  std::string missing = dir / "missing.jkl";
  try {
    level.LoadFromFile(missing);
    ADD_FAILURE() << "no error for a missing file";
  } catch (const rtl::EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing);
  }
  EXPECT_EQ(level.Name, "Lev01");
  EXPECT_EQ(level.Surfaces.Count(), 3);
}

TEST(JklReader, MissingPartsNameWhatWasExpected) {
  LevelText t;
  const std::string text = t.Text();
  struct Case {
    std::string text, message;
  };
  std::vector<Case> cases = {
      {Replace(text, "SECTION: MATERIALS", "SECTION: MATS"),
       "Error reading JKL file, MATERIALS section not found."},
      {Replace(text, "SECTION: GEORESOURCE", "GEORESOURCE"),
       "Error reading JKL file, GEORESOURCE section not found."},
      // A section before the point where the search begins is not found.
      {t.head + t.geo + t.materials + t.sectors + t.things,
       "Error reading JKL file, GEORESOURCE section not found."},
      {Replace(text, "Section: SECTORS", "Section: SECTOR"),
       "Error reading JKL file, SECTORS section not found."},
      {t.head + t.materials + t.geo + t.sectors,
       "Error reading JKL file, THINGS section not found."},
      {Replace(text, "World vertices 4", "World vertices 5"),
       "Error reading JKL file, expected token '4:' not found."},
      {Replace(text, "World adjoins 1", "World adjoin 1"),
       "Error reading JKL file, expected token 'WORLD ADJOINS' not found."},
      {Replace(text, "World sectors 2", "World sectors 3"),
       "Error reading JKL file, expected token 'SECTOR 2' not found."},
      {Replace(text, "SURFACES 2 1", "SURFACE 2 1"),
       "Error reading JKL file, expected token 'SURFACES' not found."},
      {Replace(text, "World surfaces 3", "World surfaces 4"),
       "Error reading JKL file, expected token '3:' not found."},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(c.text), c.message);
}

TEST(JklReader, BadWordsNameTheWord) {
  const std::string text = LevelText().Text();
  using rtl::EConvertError;
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "0: 0x1 7 0", "0: 0x1 seven 0")),
            "'seven' is not a valid integer value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "World vertices 4", "World vertices")),
            "'' is not a valid integer value");
  EXPECT_EQ(
      LoadError<EConvertError>(Replace(text, "World vertices 4", "World vertices 99999999999")),
      "'99999999999' is not a valid integer value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "2: -1 0 0", "2: -1 0,5 0")),
            "'0,5' is not a valid floating point value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "1: 16 32", "1: 16 1e999")),
            "'1e999' is not a valid floating point value");
  // Finite as a Double but not as a Single.
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "2: -1 0 0", "2: -1e39 0 0")),
            "'-1e39' is not a valid floating point value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "0: 0 0 -1", "0: 0 0 3.4028236e38")),
            "'3.4028236e38' is not a valid floating point value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "0: 5 1 2 3 0.5 10", "0: 5 1 2 3 0.5 1e40")),
            "'1e40' is not a valid floating point value");
  // A pair without "," has an empty vertex number.
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "3 3,1 1,1 2,1", "3 3,1 11 2,1")),
            "'' is not a valid integer value");
  EXPECT_EQ(LoadError<EConvertError>(Replace(text, "3 3,1 1,1 2,1", "3 3,1 1,x 2,1")),
            "'x' is not a valid integer value");

  // The largest Single itself is a coordinate.
  TJKLevel level;
  Load(level, Replace(text, "2: -1 0 0", "2: -3.4028234e38 0 0"));
  EXPECT_EQ(level.Vertices.Items(2)->X, -3.4028234e38f);
}

TEST(JklReader, BadIndicesNameTheIndex) {
  const std::string text = LevelText().Text();
  EXPECT_EQ(LoadError<rtl::EStringListError>(Replace(text, "1:\t1\t0\t0", "1:\t3\t0\t0")),
            "List index out of bounds (3)");
  EXPECT_EQ(LoadError<rtl::EStringListError>(Replace(text, "1:\t1\t0\t0", "1:\t-2\t0\t0")),
            "List index out of bounds (-2)");
  EXPECT_EQ(LoadError<rtl::EListError>(Replace(text, "3 3,1 1,1 2,1", "3 3,1 4,1 2,1")),
            "Vertex Index is out of bounds: 4");
  EXPECT_EQ(LoadError<rtl::EListError>(Replace(text, "3 3,1 1,1 2,1", "3 3,1 1,2 2,1")),
            "Texture Vertex Index is out of bounds: 2");
  // The texture vertex is fetched before the vertex.
  EXPECT_EQ(LoadError<rtl::EListError>(Replace(text, "3 3,1 1,1 2,1", "3 -7,9 1,1 2,1")),
            "Texture Vertex Index is out of bounds: 9");
  EXPECT_EQ(LoadError<rtl::EListError>(Replace(text, "SURFACES 2 1", "SURFACES 2 5")),
            "Surface Index is out of bounds: 3");
  EXPECT_EQ(LoadError<rtl::EListError>(Replace(text, "SURFACES 2 1", "SURFACES -1 1")),
            "Surface Index is out of bounds: -1");
  EXPECT_EQ(
      LoadError<rtl::EListError>(Replace(text, "SURFACES 2 1", "SURFACES 2147483647 2147483647")),
      "Surface Index is out of bounds: 2147483647");
}

TEST(JklReader, WhatWasReadBeforeAFailureStays) {
  TJKLevel level;
  std::string text = Replace(LevelText().Text(), "World sectors 2", "World sectors 3");
  EXPECT_THROW(Load(level, text), rtl::Exception);
  EXPECT_EQ(level.Vertices.Count(), 4);
  EXPECT_EQ(level.Surfaces.Count(), 3);
  EXPECT_EQ(level.Sectors.Count(), 2);
  EXPECT_EQ(level.Things.Count(), 0);
}

// Regressions for faults the plain line-by-line design had.

TEST(JklReaderRegression, FinalLinesAreExamined) {
  // The light entry is the text's last line, its count the one before, with no line break.
  LevelText t;
  t.lights = "Section: Lights\r\nEditor lights 1\r\n0: 5 1 2 3 0.5 10";
  TJKLevel level;
  Load(level, t.Text());
  ASSERT_EQ(level.Lights.size(), 1u);
  EXPECT_EQ(level.Lights[0]->Value2, 10.0f);

  // A section header on the very last line.
  t.lights = "Section: Lights";
  EXPECT_EQ(LoadError(t.Text()),
            "Error reading JKL file, expected token 'EDITOR LIGHTS' not found.");
  // The last thing entry, with nothing after it.
  t.lights.clear();
  t.things = "Section: Things\r\nWorld things 1\r\n0: a b 1 2 3 4 5 6";
  Load(level, t.Text());
  EXPECT_EQ(level.Things.Objects(0)->Roll, 6.0f);
}

TEST(JklReaderRegression, EmptyTextIsAMissingSection) {
  EXPECT_EQ(LoadError(""), "Error reading JKL file, MATERIALS section not found.");
  EXPECT_EQ(LoadError(std::string("\0SECTION: MATERIALS", 19)),
            "Error reading JKL file, MATERIALS section not found.");
  EXPECT_EQ(LoadError("\r\n"), "Error reading JKL file, MATERIALS section not found.");
  TJKLevel level;
  EXPECT_THROW(level.LoadFromStrings(std::vector<std::string>{}), rtl::Exception);
  EXPECT_THROW(level.LoadFromText(nullptr, 0), rtl::Exception);
}

TEST(JklReaderRegression, HugeCountsEndQuicklyInTheTokenError) {
  const std::string text = LevelText().Text();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LoadError(Replace(text, "World vertices 4", "World vertices 2147483647")),
            "Error reading JKL file, expected token '4:' not found.");
  // Negative counts lose their sign with the other non-digits.
  EXPECT_EQ(LoadError(Replace(text, "World vertices 4", "World vertices -2000000000")),
            "Error reading JKL file, expected token '4:' not found.");
  EXPECT_EQ(LoadError(Replace(text, "World sectors 2", "World sectors 2000000000")),
            "Error reading JKL file, expected token 'SECTOR 2' not found.");
  // Without its "end" line the materials table runs on into the vertices.
  EXPECT_EQ(LoadError(Replace(Replace(text, "World materials 512", "World materials 1999999999"),
                              "end\r\nSECTION: GEO", "SECTION: GEO")),
            "Error reading JKL file, expected token '4:' not found.");
  // A corner count in the billions on a line whose last word is a valid pair.
  EXPECT_EQ(LoadError(Replace(text, "3 0,-1 1,-1 2,-1 0 0 0", "2000000000 0,-1")),
            "Error reading JKL file, surface 2 has fewer corners than its count 2000000000.");
  EXPECT_EQ(LoadError(Replace(text, "3 0,-1 1,-1 2,-1 0 0 0", "4 0,-1 1,-1 2,-1")),
            "Error reading JKL file, surface 2 has fewer corners than its count 4.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(JklReaderRegression, OverlappingSectorRangesCannotExhaustMemory) {
  // 2,000 surfaces and 2,000 sectors each claiming all of them: four million references from a
  // text of a hundred kilobytes.
  std::string text =
      "SECTION: MATERIALS\nWorld materials 1\n0: a.mat\nSECTION: GEORESOURCE\n"
      "World vertices 1\n0: 0 0 0\nWorld texture vertices 0\nWorld adjoins 0\n"
      "World surfaces 2000\n";
  for (int i = 0; i < 2000; ++i) text += std::to_string(i) + ": 0 0 0 0 0 0 -1 0 0\n";
  for (int i = 0; i < 2000; ++i) text += std::to_string(i) + ": 0 0 1\n";
  text += "SECTION: SECTORS\nWorld sectors 2000\n";
  for (int i = 0; i < 2000; ++i) text += "SECTOR " + std::to_string(i) + "\nSURFACES 0 2000\n";
  text += "SECTION: THINGS\nWorld things 0\n";
  std::string message = LoadError(text);
  // 2,000 surfaces plus 8,013 lines: the limit is passed in the sixth sector.
  EXPECT_EQ(message,
            "Error reading JKL file, sector 5 lists more surfaces than the level can hold.");
}

TEST(JklReaderRegression, MegabyteLines) {
  LevelText t;
  std::string blanks(3 << 20, ' ');
  for (size_t i = 0; i < blanks.size(); i += 3) blanks[i] = '\t';
  std::string longWord(2 << 20, 'w');
  t.geo = Replace(t.geo, "2: -1 0 0", "2:" + blanks + "-1" + blanks + "0 0 " + longWord);
  t.head += std::string(4 << 20, '#') + "\r\n";
  TJKLevel level;
  Load(level, t.Text());
  EXPECT_EQ(level.Vertices.Items(2)->X, -1.0f);
  EXPECT_EQ(level.Vertices.Items(2)->Y, 0.0f);

  // A megabyte of digits is an out-of-range number, not a crash.
  std::string digits(1 << 20, '7');
  EXPECT_EQ(LoadError<rtl::EConvertError>(
                Replace(LevelText().Text(), "2: -1 0 0", "2: " + digits + " 0 0")),
            "'" + digits + "' is not a valid floating point value");
  EXPECT_EQ(
      LoadError<rtl::EConvertError>(Replace(LevelText().Text(), "0: 0x1 7 0", "0: 0x1 " + digits)),
      "'" + digits + "' is not a valid integer value");
}

TEST(JklLineCleaning, MatchesThePlainStringProcedures) {
  // The reader cleans and splits each line in one pass; it must agree with the composition of
  // the string procedures it replaces.
  const std::vector<std::string> lines = {
      "",
      " ",
      "\t",
      "a",
      "  0:\t1  2\t\t3  ",
      "SECTION: x # y",
      "#only",
      "a#b#c",
      "\x01 a \x02 b\x03",
      "x \x01\x01 y",
      " \t \x7f \t",
      "1: 2,3 \t 4,5 .5\r",
      std::string("a\0b c", 5),
      "end ",
      "w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11",
      "\x1f\x20\x21",
  };
  std::string clean;
  std::vector<std::string_view> words;
  for (const std::string& raw : lines) {
    std::string expected = raw.substr(0, raw.find('#'));
    expected = rtl::Trim(CollapseSpaces(ReplaceChar(expected, '\t', ' ')));
    CleanJklLine(raw, clean);
    EXPECT_EQ(clean, expected) << "line '" << raw << "'";
    std::string upper = rtl::UpperCase(clean);
    for (std::string token :
         {"SECTOR 1", "A B", "1:", "X Y", "W1 W2 W3", "SECTION:", "END", "A", "0: 1 2 3"}) {
      EXPECT_EQ(JklLineStartsWith(raw, token), upper.compare(0, token.size(), token) == 0)
          << "line '" << raw << "' token '" << token << "'";
    }
    SplitJklWords(clean, words);
    for (int i = 0; i < 14; ++i) {
      std::string fromSplit =
          words.empty() ? std::string() : std::string(words[std::min<size_t>(i, words.size() - 1)]);
      EXPECT_EQ(fromSplit, GetWord(clean, i)) << "line '" << raw << "' word " << i;
    }
  }
}

// The benchmarks' generated level must be one the reader takes, with the shape it claims.
TEST(JklReader, ReadsTheGeneratedBenchmarkLevel) {
  std::string text = GenerateJklLevel(20);  // three whole sectors and a partial one
  TJKLevel level;
  Load(level, text);
  EXPECT_EQ(level.Surfaces.Count(), 20);
  ASSERT_EQ(level.Sectors.Count(), 4);
  EXPECT_EQ(level.Sectors.Items(3)->Surfaces.Count(), 2);
  EXPECT_EQ(level.Vertices.Count(), 32);
  EXPECT_EQ(level.TXVertices.Count(), 80);
  EXPECT_EQ(level.Adjoins, (std::vector<int32_t>{1, 0, 3, 2, 5, 4}));
  EXPECT_EQ(level.Materials.Count(), 64);
  EXPECT_EQ(level.Things.Count(), 1);
  EXPECT_EQ(level.Lights.size(), 1u);
  EXPECT_EQ(level.Surfaces.Items(1)->Adjoin, 0);
  EXPECT_EQ(level.Surfaces.Items(6)->Adjoin, 1);
  EXPECT_EQ(level.Surfaces.Items(6)->MaterialName, "dflt.mat");
  // As in real levels, the stored normal faces into the sector, opposite to the one that the
  // corners give.
  for (int i = 0; i < level.Surfaces.Count(); ++i) {
    TSurface* s = level.Surfaces.Items(i);
    TVector3 stored = s->Normal, computed;
    s->Normal = TVector3{};
    s->GetNormal(computed);
    EXPECT_EQ(stored.X, -computed.X) << i;
    EXPECT_EQ(stored.Y, -computed.Y) << i;
    EXPECT_EQ(stored.Z, -computed.Z) << i;
  }
}

// Every reader error names where it happened: the text (when it has a name) and the line, or
// for a search that ran out of lines the line it began on. The class of the error is kept.
TEST(JklErrorPlaces, MessagesNameTheFileAndLine) {
  LevelText t;
  // "3: 0 -1 2.775558E-17" is line 19 of the text.
  const std::string bad = Replace(t.Text(), "3: 0 -1 2.775558E-17", "3: 0 zz 1");
  EXPECT_EQ(LoadError<rtl::EConvertError>(bad), "'zz' is not a valid floating point value");

  testing_support::TempDir dir;
  const std::string path = dir / "bad level.jkl";
  testing_support::WriteFile(path, bad);
  TJKLevel level;
  try {
    level.LoadFromFile(path);
    ADD_FAILURE() << "read";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(), "'zz' is not a valid floating point value (in '" + path + "', line 19)");
  }

  // A level taken from a container is named as container>>entry.
  rtl::TStringList lines;
  lines.SetText(Replace(t.Text(), "World surfaces 3", "World surfaces x"));
  try {
    level.LoadFromStrings(lines, nullptr, "c.gob>>jkl\\a.jkl");
    ADD_FAILURE() << "read";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(), "'' is not a valid integer value (in 'c.gob>>jkl\\a.jkl', line 25)");
  }

  // Index errors of the lists, and a search that runs out: from where it began.
  try {
    Load(level, Replace(t.Text(), "1:\t1\t0\t0", "1:\t7\t0\t0"));
    ADD_FAILURE() << "read";
  } catch (const rtl::EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (7) (line 28)");
  }
  const std::string noThings = t.head + t.materials + t.geo + t.sectors;
  const size_t lastLine = static_cast<size_t>(std::count(noThings.begin(), noThings.end(), '\n'));
  try {
    Load(level, noThings);
    ADD_FAILURE() << "read";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(),
              "Error reading JKL file, THINGS section not found. (searched from line " +
                  std::to_string(lastLine) + " to the end)");
  }
}

// A word asked of a line that has too few is an error naming the line; the last word is not
// taken again, which read "2: -1 0" as the vertex (-1, 0, 0).
TEST(JklErrorPlaces, LinesWithTooFewWords) {
  LevelText t;
  TJKLevel level;
  try {
    Load(level, Replace(t.Text(), "2: -1 0 0", "2: -1 0"));
    ADD_FAILURE() << "read";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(),
              "Error reading JKL file, the line has 2 words after its label, 3 needed. (line 18)");
  }
  EXPECT_EQ(level.Vertices.Count(), 2);
  EXPECT_EQ(LoadError(Replace(t.Text(), "SURFACES 2 1", "SURFACES 2")),
            "Error reading JKL file, the line has 1 words after its label, 2 needed.");
  EXPECT_EQ(LoadError(Replace(t.Text(), "0: 5 1 2 3 0.5 10", "0: 5 1 2 3 0.5")),
            "Error reading JKL file, the line has 5 words after its label, 6 needed.");
}

// With a single surface, the normals search must not take the surface line "0:" itself for the
// normal (whose words 1 to 3 are the material, the flags and the face flags).
TEST(JklErrorPlaces, ALevelWithOneSurface) {
  LevelText t;
  t.geo = t.geo.substr(0, t.geo.find("World surfaces")) +
          "World surfaces 1\r\n"
          "0:\t2\t0x4\t0x4\t4\t3\t1\t-1\t0\t3 0,0 1,1 2,-1\r\n"
          "0: 0 0 -1\r\n";
  t.sectors = "Section: SECTORS\r\nWorld sectors 1\r\nSECTOR 0\r\nSURFACES 0 1\r\n";
  TJKLevel level;
  Load(level, t.Text());
  ASSERT_EQ(level.Surfaces.Count(), 1);
  EXPECT_EQ(level.Surfaces.Items(0)->MaterialName, "floor.mat");
  EXPECT_EQ(level.Surfaces.Items(0)->Normal.Z, -1.0f);
  EXPECT_EQ(level.Surfaces.Items(0)->Normal.X, 0.0f);

  // Without a normals table the surface line is no substitute either.
  t.geo = t.geo.substr(0, t.geo.find("0: 0 0 -1"));
  EXPECT_EQ(LoadError(t.head + t.materials + t.geo),
            "Error reading JKL file, expected token '0:' not found.");
}

// A corner whose texture vertex is -1 gets (0, 0) like any other, and its surface is marked, so
// that texture alignment does not fit to the stand-in.
TEST(JklReader, MissingTextureVertexMarksItsSurface) {
  TJKLevel level;
  Load(level, LevelText().Text());
  ASSERT_EQ(level.Surfaces.Count(), 3);
  EXPECT_TRUE(level.Surfaces.Items(0)->TXVertexMissing);  // '2,-1' among others
  EXPECT_FALSE(level.Surfaces.Items(1)->TXVertexMissing);
  EXPECT_TRUE(level.Surfaces.Items(2)->TXVertexMissing);
}
