// The batch texture converter without its window: every *.mat file of a folder, or every entry
// under "mat\" of a GOB/GOO container, decoded with one palette and written as TGA or JPEG into
// an output folder. The dialog (FConvTex) and the command line ("morvane convert") both drive it.
//
// What a run reports:
//  - status texts, exactly as the dialog's status panel shows them:
//      " Status: (%d) %s..."   before each texture; from a folder the number is the texture's
//                              place in the run counting from 1 and %s the file name; from a
//                              container it is the number of textures handled before this one
//                              (so 0 for the first) and %s the whole entry key;
//      " Status: Done, converted %d textures"              when every texture was written;
//      " Status: Done, converted %d textures, %d failed"   when some were not;
//  - progress (Index, Count) before each texture, Index from 0 and below Count;
//  - for each texture that failed, its name and why.
//
// "Converted" counts only the images actually written. A texture that cannot be read, decodes to
// nothing (not a texture material) or cannot be written is counted as failed and the run goes
// on with the next one; nothing of a failed texture is left on disk. Errors that concern the
// whole run (the output folder cannot be made, the container cannot be read) raise and stop it;
// images written before stay.
#pragma once

#include <functional>
#include <string>

#include "texture/O_jkt.h"

class TJKContainer;

enum class TBatchInput { Directory, Container };
enum class TBatchFormat { TGA, JPEG };

struct TBatchOptions {
  TBatchInput Input = TBatchInput::Directory;
  // The input folder or the container file. Folder texts may end with "\" or "/" or not.
  std::string Source;
  // Created with its parents before anything is converted.
  std::string OutputDir;
  TPaletteRGB Palette = DefaultPalette;
  TBatchFormat Format = TBatchFormat::TGA;
};

struct TBatchCallbacks {
  std::function<void(const std::string& text)> Status;
  std::function<void(int index, int count)> Progress;
  std::function<void(const std::string& name, const std::string& reason)> Failure;
};

struct TBatchResult {
  bool Ran = false;  // false when a container input does not exist: nothing was done at all
  int Converted = 0;
  int Failed = 0;
};

// "Unable to create directory" (rtl::Exception) when the output folder cannot be made.
// An input folder is never created: an empty text or a folder that does not exist raises.
TBatchResult ConvertFromDir(const TBatchOptions& options, const TBatchCallbacks& callbacks);
// A container that does not exist gives an empty result (Ran false) and no status text.
TBatchResult ConvertFromContainer(const TBatchOptions& options, const TBatchCallbacks& callbacks);
// The one or the other, as options.Input says.
TBatchResult RunBatchConversion(const TBatchOptions& options, const TBatchCallbacks& callbacks);

// The image file name for a MAT name: its extension replaced by ".tga" or ".jpg".
std::string BatchImageName(const std::string& matName, TBatchFormat format);

// A palette named by one text: the path of a CMP file, or a container path, ">>" and the key of
// an entry inside it (split as SplitPaletteSource splits it). Raises "Cannot open file %s" for a
// missing file, "Stream read error" for fewer than 832 bytes, and "Palette entry '%s' not found in
// %s" for a missing entry.
TPaletteRGB ReadPaletteSource(const std::string& source);

// The dialog's palette pick from a chosen file: a ".cmp" file is read as a palette; from a
// ".gob" or ".goo" container the user picks an entry of "misc\cmp\" through select. True, with
// palette and shown (the file's path, or "CONTAINER>>KEY") filled, when a palette was read;
// false, with both untouched, when the pick was cancelled or the extension is another one. Read
// errors raise and leave both untouched.
using TEntrySelector =
    std::function<std::string(const TJKContainer& container, const std::string& folder)>;
bool PickPalette(const std::string& file, const TEntrySelector& select, TPaletteRGB& palette,
                 std::string& shown);
