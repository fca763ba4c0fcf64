#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.

#include <string>

namespace quillet::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes the bytes to the named file, replacing it.
  void Write(const std::string& name, const std::string& bytes) const;
  // The file's bytes, or "<missing>" when it cannot be read.
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace quillet::testing
