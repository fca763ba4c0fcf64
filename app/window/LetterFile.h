#pragma once
// Letter files: the editor's text read from and written to a file as plain
// bytes, whatever the file's extension.

#include <string>

namespace quillet {

// The file's bytes. Raises EFOpenError "Cannot open file "<full path>". <reason>".
std::string LoadLetterFile(const std::string& path);

// Creates or overwrites the file with the bytes. Raises EFCreateError
// "Cannot create file "<full path>". <reason>" when it cannot be created, and
// EOutOfResources "Failed to Save Stream" when writing fails.
void SaveLetterFile(const std::string& path, const std::string& bytes);

// The path with ".<suffix>" appended when its file name has no extension.
std::string WithDefaultExtension(const std::string& path, const std::string& suffix);

}  // namespace quillet
