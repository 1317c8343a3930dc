#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "level/O_3do.h"
#include "level/ThingTemplates.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

// A model in the shapes real files use: comments, tabs, lower-case keywords, hexadecimal flags,
// ".5" and exponent numbers, corner pairs with blanks after the comma, a name with a blank, and
// JED's hierarchy whose root names a child that names no parent.
struct ModelText {
  std::string head =
      "# MODEL test.3do\r\nSECTION: HEADER\r\n3DO 2.1\r\n"
      "SECTION: MODELRESOURCE\r\nMATERIALS 2\r\n0:\tWall.MAT\r\n1: floor.mat\r\n"
      "SECTION: GEOMETRYDEF\r\nRADIUS .5\r\nINSERT OFFSET 0 0 0\r\nGEOSETS 1\r\nGEOSET 0\r\n"
      "MESHES 2\r\n";
  std::string mesh0 =
      "MESH 0\r\nNAME Orphan things\r\nRADIUS 1\r\ngeometrymode\t4\r\n"
      "VERTICES 5\r\n0: 0 0 0 0\r\n1: 1 0 0 0\r\n2: 1 1 0 0\r\n3: 0 1 0 0\r\n4: 2e-005 0 0 0\r\n"
      "TEXTURE VERTICES 2\r\n0: 0 0\r\n1: 32 64\r\n"
      "VERTEX NORMALS\r\n0: 0 0 1\r\n1: 0 0 1\r\n2: 0 0 1\r\n3: 0 0 1\r\n4: 0 0 1\r\n"
      "FACES 3\r\n"
      "#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:\r\n"
      "0: 1 0x0 4 3 1 0.0000 4 0,  0 1,  1 2, 1 3,0 \r\n"
      "1: 0 0x1 4 3 1 0 3 0,0 0,0 2,1\r\n"
      "2: -1 0x0 4 3 1 0 3 0,0 4,0 1,1\r\n"
      "FACE NORMALS\r\n0: 0 0 1\r\n1: 0 0 1\r\n2: 0 0 -1\r\n";
  std::string mesh1 =
      "MESH 1\r\nNAME b\r\nVERTICES 3\r\n0: 0 0 0\r\n1: 0 1 0\r\n2: 0 0 1\r\n"
      "TEXTURE VERTICES 0\r\nVERTEX NORMALS\r\n0: 1 0 0\r\n1: 1 0 0\r\n2: 1 0 0\r\n"
      "FACES 1\r\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\r\nFACE NORMALS\r\n0: 1 0 0\r\n";
  std::string hierarchy =
      "SECTION: HIERARCHYDEF\r\nHIERARCHY NODES 3\r\n"
      "0: 0x0 0x0 -1 -1 1 -1 2 0 0 0 0 0 0 0 0 0 $$dummy\r\n"
      "1: 0x0 0x1 0 -1 -1 2 0 1 2 3 0 90 0 .5 0 0 torso&waist\r\n"
      "2: 0x0 0x1 1 1 -1 -1 0 0 0 1 0 0 0 0 0 0 head\r\n";
  std::string Text() const { return head + mesh0 + mesh1 + hierarchy; }
};

T3DOModel Read(const std::string& text) {
  T3DOModel m;
  m.LoadFromText(text.data(), text.size(), "test.3do");
  return m;
}

TEST(Model3do, ReadsMaterialsMeshesAndHierarchyInRealFilesShapes) {
  const T3DOModel m = Read(ModelText().Text());
  ASSERT_EQ(m.Materials.size(), 2u);
  EXPECT_EQ(m.FindMaterial("WALL.mat"), 0);
  EXPECT_EQ(m.FindMaterial("none.mat"), -1);
  EXPECT_FLOAT_EQ(m.Radius, 0.5f);
  ASSERT_EQ(m.Meshes.size(), 2u);
  const T3DOMesh& a = m.Meshes[0];
  EXPECT_EQ(a.Name, "Orphan things");
  EXPECT_EQ(a.GeometryMode, 4);
  ASSERT_EQ(a.Vertices.size(), 5u);
  EXPECT_FLOAT_EQ(a.Vertices[4].X, 2e-5f);
  EXPECT_FLOAT_EQ(a.TexVertices[1].V, 64);
  // Face 1 repeats a corner (two distinct left) and face 2 lies on a line: both skipped.
  ASSERT_EQ(a.Faces.size(), 1u);
  EXPECT_EQ(m.DegenerateFaces, 2);
  EXPECT_EQ(a.Faces[0].Material, 1);
  ASSERT_EQ(a.Faces[0].Count, 4u);
  EXPECT_EQ(a.Corners[a.Faces[0].First + 2].Vertex, 2);
  EXPECT_EQ(a.Corners[a.Faces[0].First + 2].TexVertex, 1);
  EXPECT_FLOAT_EQ(a.Faces[0].Normal.Z, 1);
  // A mesh without texture vertices: its corners name none.
  EXPECT_EQ(m.Meshes[1].Corners[0].TexVertex, -1);
  ASSERT_EQ(m.Nodes.size(), 3u);
  EXPECT_EQ(m.Nodes[1].Parent, -1);
  EXPECT_EQ(m.Nodes[1].Name, "torso&waist");
  EXPECT_FLOAT_EQ(m.Nodes[1].Yaw, 90);
  EXPECT_FLOAT_EQ(m.Nodes[1].Pivot.X, 0.5f);
  EXPECT_EQ(m.Nodes[2].Mesh, 1);
  EXPECT_EQ(m.Nodes[2].Parent, 1);
}

