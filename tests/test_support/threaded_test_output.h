// An audio output for concurrency tests: a thread of its own pulls stamped blocks from the mixer
// as a real-time device would, pausing `pause_us` between blocks (far more often than a device).
#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "runtime/platform/audio_output.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/stream_clock.h"

namespace test_support {

class ThreadedTestOutput final : public platform::AudioOutput {
 public:
  explicit ThreadedTestOutput(int pause_us = 200, int block_frames = 256)
      : pause_us_(pause_us), block_frames_(block_frames) {}
  ~ThreadedTestOutput() override { Stop(); }

  bool Open() override { return true; }
  platform::AudioCaps Caps() const override { return {}; }
  bool Start(const platform::AudioFormat& format, platform::AudioRenderSource* source) override {
    Stop();
    format_ = format;
    running_ = true;
    thread_ = std::thread([this, source] {
      std::vector<int16_t> block(2 * static_cast<size_t>(block_frames_));
      platform::StreamClock clock;
      while (running_.load()) {
        const platform::BlockTiming timing =
            clock.OnBlock(platform::ClockUs(), block_frames_, format_.rate);
        source->RenderFrames(block.data(), block_frames_, &timing);
        blocks_.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(pause_us_));
      }
    });
    return true;
  }
  void Stop() override {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }
  void Close() override { Stop(); }
  bool IsRealtime() const override { return true; }
  std::vector<platform::AudioDeviceName> EnumerateDevices() const override { return {}; }
  platform::AudioFormat CurrentFormat() const override { return format_; }
  int blocks() const { return blocks_.load(); }

 private:
  int pause_us_;
  int block_frames_;
  platform::AudioFormat format_;
  std::atomic<bool> running_{false};
  std::atomic<int> blocks_{0};
  std::thread thread_;
};

// A real-time output whose stream starts but never pulls a block: a stream that failed to come
// back after a refused format change, or a device that hung.
class StalledTestOutput final : public platform::AudioOutput {
 public:
  bool Open() override { return true; }
  platform::AudioCaps Caps() const override { return {}; }
  bool Start(const platform::AudioFormat& format, platform::AudioRenderSource*) override {
    format_ = format;
    return true;
  }
  void Stop() override {}
  void Close() override {}
  bool IsRealtime() const override { return true; }
  std::vector<platform::AudioDeviceName> EnumerateDevices() const override { return {}; }
  platform::AudioFormat CurrentFormat() const override { return format_; }

 private:
  platform::AudioFormat format_;
};

}  // namespace test_support
