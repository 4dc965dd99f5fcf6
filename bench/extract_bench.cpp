// Extracting one large LZH archive through TArchiveFile and with bsdtar, in
// one run, so that the ratio compares the two on the same machine state.
// Usage: zel_extract_bench ARCHIVE [benchmark options]
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_file.h"

extern char** environ;  // NOLINT: handed to the program we start

namespace {

std::string archivePath;

std::filesystem::path FreshDirectory() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zel-extract-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

int RunAndWait(std::vector<std::string> args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_ArchiveFile(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshDirectory().string() + "/";
    state.ResumeTiming();
    archive::TArchiveFile file;
    file.SetFileName(archivePath);
    file.SetOutputSize(8192);
    file.Options().n = 1;
    file.Options().y = 1;
    file.Options().jse = 1;
    file.Options().jso = 1;
    if (file.ExtractFiles(nullptr, nullptr, archive::FileItems{"*.*"}, dir) != 0) {
      state.SkipWithError("extraction failed");
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(archivePath)));
}

void BM_Bsdtar(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshDirectory().string();
    state.ResumeTiming();
    if (RunAndWait({"bsdtar", "-xf", archivePath, "-C", dir}) != 0) {
      state.SkipWithError("bsdtar failed");
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(archivePath)));
}

BENCHMARK(BM_ArchiveFile)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_Bsdtar)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Keeps each benchmark's mean real time per iteration besides printing.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred && run.iterations > 0) {
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ARCHIVE.lzh [benchmark options]\n", argv[0]);
    return 2;
  }
  archivePath = std::filesystem::absolute(argv[1]).string();
  ::setenv("ZELUPD_LIBRARY_PATH", ZEL_LIBRARY_DIR, 0);
  argv[1] = argv[0];
  int rest = argc - 1;
  benchmark::Initialize(&rest, argv + 1);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(std::filesystem::temp_directory_path() / "zel-extract-bench");
  const auto timeOf = [&](const std::string& prefix) {
    return std::find_if(reporter.times.begin(), reporter.times.end(),
                        [&](const auto& entry) { return entry.first.starts_with(prefix); });
  };
  const auto ours = timeOf("BM_ArchiveFile");
  const auto peer = timeOf("BM_Bsdtar");
  if (ours == reporter.times.end() || peer == reporter.times.end() || ours->second <= 0) {
    std::fprintf(stderr, "a benchmark did not run; no ratio\n");
    return 1;
  }
  std::printf("speed of TArchiveFile relative to bsdtar -xf: %.3f (goal: at least 0.95)\n",
              peer->second / ours->second);
  return 0;
}
