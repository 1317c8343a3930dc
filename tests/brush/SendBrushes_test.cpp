#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "support/HandOff.h"
#include "support/RecordingHost.h"

using namespace brush_test;
using recording_host::TRecordingHost;

namespace {

// Installs a recording host into the plug-in's table for one test and restores the table after.
class HandOff : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ThePlugin().Table();
    host.RecordCalls = true;  // these tests watch the calls
    host.Install(ThePlugin().Table());
  }
  void TearDown() override { ThePlugin().Table() = saved_; }

  // The brushes of one level, converted with scale 1 and depth 8.
  void Convert(LevelBuilder& b) {
    TSlabSettings slab = Slab(1, 8);
    MakeBrushLevel(b.Level, brushes, nullptr, TImportOptions(), &slab);
  }
  void Send(const std::string& nonVisTex, const std::string& prefix = "abc/") {
    HandOffBrushLevel(brushes, prefix, nonVisTex);
  }
  std::vector<std::string> Slots() const {
    std::vector<std::string> s;
    for (const auto& c : host.Calls) s.push_back(c.Slot);
    return s;
  }

  TRecordingHost host;
  TBrushLevel brushes;

 private:
  THostFuncTable saved_;
};

std::vector<TVector3> Triangle() { return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}; }

}  // namespace

TEST_F(HandOff, CallOrderPointsAndTextures) {
  LevelBuilder b;
  b.AddSurface(Triangle(), -1, 0, "wall.mat");
  b.AddSurface(Triangle(), -1, 0x400, "sky\\dark.blue.mat");
  Convert(b);
  Send("system/nodraw");

  std::vector<std::string> perBrush = {"NewBrush", "AddFace", "AddFace",     "AddFace",
                                       "AddFace",  "AddFace", "GetFaceCount"};
  for (int j = 0; j < 5; ++j)
    perBrush.insert(perBrush.end(), {"GetFaceData", "GetFaceCount", "SetFaceData"});
  perBrush.push_back("CommitBrush");
  std::vector<std::string> expected = perBrush;
  expected.insert(expected.end(), perBrush.begin(), perBrush.end());
  EXPECT_EQ(Slots(), expected);

  ASSERT_EQ(host.Committed.size(), 2u);
  EXPECT_EQ(host.PendingCount(), 0u);
  for (int i = 0; i < 2; ++i) {
    const auto& faces = host.Committed[static_cast<size_t>(i)].Faces;
    ASSERT_EQ(faces.size(), 5u);
    // The host numbers faces backwards: its last face is the first one added, the front face.
    const T3DMesh& brush = *brushes.Brushes.Items(i);
    for (int j = 0; j < 5; ++j) {
      const auto& face = faces[static_cast<size_t>(4 - j)];
      const TSurface& mine = *brush.Surfaces.Items(j);
      TVector3 c;
      mine.GetCentre(c);
      EXPECT_EQ(face.P1[0], mine.Vertices.Items(0)->X);
      EXPECT_EQ(face.P1[1], mine.Vertices.Items(0)->Y);
      EXPECT_EQ(face.P2[2], mine.Vertices.Items(1)->Z);
      EXPECT_EQ(face.P3[0], c.X);
      EXPECT_EQ(face.P3[1], c.Y);
      // Only name and flags change; the host's texture settings stay.
      EXPECT_EQ(face.ScaleS, 0.5f);
      EXPECT_EQ(face.ShiftS, 0);
      EXPECT_EQ(face.Flags, i == 0 ? 0 : 4) << "every face of a sky brush is sky";
    }
    for (int j = 0; j < 4; ++j)
      EXPECT_EQ(faces[static_cast<size_t>(j)].TextureName, "system/nodraw");
  }
  EXPECT_EQ(host.Committed[0].Faces[4].TextureName, "abc/wall");
  // Only the last point after the last delimiter starts the extension.
  EXPECT_EQ(host.Committed[1].Faces[4].TextureName, "abc/sky\\dark.blue");
}

