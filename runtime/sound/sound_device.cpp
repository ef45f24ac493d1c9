#include "runtime/sound/sound_device.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "runtime/core/app_log.h"
#include "runtime/platform/sdl_audio_output.h"
#include "runtime/platform/text_encoding.h"

namespace runtime {
namespace {

using platform::MixingSoundDevice;
using platform::SoundBuffer;

constexpr uint32_t kSilentBufferBytes = 400;
constexpr uint32_t kMaxPrimaryRate = 44100;
// The longest wait for a sound server to start consuming the new stream.
constexpr std::chrono::milliseconds kStreamStartLimit{3000};

struct SoundDeviceState {
  std::unique_ptr<MixingSoundDevice> sound_device;
  bool primary_buffer = false;
  SoundBuffer* silent_buffer = nullptr;
  AudioOutputFactory factory;
  platform::SoundDeviceFaults faults;
};
SoundDeviceState g_sound;
SoundDeviceReleaseHook g_release_hook = nullptr;

std::unique_ptr<platform::AudioOutput> MakeOutput() {
  if (g_sound.factory) return g_sound.factory();
  return std::make_unique<platform::SdlAudioOutput>();
}

platform::SoundBufferDesc SilentBufferDesc() {
  platform::SoundBufferDesc desc;
  desc.flags = platform::kBufferStatic | platform::kBufferGlobalFocus;
  desc.length_bytes = kSilentBufferBytes;
  desc.format = {platform::kWaveFormatPcm, 2, 44100, 176400, 4, 16, 0};
  return desc;
}

// A buffer of silence that keeps the output running; the device goes on without it on failure.
void StartSilentBuffer(MixingSoundDevice& device) {
  SoundBuffer* buffer = device.CreateSoundBuffer(SilentBufferDesc());
  if (!buffer) {
    AppLogWrite(SJIS("無音バッファの作成に失敗しました"));
    return;
  }
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  if (!buffer->Lock(0, kSilentBufferBytes, &region1, &bytes1, &region2, &bytes2)) {
    AppLogWrite(SJIS("無音バッファのロックに失敗しました"));
    buffer->Release();
    return;
  }
  std::fill_n(static_cast<uint8_t*>(region1), bytes1, uint8_t{0});
  if (region2) std::fill_n(static_cast<uint8_t*>(region2), bytes2, uint8_t{0});
  buffer->Unlock(region1, bytes1, region2, bytes2);
  buffer->Play(platform::kPlayLooping);
  g_sound.silent_buffer = buffer;
}

const char* OkOrNo(bool supported) { return supported ? "OK" : "NO"; }

void LogDeviceReport(MixingSoundDevice& device) {
  AppLogIndent();
  const platform::AudioCaps caps = device.GetCaps();
  AppLogWrite(SJIS("DirectSound デバイスを列挙します\n"));
  AppLogIndent();
  for (const platform::AudioDeviceName& name : device.EnumerateDevices()) {
    AppLogWriteFormat(SJIS("モジュール名:%15s  ドライバ記述:%s "),
                      platform::Utf8ToCp932(name.module).c_str(),
                      platform::Utf8ToCp932(name.description).c_str());
  }
  AppLogOutdent();
  AppLogWriteFormat(SJIS("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz "),
                    caps.max_secondary_rate * 0.001, caps.min_secondary_rate * 0.001);
  AppLogWriteFormat(SJIS("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n"),
                    caps.total_memory_bytes / 1024.0, caps.free_memory_bytes / 1024.0);
  AppLogWrite(SJIS("利用可能サンプリング精度\n"));
  AppLogWriteFormat(SJIS(" プライマリ １６bit = %s  ８bit = %s "), OkOrNo(caps.primary_16bit),
                    OkOrNo(caps.primary_8bit));
  AppLogWriteFormat(SJIS(" セカンダリ １６bit = %s  ８bit = %s \n"), OkOrNo(caps.secondary_16bit),
                    OkOrNo(caps.secondary_8bit));
  AppLogWrite(SJIS("利用可能チャンネル\n"));
  AppLogWriteFormat(SJIS(" プライマリ MONO = %s  STEREO = %s "), OkOrNo(caps.primary_mono),
                    OkOrNo(caps.primary_stereo));
  AppLogWriteFormat(SJIS(" セカンダリ MONO = %s  STEREO = %s \n"), OkOrNo(caps.secondary_mono),
                    OkOrNo(caps.secondary_stereo));
  AppLogOutdent();
}

// A sound server (PulseAudio) may take a second to start consuming a new stream, and calls made
// before it does all land on its first blocks: a song started then would lose its first steps.
// The device counts as open once its output plays at its steady pace (or after a few seconds).
void WaitForTheStream(MixingSoundDevice& device) {
  // The steady clock itself: a test's stand-in for the fine clock may stand still.
  const auto limit = std::chrono::steady_clock::now() + kStreamStartLimit;
  while (!device.output().Streaming() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

platform::WaveFormat ChoosePrimaryFormat(const platform::AudioCaps& caps) {
  platform::WaveFormat format;
  format.format_tag = platform::kWaveFormatPcm;
  format.channels = caps.primary_stereo ? 2 : 1;
  format.bits_per_sample = caps.primary_16bit ? 16 : 8;
  format.samples_per_sec = std::min(caps.max_secondary_rate, kMaxPrimaryRate);
  format.block_align = static_cast<uint16_t>(format.bits_per_sample / 8 * format.channels);
  format.avg_bytes_per_sec = format.block_align * format.samples_per_sec;
  return format;
}

int OpenSoundDevice() {
  if (g_sound.sound_device) return -1;
  AppLogWrite(SJIS("DirectSound の初期化を行います\n"));
  std::unique_ptr<MixingSoundDevice> device =
      MixingSoundDevice::Create(MakeOutput(), g_sound.faults);
  if (!device) return AppLogWrite(SJIS("DirectSoundの初期化に失敗しました\n"));
  if (!device->SetCooperativeLevel())
    return AppLogWrite(SJIS("DirectSoundの協調レベルの設定に失敗しました\n"));
  if (!device->CreatePrimaryBuffer())
    return AppLogWrite(SJIS("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n"));
  g_sound.primary_buffer = true;
  if (!device->SetPrimaryFormat(ChoosePrimaryFormat(device->GetCaps())))
    AppLogWrite(SJIS("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n"));
  StartSilentBuffer(*device);
  WaitForTheStream(*device);
  LogDeviceReport(*device);
  g_sound.sound_device = std::move(device);
  AppLogWrite(SJIS("DirectSound の初期化は正常に終了しました\n"));
  return 0;
}

void SetSoundDeviceReleaseHook(SoundDeviceReleaseHook hook) { g_release_hook = hook; }

int CloseSoundDevice() {
  if (!g_sound.sound_device) return -1;
  if (g_release_hook) g_release_hook();
  // The output's underruns (blocks the device asked for later than it needed them).
  AppLogWriteFormat(SJIS("サウンド出力の遅れ（音切れ）: %llu 回"),
                    static_cast<unsigned long long>(g_sound.sound_device->output().Underruns()));
  if (g_sound.primary_buffer) {
    g_sound.sound_device->ReleasePrimaryBuffer();
    g_sound.primary_buffer = false;
  }
  if (g_sound.silent_buffer) {
    g_sound.silent_buffer->Stop();
    g_sound.silent_buffer->Release();
    g_sound.silent_buffer = nullptr;
  }
  g_sound.sound_device.reset();
  AppLogWrite(SJIS("DirectSound の終了処理は正常に終了しました\n"));
  return 0;
}

platform::SoundDevice* GetSoundDevice() { return g_sound.sound_device.get(); }

MixingSoundDevice* GetMixingSoundDevice() { return g_sound.sound_device.get(); }

int ServiceSoundStreams() { return g_sound.sound_device ? 0 : -1; }

int StopMidi() { return 0; }

int OnMidiNotify() { return 0; }

void SetAudioOutputFactory(AudioOutputFactory factory) { g_sound.factory = std::move(factory); }

void SetSoundDeviceFaultsForTesting(const platform::SoundDeviceFaults& faults) {
  g_sound.faults = faults;
}

void ResetSoundDevice() {
  CloseSoundDevice();
  g_sound = SoundDeviceState{};
  g_release_hook = nullptr;
}

}  // namespace runtime
