#include "org/engine_device.h"

namespace org {
namespace {

platform::SoundDevice* g_device = nullptr;

constexpr int kPanTable[13] = {0, 43, 86, 129, 172, 215, 256, 297, 340, 383, 426, 469, 512};

}  // namespace

void SetEngineSoundDevice(platform::SoundDevice* device) { g_device = device; }

platform::SoundDevice* EngineSoundDevice() { return g_device; }

bool OrgPanToDevice(int pan, int32_t* device_pan) {
  if (pan < 0 || pan > 12) return false;
  *device_pan = (kPanTable[pan] - 256) * 10;
  return true;
}

}  // namespace org
