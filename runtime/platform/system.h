// Process-level services: paths, directories, dialogs, debugger, process end.
#pragma once

#include <string>

namespace quillon::platform {

// The user's temporary directory, always ending with '/': $TMPDIR or /tmp/.
std::string TemporaryDirectory();
// "quillon-<uid>/" in the temporary directory, made with mode 0700 when missing. Empty when it
// cannot be made, or is a link, another user's, or open to others: every user shares /tmp.
std::string UserTemporaryDirectory();
// Appends bytes to the file at path, made with mode 0600 when missing; a link at path is never
// followed. False when not every byte was written.
bool AppendToFile(const std::string& path, const std::string& bytes);
// Full path of the running program file.
std::string ProgramPath();
bool ChangeDirectory(const std::string& path);

enum class MessageKind { Information, Warning, Error };
// Blocks until dismissed; with QUILLON_NO_DIALOGS=1 the box goes to standard error instead.
// Texts are in the runtime's 8-bit code page.
void ShowMessageBox(const char* caption, const char* text, MessageKind kind);

bool DebuggerAttached();
void DebuggerOutput(const char* text);

// Converts the runtime's 8-bit code page (Windows-1252) to UTF-8 for the desktop.
std::string Cp1252ToUtf8(const char* text);

[[noreturn]] void ExitProcess(int status);

}  // namespace quillon::platform
