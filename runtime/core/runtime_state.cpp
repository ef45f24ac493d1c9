#include "runtime/core/runtime_state.h"

namespace runtime {
namespace {
RuntimeState g_state;
}

RuntimeState& GetRuntimeState() { return g_state; }

void ResetRuntimeState() { g_state = RuntimeState{}; }

}  // namespace runtime
