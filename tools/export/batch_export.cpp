#include "tools/export/batch_export.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "runtime/platform/data_path.h"
#include "tools/cli/progress_bar.h"
#include "tools/output/safe_output.h"
#include "tools/render/song_inputs.h"

namespace exporting {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kProgressSteps = 200;  // a child reports its progress as n / 200, one byte

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (unsigned char c : name)
    out += (c < 0x20 || c == '/' || c == 0x7F) ? '_' : static_cast<char>(c);
  if (out.empty() || out == "." || out == "..") out = "_";
  return out;
}

// The work of one child: render song `index`, reporting progress on `report`; the exit status.
int RenderInChild(const BatchSong& song, const std::string& out_path, ExportOptions options,
                  int report) {
  const char* tool = "org2wav";
  std::vector<uint8_t> bytes;
  auto parsed = std::make_unique<org::ParsedSong>();
  if (!platform::ReadDataFile(platform::NativePathToDataPath(song.file), 1 << 20, &bytes) ||
      org::ParseOrgSong(bytes.data(), bytes.size(), parsed.get()) != org::ParseResult::kOk) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, song.file.c_str(),
                 render::WhySongUnreadable(song.file).c_str());
    return 1;
  }
  if (parsed->wait == 0) {
    std::fprintf(stderr, "%s: %s: the song's step length is 0 ms\n", tool, song.file.c_str());
    return 1;
  }
  if (options.tags.title.empty()) options.tags.title = song.title;
  const std::string problem = ProblemWithExport(*parsed, options);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, song.file.c_str(), problem.c_str());
    return 1;
  }
  render::ChooseDrumFolder(tool, *parsed, platform::NativePathToDataPath(song.file),
                           &options.render.drums_folder);
  uint8_t last = 0;
  const ExportResult result =
      ExportSong(*parsed, song.file, out_path, options, [&](double fraction) {
        const uint8_t step = static_cast<uint8_t>(std::clamp(fraction, 0.0, 1.0) * kProgressSteps);
        if (step != last && write(report, &step, 1) == 1) last = step;
      });
  for (const std::string& missing : result.missing_drums)
    std::fprintf(stderr, "%s: warning: %s: drum file not found: %s\n", tool, song.file.c_str(),
                 missing.c_str());
  if (!result.ok) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, song.file.c_str(), result.error.c_str());
    return 1;
  }
  return 0;
}

struct Running {
  size_t index = 0;
  int pipe = -1;
  double fraction = 0;
};

}  // namespace

int ProcessorCount() { return std::max(1, static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN))); }

std::vector<std::string> OutputNames(const std::vector<BatchSong>& songs, AudioFormat format,
                                     bool name_by_title) {
  std::vector<std::string> names;
  std::map<std::string, int> seen;
  for (const BatchSong& song : songs) {
    const std::string base = SafeFileName(
        name_by_title && !song.title.empty() ? song.title : fs::path(song.file).stem().string());
    const int count = ++seen[base];
    names.push_back(base + (count > 1 ? " (" + std::to_string(count) + ")" : "") +
                    ExtensionOf(format));
  }
  return names;
}

int RunBatch(const std::vector<BatchSong>& songs, const BatchOptions& o) {
  std::error_code error;
  fs::create_directories(o.out_dir, error);
  if (error) {
    std::fprintf(stderr, "org2wav: cannot make the folder %s: %s\n", o.out_dir.c_str(),
                 error.message().c_str());
    return 1;
  }
  const std::vector<std::string> names = OutputNames(songs, o.song.format, o.name_by_title);
  tools::ProgressBar bar(stderr, o.show_progress, static_cast<int>(songs.size()));
  std::map<pid_t, Running> running;
  std::vector<std::string> failed;
  size_t next = 0;
  size_t finished = 0;
  while (finished < songs.size()) {
    while (next < songs.size() && running.size() < static_cast<size_t>(std::max(o.jobs, 1))) {
      int fds[2];
      if (pipe(fds) != 0) return 1;
      std::fflush(nullptr);
      const pid_t child = fork();
      if (child == 0) {
        close(fds[0]);
        _exit(RenderInChild(songs[next], o.out_dir + "/" + names[next], o.song, fds[1]));
      }
      close(fds[1]);
      if (child < 0) {
        close(fds[0]);
        return 1;
      }
      running[child] = Running{next, fds[0], 0};
      ++next;
    }
    // Progress from every child, then whoever has ended.
    std::vector<pollfd> polls;
    for (const auto& [pid, job] : running) polls.push_back({job.pipe, POLLIN, 0});
    poll(polls.data(), polls.size(), 100);
    for (auto& [pid, job] : running) {
      uint8_t steps[64];
      for (pollfd& p : polls)
        if (p.fd == job.pipe && (p.revents & POLLIN)) {
          const ssize_t n = read(job.pipe, steps, sizeof steps);
          if (n > 0) job.fraction = steps[n - 1] / static_cast<double>(kProgressSteps);
        }
    }
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(-1, &status, WNOHANG)) > 0) {
      const auto found = running.find(ended);
      if (found == running.end()) continue;
      close(found->second.pipe);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        failed.push_back(songs[found->second.index].file);
      running.erase(found);
      ++finished;
    }
    double done = static_cast<double>(finished);
    for (const auto& [pid, job] : running) done += job.fraction;
    bar.Update(0, done);
  }
  for (const std::string& song : failed)
    std::fprintf(stderr, "org2wav: %s: not rendered\n", song.c_str());
  return failed.empty() ? 0 : 1;
}

}  // namespace exporting