TEST(Model3do, KeepsTheFirstGeometrySetOnly) {
  ModelText t;
  t.head.replace(t.head.find("GEOSETS 1"), 9, "GEOSETS 2");
  // A second set of one mesh, which the hierarchy must not be read from.
  const std::string second =
      "GEOSET 1\r\nMESHES 1\r\nMESH 0\r\nVERTICES 0\r\nTEXTURE VERTICES 0\r\nVERTEX NORMALS\r\n"
      "FACES 0\r\nFACE NORMALS\r\n";
  const T3DOModel m = Read(t.head + t.mesh0 + t.mesh1 + second + t.hierarchy);
  EXPECT_EQ(m.GeometrySets, 2);
  EXPECT_EQ(m.Meshes.size(), 2u);
  EXPECT_EQ(m.Nodes.size(), 3u);
}

TEST(Model3do, FaultsNameWhatAndTheLine) {
  struct Case {
    const char* what;
    std::string from, to;
    const char* message;
    int line;  // 0: the place names a search that ran to the end
  };
  const Case cases[] = {
      {"a count beyond the lines left", "VERTICES 5", "VERTICES 900000",
       "VERTICES counts 900000 rows, but only", 18},
      {"a corner's vertex outside the mesh", "1: 0 0x1 4 3 1 0 3 0,0 0,0 2,1",
       "1: 0 0x1 4 3 1 0 3 0,0 9,0 2,1", "face 1 names vertex 9; the mesh has 5.", 36},
      {"a material outside the list", "0: 1 0x0 4 3 1 0.0000", "0: 2 0x0 4 3 1 0.0000",
       "face 0 names material 2; the model has 2.", 35},
      {"a texture vertex outside the mesh", "0,  0 1,  1", "0,  0 1,  7",
       "face 0 names texture vertex 7; the mesh has 2.", 35},
      {"more corners than the line holds", "0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0",
       "0: 0 0x0 4 3 0 0 5 0,0 1,0 2,0", "face 0 counts 5 corners, but its line holds 3.", 54},
      {"a count met only by blank and comment lines", "VERTICES 5",
       "VERTICES 60" + std::string(40, '\n') + std::string(40, '#') + "\n",
       "VERTICES counts 60 rows, but only", 18},
      {"a lone comma among a face's values", "0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0",
       "0: 0 0x0 4 3 0 , 200", "row 0 of FACES has 6 values, 7 needed.", 54},
      {"a face row of commas alone", "0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0", ", ,",
       "expected row 0 of FACES.", 54},
      {"a row out of order", "3: 0 1 0 0", "4: 0 1 0 0", "expected row 3 of VERTICES.", 22},
      {"a node's mesh outside the set", "2: 0x0 0x1 1 1", "2: 0x0 0x1 5 1",
       "node 2 names mesh 5; the first geometry set has 2.", 61},
      {"a node that is its own ancestor", "1: 0x0 0x1 0 -1", "1: 0x0 0x1 0 2",
       "node 1 is its own ancestor.", 60},
      {"a coordinate that is no number", "2: 1 1 0 0", "2: 1 x 0 0",
       "'x' is not a valid floating point value", 21},
      {"a missing table", "FACE NORMALS\r\n0: 1 0 0", "FACE NORMAL\r\n0: 1 0 0",
       "'FACE NORMALS' not found.", 0},
  };
  for (const Case& c : cases) {
    std::string text = ModelText().Text();
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.what;
    text.replace(at, c.from.size(), c.to);
    try {
      Read(text);
      ADD_FAILURE() << c.what << ": read without an error";
    } catch (const rtl::Exception& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
      const std::string place = c.line ? "(in 'test.3do', line " + std::to_string(c.line) + ")"
                                       : "(in 'test.3do', searched from line";
      EXPECT_NE(message.find(place), std::string::npos) << c.what << ": " << message;
    }
  }
  T3DOModel empty;
  EXPECT_THROW(empty.LoadFromText("", 0, "e.3do"), rtl::Exception);
  // The limit of a model file holds for text from anywhere (a container's entry).
  const std::string huge = ModelText().Text() + std::string(static_cast<size_t>(Max3DOBytes), ' ');
  EXPECT_THROW(empty.LoadFromText(huge.data(), huge.size(), "big.3do"), rtl::EFileTooLarge);
}

