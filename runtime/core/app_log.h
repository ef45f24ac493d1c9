// The application log: AppLog.txt in the start-up directory, written line by line as the runtime
// runs. Each line starts with the milliseconds since start-up ("%d:") and a tab per indentation
// level; a text without a final line feed leaves the line open for the next one. Texts are CP932
// bytes, stored as they are. The file is opened, appended to and closed on every write, so it is
// complete even if the process dies. Written by every runtime part, on the main thread only.
#pragma once

#include <cstdint>

namespace runtime {

// Writes a text. Always returns -1, so that a failing operation can log and fail in one statement.
int AppLogWrite(const char* text);

// Formats into a 1024-byte buffer, adds a line feed and writes it. Returns -1.
int AppLogWriteFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One more / one less tab before each new line; only while the file is usable. Return 0.
int AppLogIndent();
int AppLogOutdent();

// 0 switches the log off, anything else on. Meant for before start-up. Returns 0.
int SetAppLogEnabled(int enabled);

// Start-up preparation: empties AppLog.txt in the current directory, resets the indentation and
// takes the start time. Does nothing while the log is off. Called by runtime start-up.
void PrepareAppLog();

// State for tests and start-up.
bool IsAppLogEnabled();
int AppLogTabDepth();

// Back to the state at process start (tests).
void ResetAppLog();

}  // namespace runtime
