// Fuzzes the jukebox's settings file reader: whatever the file holds, every value read is within
// its range, and the settings written back read the same again.
#include <cstdlib>
#include <string>

#include "app/desktop/settings.h"
#include "app/jukebox_model.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const app::Settings read =
      app::ParseSettings(std::string(reinterpret_cast<const char*>(data), size));
  if (read.scale < 1 || read.scale > app::kMaxScale) std::abort();
  if (read.volume_step < 0 || read.volume_step > app::kVolumeSilent) std::abort();
  const app::Settings again = app::ParseSettings(app::FormatSettings(read));
  if (again.scale != read.scale || again.fullscreen != read.fullscreen ||
      again.volume_step != read.volume_step)
    std::abort();
  return 0;
}
