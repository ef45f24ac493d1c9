// The display device: the settings made before start-up (screen size and depth, vertical-sync
// wait), the screen mode, the screen surfaces (front, back and two work surfaces, pixel buffers
// in the display's layout), the presentation of the back buffer into the window once per frame,
// and the rebuild after the display changed. Installs itself into the runtime core's display
// link. Main thread only.
#pragma once

#include "runtime/graphics/pixel_layout.h"
#include "runtime/platform/pixel_surface.h"

namespace graphics {

// Settings (before start-up they only record their values).
int RequestScreenMode(int width, int height, int depth, int refresh);
int Set3DPathAllowed(int flag);
int SetVSyncWait(int flag);
int SetUse3DDevice(int flag);
int QueryScreenSize(int* width, int* height);
int QueryColorDepth();

int StartDisplayDevice();
int EndDisplayDevice();
int ChangeScreenMode(int width, int height, int depth, int force, int refresh);
int CreateScreenSurfaces();
int ReleaseScreenSurfaces();
int RepairScreenSurfaces();
// Shows the back buffer in the window's client area. 0, or -1 without a device.
int PresentFrame();
// After a display change: the surfaces are built again and the graphs reloaded from their files.
int RebuildDisplayDevice();

const PixelLayout& DisplayLayout();
bool DisplayDeviceStarted();
bool DisplayObjectExists();
bool BlitByGdiPreferred();
platform::PixelSurface* FrontSurface();
platform::PixelSurface* BackSurface();
platform::PixelSurface* WorkSurface(int which);

// Connects the device to the runtime core's start-up, shut-down and window. The jukebox and the
// tests call it before RuntimeStartup.
void InstallDisplayDevice();

// Back to the state at process start (tests).
void ResetDisplayDevice();

}  // namespace graphics
