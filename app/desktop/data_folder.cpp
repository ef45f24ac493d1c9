#include "app/desktop/data_folder.h"

#include "runtime/platform/data_path.h"
#include "runtime/platform/shipped_data.h"

namespace app {

std::string FindDataFolder() {
  const std::string here = platform::CurrentDirectory();
  if (platform::HoldsJukeboxData(here)) return here;
  return platform::ShippedDataFolder();
}

}  // namespace app
