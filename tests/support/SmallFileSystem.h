#pragma once
// A small file system (tmpfs) mounted over a folder for file-failure tests: a
// full disk that stops root as well, unlike a read-only folder.
//
// The mount is seen by the calling thread only: that thread moves to a mount
// namespace of its own (and stays there), so nothing outside the test sees it.
// Mounting needs root and may be refused by a sandbox; Available() then is
// false and Reason() says why, so the test can skip.

#include <cstddef>
#include <string>

namespace quillet::testing {

class SmallFileSystem {
 public:
  explicit SmallFileSystem(std::string folder, std::size_t bytes = 16384);
  ~SmallFileSystem();
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool Available() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }

  // Takes every free block with a filler file: from then on every write that
  // needs a new block fails with ENOSPC, while files can still be created.
  void Fill();
  // Removes the filler again.
  void Free();

 private:
  std::string folder_;
  std::string reason_;
};

}  // namespace quillet::testing
