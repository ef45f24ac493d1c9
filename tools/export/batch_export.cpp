#include "tools/export/batch_export.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/cli/progress_bar.h"
#include "tools/output/safe_output.h"
#include "tools/render/song_inputs.h"

namespace exporting {
namespace {

namespace fs = std::filesystem;

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (unsigned char c : name)
    out += (c < 0x20 || c == '/' || c == 0x7F) ? '_' : static_cast<char>(c);
  if (out.empty() || out == "." || out == "..") out = "_";
  return out;
}

// Messages of one song, written together so that songs rendered at once do not mix their lines.
class SongMessages {
 public:
  explicit SongMessages(std::mutex* output) : output_(output) {}
  ~SongMessages() {
    if (text_.empty()) return;
    std::lock_guard<std::mutex> lock(*output_);
    std::fputs(text_.c_str(), stderr);
  }
  void Line(const std::string& line) { text_ += line + "\n"; }

 private:
  std::mutex* output_;
  std::string text_;
};

// Renders one song of the batch on the calling thread; false when it was not written.
bool RenderBatchSong(const BatchSong& song, const std::string& out_path, ExportOptions options,
                     std::atomic<double>* fraction, std::mutex* output) {
  const std::string tool = "org2wav";
  SongMessages messages(output);
  auto parsed = std::make_unique<org::ParsedSong>();
  std::string why;
  if (!render::ReadSongFile(song.file, parsed.get(), &why)) {
    messages.Line(tool + ": " + song.file + ": " + why);
    return false;
  }
  if (parsed->wait == 0) {
    messages.Line(tool + ": " + song.file + ": the song's step length is 0 ms");
    return false;
  }
  if (options.tags.title.empty()) options.tags.title = song.title;
  if (options.tags.track.empty() && song.number > 0)
    options.tags.track = std::to_string(song.number);
  const std::string problem = ProblemWithExport(*parsed, options);
  if (!problem.empty()) {
    messages.Line(tool + ": " + song.file + ": " + problem);
    return false;
  }
  options.render.builtin_drums =
      options.render.builtin_drums ||
      render::UseShippedDrums(tool.c_str(), *parsed, song.file, options.render.drums_folder);
  const ExportResult result = ExportSong(*parsed, song.file, out_path, options, [&](double done) {
    fraction->store(std::clamp(done, 0.0, 1.0), std::memory_order_relaxed);
  });
  for (const std::string& missing : result.missing_drums)
    messages.Line(tool + ": warning: " + song.file + ": drum file not found: " + missing);
  if (!result.ok) messages.Line(tool + ": " + song.file + ": " + result.error);
  if (result.ok && options.normalize_lufs) {
    const std::string note = ShortOfTargetNote(result, *options.normalize_lufs);
    if (!note.empty()) messages.Line(tool + ": note: " + out_path + ": " + note);
  }
  return result.ok;
}

}  // namespace

int ProcessorCount() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

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
  // Each song is rendered by its own engine on one of the workers; the main thread draws one
  // progress bar for the whole run.
  std::vector<std::atomic<double>> fractions(songs.size());
  std::vector<char> written(songs.size(), 0);
  std::atomic<size_t> next{0};
  std::atomic<size_t> finished{0};
  std::mutex output;
  auto work = [&] {
    for (size_t index = next++; index < songs.size(); index = next++) {
      written[index] = RenderBatchSong(songs[index], o.out_dir + "/" + names[index], o.song,
                                       &fractions[index], &output);
      fractions[index].store(1.0, std::memory_order_relaxed);
      ++finished;
    }
  };
  const size_t workers = std::min<size_t>(songs.size(), static_cast<size_t>(std::max(o.jobs, 1)));
  std::vector<std::thread> threads;
  for (size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  tools::ProgressBar bar(stderr, o.show_progress, static_cast<int>(songs.size()));
  while (finished.load() < songs.size()) {
    double done = 0;
    for (const std::atomic<double>& fraction : fractions) done += fraction.load();
    {
      std::lock_guard<std::mutex> lock(output);
      bar.Update(0, done);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (std::thread& thread : threads) thread.join();
  bar.Update(0, static_cast<double>(songs.size()));
  int failed = 0;
  for (size_t i = 0; i < songs.size(); ++i)
    if (!written[i]) {
      std::fprintf(stderr, "org2wav: %s: not rendered\n", songs[i].file.c_str());
      ++failed;
    }
  return failed == 0 ? 0 : 1;
}

}  // namespace exporting
