// UTF-8 and the UTF-16 of Windows' wide functions, converted where our text (UTF-8 at the edges)
// meets them: paths, the command line, the environment, window and box texts. Windows only.
// Any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace platform
