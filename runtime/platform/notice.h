// The modal notice: a message box with a caption, a text and an OK button that waits until the
// user acknowledges it. The music engine and the runtime report bad files and fatal conditions
// through it. Texts are in the system encoding (CP932). The notice is also written to standard
// error as "caption: text" (the only place it goes where no display can show a box). Tests
// replace the sink with a recorder.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Receives a notice: text and caption in CP932.
using NoticeSink = std::function<void(const std::string& text, const std::string& caption)>;

// Shows a notice and returns once it has been acknowledged. Main thread (or any thread when a
// test sink is installed).
void ShowNotice(const std::string& text_cp932, const std::string& caption_cp932);

// Replaces where notices go; an empty sink restores the message box.
void SetNoticeSink(NoticeSink sink);

// The notice as a line for a terminal: "caption: text", in UTF-8.
std::string FormatNoticeLine(const std::string& text_cp932, const std::string& caption_cp932);

}  // namespace platform
