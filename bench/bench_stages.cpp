// Each stage of the import on generated levels of growing size (rooms on a grid, blocks under
// the sky, underwater pools, things and lights: GenerateGridLevel), with the processor time and
// the memory of each, and the growth exponent of each stage from one size to the next
// (log(time ratio) / log(size ratio): 1 grows linearly, 2 with the square). Each level runs in
// a process of its own. After the stages, the whole `morvane import`, plain and --game-ready,
// runs as a command (processor time and peak memory of the child).
//
//   build/bench/bench/bench_stages [--morvane PATH] [SECTORS ...]   (default 1000 10000 50000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "GenLevel.h"
#include "brush/FaceRoles.h"
#include "brush/WaterVolumes.h"
#include "import/BrushStages.h"
#include "import/EditorFaces.h"
#include "import/LevelNames.h"
#include "level/O_jkl.h"
#include "level/ThingTemplates.h"
#include "light/LightFit.h"
#include "seal/Seal.h"

namespace {

double CpuSeconds(int Who = RUSAGE_SELF) {
  rusage u;
  getrusage(Who, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

double PeakMB() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

struct TStage {
  std::string Name;
  double Cpu, PeakMB;
};

// A stage that takes longer than this (processor seconds, the whole child) is stopped.
constexpr rlim_t StageLimit = 120;

// The stages, in one process: the figures go to Out, one "name cpu peak" line each.
void RunStages(const std::string& Path, FILE* Out) {
  double mark = CpuSeconds();
  // Each stage's line as soon as it ends: a stage stopped by the child's limit on processor time
  // leaves the lines of those before it.
  auto done = [&](const char* Name) {
    std::fprintf(Out, "%s\t%.4f\t%.1f\n", Name, CpuSeconds() - mark, PeakMB());
    std::fflush(Out);
    mark = CpuSeconds();
  };
  TJKLevel level;
  level.LoadFromFile(Path);
  done("parse");
  TThingModel sink;
  for (int i = 0; i < level.Things.Count(); ++i)
    sink = ResolveThing(level.Templates, level.Things.Objects(i)->Name, {});
  done("templates");
  TBrushLevel plain;
  MakeBrushLevel(level, plain, nullptr);
  done("slabs");
  const TLevelNames names = MakeLevelNames(level, "tga");
  TFacePolicy policy;
  policy.Names = &names;
  {
    const std::vector<TEditorBrush> faces = EditorBrushes(plain, policy);
    done("editor faces");
  }
  const TFaceRoles roles(level, true);
  TBrushLevel water;
  AddWaterVolumes(level, roles, 256, water.Brushes);
  done("water");
  const TLightFit lights = FitGameLights(level, 256);
  done("light fit");
  TSealFill fill;
  for (const TFitLight& light : lights.Lights)
    if (light.Source < 0) {
      fill.Points.push_back({light.Origin.X, light.Origin.Y, light.Origin.Z});
      fill.Sectors.push_back(light.Sector);
    }
  TBrushLevel placed;
  MakeBrushLevel(level, placed, nullptr);
  mark = CpuSeconds();
  SealBrushLevel(level, placed, 256, false, true, nullptr, &fill);
  done("placing things and lights");
  const std::vector<shell::TRegion> regions = SectorRegions(level, 256);
  shell::TShellOptions shellOptions;
  shellOptions.Limit = WorldEdge;
  shellOptions.BoxBudget = 4096;
  const shell::TShell shell = shell::BuildShellOf(regions, {}, shellOptions);
  done("shell alone");
  SealBrushLevel(level, plain, 256, true, true, nullptr, &fill);
  done("seal (placing, shell)");
  std::fprintf(Out, "(shell boxes %zu, fitted lights %zu)\t0\t0\n", shell.Boxes.size(),
               lights.Lights.size());
}

// Runs the stages in a child; returns name -> (cpu, peak).
std::map<std::string, TStage> ChildStages(const std::string& Path,
                                          std::vector<std::string>& Order) {
  int fd[2];
  std::map<std::string, TStage> out;
  if (pipe(fd) != 0) return out;
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    const rlimit limit{StageLimit, StageLimit};
    setrlimit(RLIMIT_CPU, &limit);
    FILE* f = fdopen(fd[1], "w");
    RunStages(Path, f);
    std::fclose(f);
    _exit(0);
  }
  close(fd[1]);
  FILE* f = fdopen(fd[0], "r");
  char line[512];
  while (std::fgets(line, sizeof line, f)) {
    char* tab = std::strchr(line, '\t');
    if (!tab) continue;
    *tab = 0;
    TStage s{line, 0, 0};
    std::sscanf(tab + 1, "%lf %lf", &s.Cpu, &s.PeakMB);
    if (!out.count(s.Name)) Order.push_back(s.Name);
    out[s.Name] = s;
  }
  std::fclose(f);
  waitpid(pid, nullptr, 0);
  return out;
}

// `morvane import` as a command: its processor time and peak memory.
TStage Command(const std::string& Morvane, const std::string& Path, bool GameReady,
               const std::string& Dir) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
      _exit(1);
    const rlimit limit{2 * StageLimit, 2 * StageLimit};
    setrlimit(RLIMIT_CPU, &limit);
    const std::string map = Dir + "/x.map", game = Dir + "/game";
    std::vector<const char*> args = {Morvane.c_str(), "import",     Path.c_str(), "--map",
                                     map.c_str(),     "--game-dir", game.c_str()};
    if (GameReady) args.push_back("--game-ready");
    args.push_back(nullptr);
    execv(Morvane.c_str(), const_cast<char* const*>(args.data()));
    _exit(127);
  }
  int status = 0;
  rusage u;
  wait4(pid, &status, 0, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("(%s%s did not finish: stopped at %d s or failed)\n", "morvane import",
                GameReady ? " --game-ready" : "", static_cast<int>(2 * StageLimit));
  return {GameReady ? "morvane import --game-ready" : "morvane import",
          s(u.ru_utime) + s(u.ru_stime), static_cast<double>(u.ru_maxrss) / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
  std::string morvane = MORVANE_BINARY_DIR "/morvane";
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--morvane" && i + 1 < argc)
      morvane = argv[++i];
    else
      sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {1000, 10000, 50000};
  const std::string dir = "/tmp/morvane-bench-stages-" + std::to_string(getpid());
  if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) return 1;
  std::vector<std::string> order;
  std::vector<std::map<std::string, TStage>> runs;
  for (int n : sizes) {
    const std::string path = dir + "/grid" + std::to_string(n) + ".jkl";
    { std::ofstream(path, std::ios::binary) << GenerateGridLevel(n); }
    std::map<std::string, TStage> run = ChildStages(path, order);
    for (bool ready : {false, true}) {
      const TStage s = Command(morvane, path, ready, dir);
      if (!run.count(s.Name)) order.push_back(s.Name);
      run[s.Name] = s;
    }
    runs.push_back(run);
  }
  std::printf("%-30s", "stage (CPU s / peak MB)");
  for (int n : sizes) std::printf(" %8d sectors  ", n);
  for (size_t k = 1; k < sizes.size(); ++k) std::printf(" exp%zu", k);
  std::printf("\n");
  for (const std::string& name : order) {
    std::printf("%-30s", name.c_str());
    for (const auto& run : runs) {
      const auto it = run.find(name);
      if (it == run.end())
        std::printf(" %18s", "-");
      else
        std::printf(" %8.3f %7.1fMB", it->second.Cpu, it->second.PeakMB);
    }
    for (size_t k = 1; k < runs.size(); ++k) {
      const auto a = runs[k - 1].find(name), b = runs[k].find(name);
      const bool both = a != runs[k - 1].end() && b != runs[k].end() && a->second.Cpu > 0.002;
      if (both)
        std::printf(" %5.2f", std::log(b->second.Cpu / a->second.Cpu) /
                                  std::log(static_cast<double>(sizes[k]) / sizes[k - 1]));
      else
        std::printf("     -");
    }
    std::printf("\n");
  }
  return std::system(("rm -rf '" + dir + "'").c_str()) == 0 ? 0 : 1;
}
