// Scope guards for the seams tests install: whatever a test replaces (the notice sink, the
// millisecond clock) is put back when the scope ends, also when an assertion leaves early.
#pragma once

#include <utility>

#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"

namespace test_support {

// Runs `undo` when the scope ends.
template <typename Undo>
class OnScopeExit {
 public:
  explicit OnScopeExit(Undo undo) : undo_(std::move(undo)) {}
  ~OnScopeExit() { undo_(); }
  OnScopeExit(const OnScopeExit&) = delete;
  OnScopeExit& operator=(const OnScopeExit&) = delete;

 private:
  Undo undo_;
};

// Notices go to `sink` for the scope, then back to the message box.
class NoticeSinkScope {
 public:
  explicit NoticeSinkScope(platform::NoticeSink sink) { platform::SetNoticeSink(std::move(sink)); }
  ~NoticeSinkScope() { platform::SetNoticeSink({}); }
  NoticeSinkScope(const NoticeSinkScope&) = delete;
  NoticeSinkScope& operator=(const NoticeSinkScope&) = delete;
};

// Notices are dropped for the scope.
class SilentNotices : public NoticeSinkScope {
 public:
  SilentNotices() : NoticeSinkScope([](const std::string&, const std::string&) {}) {}
};

// The millisecond clock reads `source` for the scope, then the platform's clock again.
class ClockMsScope {
 public:
  explicit ClockMsScope(uint32_t (*source)()) { platform::SetClockMsSourceForTesting(source); }
  ~ClockMsScope() { platform::SetClockMsSourceForTesting(nullptr); }
  ClockMsScope(const ClockMsScope&) = delete;
  ClockMsScope& operator=(const ClockMsScope&) = delete;
};

}  // namespace test_support
