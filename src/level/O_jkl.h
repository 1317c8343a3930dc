// The level model: what the rest of Morvane needs of a Jedi Knight level, read from JKL text.
//
// The reader is one forward pass over the lines. It looks only for the section headers, count
// lines and numbered entries it needs; every other line is passed over. Each failure raises an
// rtl::Exception (or one of its descendants) whose message names what was wrong, followed by
// where: the text's name when it has one and the line ("(in 'a.jkl', line 12)"), or for a search
// that ran out of lines the line it began on. Whatever was read before the failing line stays in
// the level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "level/O_ComEnt.h"
#include "level/O_geo.h"
#include "level/Progress.h"
#include "level/ThingTemplates.h"
#include "rtl/Classes.h"

// The largest level text read: real levels hold up to a few megabytes.
constexpr int64_t MaxLevelBytes = 64 << 20;

class TJKLevel {
 public:
  std::string Name;                // the file name without folder and extension
  rtl::TStringList Materials;      // word 1 of each MATERIALS entry, duplicates kept
  rtl::TStringList UsedMaterials;  // materials the surfaces use, each once (case-insensitive)
  TOwnedVertexList Vertices;
  TTXVertexList TXVertices;
  std::vector<int32_t> Adjoins;  // word 2 of each adjoin entry
  // Word 1 of each adjoin entry (0 when it is no number): 0x2 lets the player pass.
  std::vector<int32_t> AdjoinFlags;
  // The colormaps the level names ("World Colormaps"), in order; the first is its palette.
  std::vector<std::string> Colormaps;
  // Every surface of the file, item i being surface i. The level owns them, not the sectors, so
  // that a surface that no sector lists, or that two sectors list, is still released once.
  TOwnedSurfaceList Surfaces;
  T3DMeshList Sectors;                        // each sector's Surfaces refer to items of Surfaces
  rtl::TObjectStringList<TEntityRec> Things;  // template name with its record
  std::vector<std::unique_ptr<TLightRec>> Lights;
  // The "key=value" words each thing's line carries after its sector, item i for thing i, and
  // the level's templates: what the things are drawn with (read leniently, never failing).
  std::vector<TThingParams> ThingParams;
  TThingTemplates Templates;

  // How the game lights the surfaces (words the brush conversion does not read), item i for
  // surface i; words that are missing or unreadable count 0.
  struct TSurfaceLight {
    int32_t FaceFlags = 0;  // 1 drawn from both sides, 2 translucent
    int32_t LightMode = 0;  // 0: fully lit
    float ExtraLight = 0;
    uint32_t First = 0;  // its corners' intensities: Intensities[First + corner]
  };
  std::vector<TSurfaceLight> SurfaceLights;
  std::vector<float> Intensities;
  std::vector<float> SectorExtraLight;  // each sector's EXTRA LIGHT, item i for sector i
  std::vector<int32_t> SectorFlags;     // each sector's FLAGS (0x2: under water), 0 when missing
  // Whether two sectors (or one, twice) list one surface: each step that walks the sectors'
  // surfaces then takes such a surface once, with the first sector that lists it.
  bool SurfacesShared = false;

  TJKLevel() = default;
  ~TJKLevel() { Clear(); }
  TJKLevel(const TJKLevel&) = delete;
  TJKLevel& operator=(const TJKLevel&) = delete;

  // Releases everything the level holds and empties every list.
  void Clear();
  // Name = the part after the last "\", "/" or ":", without its extension.
  void SetNameFromFile(const std::string& FileName);
  // Each reader raises on a fault, naming the file or text and the line.
  // Reads a file (EFOpenError "Cannot open file %s" leaves the level as it was), then sets Name.
  void LoadFromFile(const std::string& FileName, TProgressProc Progress = nullptr);
  // Reads JKL text held in memory: lines end at CR LF, CR or LF, and a NUL byte ends the text.
  // Name is left alone. SourceName, when given, is how errors name the text ("in '<name>',
  // line 12"); a level taken from a container is named "container>>entry".
  void LoadFromText(const char* Data, size_t Size, TProgressProc Progress = nullptr,
                    const std::string& SourceName = std::string());
  // Reads a level from lines, as a container entry's text arrives.
  void LoadFromStrings(const rtl::TStringList& Lines, TProgressProc Progress = nullptr,
                       const std::string& SourceName = std::string());
  void LoadFromStrings(const std::vector<std::string>& Lines, TProgressProc Progress = nullptr,
                       const std::string& SourceName = std::string());

 private:
  void Read(const std::vector<std::string_view>& Lines, TProgressProc Progress,
            const std::string& SourceName);

  // Room for the corner references of Surfaces and the surface references of Sectors, which the
  // level owns: one store instead of a heap block per list, released by Clear.
  TRefStore refs_;
};
