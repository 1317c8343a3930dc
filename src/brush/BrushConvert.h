// The conversion of a read level into the brush model: every solid surface becomes a thin slab
// brush behind it, every thing a point entity, every editor light a copy, all scaled into editor
// units by the Scale setting; the slabs are BrushDepth units thick.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "brush/ConversionOptions.h"
#include "brush/FaceRoles.h"
#include "brush/O_brush.h"
#include "brush/SlabCorners.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// The two numbers of the conversion, resolved by the host before it starts. A host that fell
// back to a default has a console line to say so (Note); it is said where the conversion first
// needs the number, and only if it does, and Used tells the host which numbers were needed (the
// editor's plug-in keeps a number once it was used).
struct TSlabNumber {
  double Value = 0;
  std::string Note;
  bool Used = false;
};
struct TSlabSettings {
  TSlabNumber Scale{256, {}, false};
  TSlabNumber Depth{8, {}, false};
};

// What a conversion ran with and made: the hosts read these instead of working them out again.
struct TConversion {
  // Editor units per level unit of the brushes, entities and lights: the Scale setting, or the
  // one FitWorld chose.
  double Scale = 0;
  double Depth = 0;  // the slabs' depth
  int Slabs = 0;     // brushes made from solid surfaces
  int DrawnAdjoinSurfaces = 0, DrawnAdjoinBrushes = 0;
  int LeftOut = 0;     // surfaces that cleaning left without area
  int ShellBoxes = 0;  // a sealed level's structural boxes, after every other brush
  // A sealed level's block size for the map compiler, per axis; 0: the compiler's own.
  std::array<int, 3> BlockSize{0, 0, 0};
};

// The Scale and BrushDepth of one conversion, each asked for when a step first needs it (its
// note, if any, said then). With FitWorld, SealLevel or CleanSlabs the Scale is settled at once:
// with FitWorld the largest that keeps the map within the world's edge (one console line says
// when the level reaches beyond it), and with CleanSlabs the corners the surfaces share are
// found at that Scale.
class TConversionNumbers {
 public:
  TConversionNumbers(const TJKLevel& Level, const TConversionOptions& Options, TSlabSettings* Slab,
                     TConsoleProc Console);
  ~TConversionNumbers();
  TConversionNumbers(const TConversionNumbers&) = delete;
  TConversionNumbers& operator=(const TConversionNumbers&) = delete;

  double Scale();
  double Depth();
  const TSharedCorners* Shared() const { return shared_.get(); }
  // Read without asking: a number no step needed says no note.
  double ScaleRan() const { return fitted_ > 0 ? fitted_ : numbers_.Scale.Value; }
  const TSlabSettings& Settings() const { return numbers_; }

 private:
  double Use(TSlabNumber& Number);

  TSlabSettings defaults_;
  TSlabSettings& numbers_;
  TConsoleProc console_;
  double fitted_ = 0;
  std::unique_ptr<TSharedCorners> shared_;
};

// The slabs: every solid surface of Level becomes a slab brush appended to BrushLevel, and with
// ImportAdjoins every drawn adjoin a brush of its own (a pair of mirrored ones one brush). Level
// is only read. Progress, when given, is called once per sector. Bad geometry (a solid surface of
// one corner) raises the geometry lists' error and leaves BrushLevel partly filled for its owner
// to release. With Options.CleanSlabs, surfaces that cleaning leaves without area make no brush
// and are counted in Ran.LeftOut. With Roles, each front face gets its role. Each brush's record
// names the surface it was made from. Ran counts the slabs and drawn adjoins.
void ConvertSurfaces(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                     const TConversionOptions& Options, TConversionNumbers& Numbers,
                     const TFaceRoles* Roles, TConversion& Ran);

// One point entity per thing (info_player_deathmatch for a walkplayer, info_null for any other)
// and a copy of every editor light, scaled into editor units.
void ConvertThings(const TJKLevel& Level, TBrushLevel& BrushLevel, TConversionNumbers& Numbers);

// The conversion's closing lines (surfaces left out, drawn adjoins made), the Scale that would
// fit the world when the map reaches beyond it, and the numbers it ran with into Ran.
void EndConversion(const TJKLevel& Level, TBrushLevel& BrushLevel,
                   const TConversionOptions& Options, const TConversionNumbers& Numbers,
                   TConversion& Ran, const TConsoleProc& Console);
