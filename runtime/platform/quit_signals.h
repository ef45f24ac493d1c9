// SIGINT and SIGTERM end the program promptly, whatever it is doing. The signal is noted for the
// frame loop, which then ends as when the window is closed (the music stops, the devices close);
// if the loop does not get there within two seconds — a message box waits for its OK, or the
// program hangs — the program ends right there, saying so on standard error, with the signal's
// exit status (128 + the signal). SDL's own handlers only queue a quit event, which nothing reads
// while a message box is up, so they are switched off. Installed once, on the main thread, before
// SDL or any other thread starts (the signals are blocked there and every later thread inherits
// that; a watcher thread takes them).
#pragma once

namespace platform {

// `program` starts the line said when the program has to be ended where it stands.
void InstallQuitSignals(const char* program);

// The signal received (SIGINT or SIGTERM), or 0. Any thread.
int QuitSignalReceived();

}  // namespace platform