TEST_F(HandOff, MaterialNamesWithoutExtension) {
  EXPECT_EQ(MaterialTextureName("wall.mat"), "wall");
  EXPECT_EQ(MaterialTextureName("wall"), "wall");
  EXPECT_EQ(MaterialTextureName("a.b\\wall"), "a.b\\wall");
  EXPECT_EQ(MaterialTextureName("a.b/wall"), "a.b/wall");
  EXPECT_EQ(MaterialTextureName("c:wall"), "c:wall");
  EXPECT_EQ(MaterialTextureName("x.y.mat"), "x.y");
}

TEST_F(HandOff, EmptyNonVisTexKeepsHostNamesAndLongNamesAreCut) {
  const std::string longName(1500, 'm');
  LevelBuilder b;
  b.AddSurface(Triangle(), -1, 0, longName + ".mat");
  Convert(b);
  Send("");
  ASSERT_EQ(host.Committed.size(), 1u);
  const auto& faces = host.Committed[0].Faces;
  for (int j = 0; j < 4; ++j) EXPECT_EQ(faces[static_cast<size_t>(j)].TextureName, "system/caulk");
  EXPECT_EQ(faces[4].TextureName, ("abc/" + longName).substr(0, 1023));

  TRecordingHost other;
  other.Install(ThePlugin().Table());
  Send(std::string(2000, 'n'));
  ASSERT_EQ(other.Committed.size(), 1u);
  EXPECT_EQ(other.Committed[0].Faces[0].TextureName, std::string(1023, 'n'));
}

TEST_F(HandOff, FacesWithTooFewCornersAndEmptyLevels) {
  // An empty brush level makes no call.
  Send("system/nodraw");
  EXPECT_TRUE(host.Calls.empty());

  LevelBuilder b;
  b.AddSurface({});
  Convert(b);
  Send("system/nodraw");
  EXPECT_EQ(Slots(), (std::vector<std::string>{"NewBrush", "GetFaceCount", "CommitBrush"}));
  ASSERT_EQ(host.Committed.size(), 1u);
  EXPECT_TRUE(host.Committed[0].Faces.empty());
}

TEST_F(HandOff, FaultyEditorRaisesClearErrors) {
  LevelBuilder b;
  b.AddSurface(Triangle());
  b.AddSurface(Triangle());
  Convert(b);
  auto expectError = [&](const char* message) {
    try {
      HandOffBrushLevel(brushes, "abc/");
      ADD_FAILURE() << "no error";
    } catch (const rtl::Exception& e) {
      EXPECT_STREQ(e.what(), message);
    }
  };

  host.NewBrushReturnsNull = true;
  expectError("The editor returned no brush");
  EXPECT_EQ(Slots(), (std::vector<std::string>{"NewBrush"}));

  host.NewBrushReturnsNull = false;
  host.NullFaceDataAt = 2;
  host.Calls.clear();
  expectError("The editor returned no face data for face 2");
  EXPECT_EQ(host.Calls.back().Slot, "GetFaceData");
  EXPECT_TRUE(host.Committed.empty());

  // A table without one of the slots stops before anything is begun.
  host.NullFaceDataAt = -1;
  host.Calls.clear();
  ThePlugin().Table().SetFaceData = nullptr;
  expectError("The editor does not provide the function SetFaceData");
  EXPECT_TRUE(host.Calls.empty());
}

