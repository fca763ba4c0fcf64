#pragma once
// Reading a file whole, and replacing a file's whole content so that no
// reader ever finds it half written: the data goes to a new file beside the
// target, is flushed to disk and renamed over the target.

#include <string>
#include <string_view>
#include <sys/types.h>

namespace quillet {

// A target we may not write to is refused (EACCES), as opening it would be.
// newFileMode: the mode of a file created afresh (the umask applies);
// keepMode: true keeps the mode of an existing target, false always gives
// newFileMode. A symbolic link is followed, so the file it names is replaced.
// Raises std::system_error with the failing call's errno; the target then
// stays as it was and the temporary file is removed.
void ReplaceFileContent(const std::string& path, std::string_view data, mode_t newFileMode,
                        bool keepMode);

// Reads the whole file into content; returns 0, or the errno of the failing
// call (ENOENT for a missing file, EISDIR for a directory).
int ReadFileContent(const std::string& path, std::string& content);

// The path made absolute against the working directory (not resolved further).
std::string AbsolutePath(const std::string& path);

}  // namespace quillet
