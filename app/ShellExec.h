#pragma once
// The desktop opener, from the shared library "brindle" linked by name.

extern "C" {

// Hands the URL to the desktop's handler for its scheme (xdg-open, started
// detached with its standard streams on /dev/null) and returns at once. The
// string is copied first; it belongs to the caller. Reports nothing.
void ShellExec(const char* url);

// Replaces the opener, so tests can read the URLs; nullptr restores xdg-open.
void ShellExecSetOpener(void (*opener)(const char* url));
}
