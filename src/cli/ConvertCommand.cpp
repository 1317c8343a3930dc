// morvane convert: the batch texture conversion.
#include <iostream>
#include <map>
#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Inputs.h"
#include "cli/Terminal.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "texture/BatchConvert.h"

namespace {

const char* const ConvertSynopsis =
    "  morvane convert (--dir DIR | --container FILE) --out DIR [--format tga|jpg]\n"
    "                  [--palette FILE.cmp | --palette \"CONTAINER>>KEY\"]\n";
const char* const ConvertDetails =
    "convert converts textures as the editor's \"Batch Convert Textures...\" does: every *.mat\n"
    "        file of DIR, or every entry under mat\\ of a container, into TGA (default) or JPEG\n"
    "        files in the output folder, which is created when missing. The palette is a CMP\n"
    "        file or a container entry such as \"res2.gob>>misc\\cmp\\01narsh.cmp\" (default:\n"
    "        the built-in one). Standard output carries the dialog's status texts, one per\n"
    "        line, without their leading blank; the last one also counts the images that\n"
    "        replaced existing files (\", N replaced\"). Each texture that failed is named on\n"
    "        standard error, and the exit status is 1 when any failed.\n";

// The files of a folder and who they are now, to tell afterwards which of them a run replaced
// (a replaced file is a new file under the old name).
std::map<std::string, rtl::TFileId> FolderSnapshot(const std::string& folder) {
  std::map<std::string, rtl::TFileId> files;
  for (const std::string& name : rtl::FindFiles(folder, "*")) {
    rtl::TFileId id;
    if (rtl::GetFileId(rtl::JoinPath(folder, name), id)) files[name] = id;
  }
  return files;
}

int ReplacedSince(const std::string& folder, const std::map<std::string, rtl::TFileId>& before) {
  int replaced = 0;
  for (const auto& file : before) {
    rtl::TFileId now;
    if (rtl::GetFileId(rtl::JoinPath(folder, file.first), now) && now != file.second) ++replaced;
  }
  return replaced;
}

int Convert(TArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  if (!a.positional.empty())
    error = "unexpected argument '" + a.positional[0] + "'";
  else if (a.Has("--dir") == a.Has("--container"))
    error = "expects exactly one of --dir DIR and --container FILE";
  else if (a.Get("--out").empty())
    error = "expects --out DIR";
  TBatchOptions options;
  if (error.empty() && a.Has("--format")) {
    std::string format = rtl::LowerCase(a.Get("--format"));
    if (format == "jpg" || format == "jpeg")
      options.Format = TBatchFormat::JPEG;
    else if (format != "tga")
      error = "unknown format '" + a.Get("--format") + "' (tga or jpg)";
  }
  if (!error.empty()) {
    err << "morvane convert: " << error << "\n" << ShortUsage(ConvertCommand());
    return 2;
  }
  if (a.Has("--dir")) {
    options.Input = TBatchInput::Directory;
    options.Source = a.Get("--dir");
    switch (rtl::PathKind(options.Source)) {
      case rtl::TPathKind::Directory:
        break;
      case rtl::TPathKind::Missing:
        err << "morvane convert: no such directory '" << options.Source << "'\n";
        return 2;
      default:
        err << "morvane convert: '" << options.Source << "' is not a directory\n";
        return 2;
    }
  } else {
    options.Input = TBatchInput::Container;
    options.Source = a.Get("--container");
    if (!CheckInputFile("convert", options.Source, err)) return 2;
  }
  options.OutputDir = a.Get("--out");
  if (a.Has("--palette")) options.Palette = ReadPaletteSource(a.Get("--palette"));

  const std::map<std::string, rtl::TFileId> before = FolderSnapshot(options.OutputDir);
  TProgressBar bar(err, IsTerminal(2) && &err == &std::cerr);
  TBatchCallbacks callbacks;
  callbacks.Status = [&](const std::string& text) {
    bar.Clear();
    std::string line = text.empty() || text[0] != ' ' ? text : text.substr(1);
    // The last text sums the run up; it also counts the images that took the place of files
    // already there, which the run's own count does not tell apart.
    if (line.rfind("Status: Done", 0) == 0) {
      const int replaced = ReplacedSince(options.OutputDir, before);
      if (replaced > 0) line += ", " + std::to_string(replaced) + " replaced";
    }
    out << line << "\n" << std::flush;
  };
  callbacks.Progress = [&](int index, int count) {
    bar.Draw(index, count, std::to_string(index + 1) + "/" + std::to_string(count));
  };
  callbacks.Failure = [&](const std::string& name, const std::string& reason) {
    bar.Clear();
    err << "morvane convert: " << name << ": " << reason << "\n";
  };
  TBatchResult result;
  try {
    result = RunBatchConversion(options, callbacks);
  } catch (...) {
    bar.Clear();
    throw;
  }
  bar.Clear();
  return result.Failed > 0 ? 1 : 0;
}

}  // namespace

const TCommandDef& ConvertCommand() {
  static const TCommandDef command = {"convert",
                                      ConvertSynopsis,
                                      ConvertDetails,
                                      {{"--dir", true},
                                       {"--container", true},
                                       {"--out", true},
                                       {"--format", true},
                                       {"--palette", true}},
                                      Convert};
  return command;
}