// The hand-off decides nothing: the editor holds the faces exactly as they were decided (points,
// texture or the editor's own, projection, contents, flags), and an editor that holds another
// number of faces than it was given would put them on the wrong faces: a clear error instead.
TEST_F(HandOff, EditorHoldsTheFacesAsDecided) {
  TEditorBrush given;
  given.Faces.resize(3);
  for (size_t j = 0; j < 3; ++j) {
    TEditorFace& f = given.Faces[j];
    const float v = static_cast<float>(j);
    f.P1[0] = v, f.P1[1] = 0, f.P1[2] = 0;
    f.P2[0] = 0, f.P2[1] = v + 1, f.P2[2] = 0;
    f.P3[0] = 0, f.P3[1] = 0, f.P3[2] = v + 2;
    f.Flags = 4;
  }
  given.Faces[0].TextureName = "lvl/back";
  given.Faces[0].Contents = DetailContents;
  given.Faces[1].TextureName = "not/sent";
  given.Faces[1].EditorTexture = true;
  TEditorFace& front = given.Faces[2];
  front.TextureName = "lvl/front";
  front.Fitted = true;
  front.ShiftS = 3, front.ShiftT = 4, front.Rotate = 90, front.ScaleS = 0.25f, front.ScaleT = 2;
  SendBrushesToHost({given}, nullptr);
  ASSERT_EQ(host.Committed.size(), 1u);
  const std::vector<TEditorFace>& held = host.Committed[0].Faces;
  ASSERT_EQ(held.size(), 3u);
  for (size_t j = 0; j < 3; ++j) {
    const TEditorFace &a = given.Faces[j], &e = held[j];
    EXPECT_EQ(std::memcmp(a.P1, e.P1, sizeof a.P1) | std::memcmp(a.P2, e.P2, sizeof a.P2) |
                  std::memcmp(a.P3, e.P3, sizeof a.P3),
              0)
        << j;
    EXPECT_EQ(e.TextureName, j == 1 ? "system/caulk" : a.TextureName) << j;
    EXPECT_EQ(
        std::make_tuple(e.Contents, e.Flags, e.ShiftS, e.ShiftT, e.Rotate, e.ScaleS, e.ScaleT),
        std::make_tuple(a.Contents, a.Flags, a.ShiftS, a.ShiftT, a.Rotate, a.ScaleS, a.ScaleT))
        << j;
  }

  host.Committed.clear();
  host.HoldsAtMost = 2;
  try {
    SendBrushesToHost({given}, nullptr);
    ADD_FAILURE() << "no error";
  } catch (const rtl::Exception& e) {
    EXPECT_STREQ(e.what(), "The editor holds 2 faces of a brush given 3 faces");
  }
  EXPECT_TRUE(host.Committed.empty());
}

// The host itself, driven through the table as the editor's would be.
TEST_F(HandOff, HostNumbersFacesBackwardsAndKeepsItsDefaults) {
  BrushHandle h = ThePlugin().Table().NewBrush();
  ASSERT_NE(h, nullptr);
  float a[3] = {1, 2, 3}, b[3] = {4, 5, 6}, c[3] = {7, 8, 9.5f};
  ThePlugin().Table().AddFace(h, a, b, c);
  ThePlugin().Table().AddFace(h, c, b, a);
  ASSERT_EQ(ThePlugin().Table().GetFaceCount(h), 2);
  EXPECT_EQ(ThePlugin().Table().GetFaceData(h, 2), nullptr);
  EXPECT_EQ(ThePlugin().Table().GetFaceData(h, -1), nullptr);

  TFaceData* first = ThePlugin().Table().GetFaceData(h, 1);  // the face added first
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->TextureName, "system/caulk");
  EXPECT_EQ(first->Point3[2], 9.5f);
  EXPECT_EQ(first->ScaleT, 0.5f);
  std::strcpy(first->TextureName, "x/y");
  first->Flags = 4;
  first->ScaleS = 2;  // taken like the editor takes it: texture alignment sets it
  ThePlugin().Table().SetFaceData(h, 1, first);
  ThePlugin().Table().CommitBrush(h);
  ThePlugin().Table().CommitBrush(h);  // a stale handle changes nothing

  ASSERT_EQ(host.Committed.size(), 1u);
  const auto& faces = host.Committed[0].Faces;
  EXPECT_EQ(faces[1].TextureName, "x/y");
  EXPECT_EQ(faces[1].Flags, 4);
  EXPECT_EQ(faces[1].ScaleS, 2);
  EXPECT_EQ(faces[1].ScaleT, 0.5f);
  EXPECT_EQ(faces[1].P1[0], 1);
  EXPECT_EQ(faces[0].TextureName, "system/caulk");
  EXPECT_EQ(faces[0].P1[2], 9.5f);
  EXPECT_EQ(host.Calls.back().Args, "unknown brush");

  ThePlugin().Table().ConsolePrint("hello\n");
  EXPECT_EQ(host.Console, std::vector<std::string>{"hello\n"});
  host.RecordCalls = false;
  const size_t calls = host.Calls.size();
  ThePlugin().Table().CommitBrush(ThePlugin().Table().NewBrush());
  EXPECT_EQ(host.Calls.size(), calls);
  EXPECT_EQ(host.Committed.size(), 2u);
}
