#pragma once
// The remembered lists' files: plain 8-bit text, one item a line.

#include <string>

#include "platform/TextUtils.h"

namespace quillet {

// Reads the file's lines: a line ends at CR, at LF or at CR LF; a final line
// without an end counts; a break at the very end adds no empty item; reading
// stops at the first NUL byte; empty lines are items.
// Raises EFOpenError "Cannot open file "<full path>". <system text>".
StringList LoadListFile(const std::string& path);

// Writes every item followed by CR LF (an empty list gives an empty file). The
// text goes to a temporary file beside the target that is flushed to disk and
// then renamed into place, so a failure never leaves a truncated file.
// Raises EFCreateError "Cannot create file "<full path>". <system text>".
void SaveListFile(const std::string& path, const StringList& items);

// True only for an existing file; a directory of that name does not count.
bool FileExists(const std::string& path);

}  // namespace quillet