TEST(ThingTemplates, ChainsGiveModelCollisionTypeAndMotion) {
  const std::string text =
      "SECTION: TEMPLATES\nWorld templates 6\n#Name: Based On: Params:\n"
      "_decor none orient=(0/0/0) type=cog collide=1 move=path\n"
      "_structure _decor collide=3 thingflags=0x8\n"
      "_walkstruct _structure thingflags=0x400048\n"
      "Catwalk _walkstruct model3d=catwalk1.3DO size=.45\n"
      "big 07lift model3d=elev.3do\n"
      "loopA loopB model3d=a.3do\nloopB loopA type=item\n"
      "end\nSECTION: THINGS\n";
  std::vector<std::string_view> lines;
  rtl::SplitLineViews(text.data(), text.size(), lines);
  TThingTemplates templates;
  ReadThingTemplates(lines, templates);
  EXPECT_EQ(templates.Count(), 7u);

  struct Case {
    std::string templ, own;
    std::string model, type;
    int collide;
    bool structure, moves;
  };
  const Case cases[] = {
      {"catwalk", "", "catwalk1.3DO", "cog", 3, true, false},
      // The thing's own words override the chain's; frames make it move.
      {"Catwalk", "model3d=other.3do numframes=2 frame=(1/2/3:0/0/0)", "other.3do", "cog", 3, true,
       true},
      {"BIG", "", "elev.3do", "", 0, false, true},  // a lift by its (unknown) base's name
      {"_decor", "soundclass=lg_elev.snd", "", "cog", 1, false, true},
      {"loopA", "", "a.3do", "item", 0, false, false},  // a chain that loops ends
      {"unknown", "model3d=x.3do", "x.3do", "", 0, false, false},
  };
  for (const Case& c : cases) {
    const TThingModel m = ResolveThing(templates, c.templ, ParseThingParams(c.own));
    EXPECT_EQ(m.Model3d, c.model) << c.templ;
    EXPECT_EQ(m.Type, c.type) << c.templ;
    EXPECT_EQ(m.Collide, c.collide) << c.templ;
    EXPECT_EQ(m.Structure, c.structure) << c.templ;
    EXPECT_EQ(m.Moves(), c.moves) << c.templ;
  }
}

// A chain thousands deep resolves once per template: each thing gets the nearest setting of each
// key, the root's where no nearer template sets it, and a chain that comes back ends.
TEST(ThingTemplates, ADeepChainResolvesLikeAShallowOne) {
  std::string text =
      "SECTION: TEMPLATES\nWorld templates 5003\n_base none model3d=root.3do type=cog\n";
  for (int i = 1; i <= 5000; ++i)
    text += "t" + std::to_string(i) + " " +
            (i == 1 ? std::string("_base") : "t" + std::to_string(i - 1)) +
            (i == 2500 ? " type=item collide=1 Type=actor" : "") + "\n";
  text += "loopA loopB model3d=a.3do\nloopB loopA collide=3\nend\n";
  std::vector<std::string_view> lines;
  rtl::SplitLineViews(text.data(), text.size(), lines);
  TThingTemplates templates;
  ReadThingTemplates(lines, templates);
  for (int thing = 0; thing < 200; ++thing) {
    const TThingModel deep = ResolveThing(templates, thing % 2 ? "T5000" : "t2499", {});
    EXPECT_EQ(deep.Model3d, "root.3do");
    EXPECT_EQ(deep.Type, thing % 2 ? "actor" : "cog");  // the last setting of a line counts
    EXPECT_EQ(deep.Collide, thing % 2 ? 1 : 0);
  }
  std::string value;
  EXPECT_TRUE(templates.Param("loopA", "COLLIDE", value));
  EXPECT_EQ(value, "3");
  EXPECT_FALSE(templates.Param("loopB", "size", value));
  EXPECT_FALSE(templates.Param("nothing", "model3d", value));
}

}  // namespace
