#pragma once
// Runs a program as a child process with some environment variables changed,
// feeds it standard input and collects its output and exit code, all within
// a time limit (the child is killed when it passes).

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::testing {

struct ChildResult {
  int exitCode = -1;  // -1 when killed or ended by a signal
  std::string out;
  std::string err;
};

struct ChildEnvironment {
  // name and value; a value of nullopt removes the variable.
  std::vector<std::pair<std::string, std::optional<std::string>>> changes;
};

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildEnvironment& environment = {}, const std::string& input = "",
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace quillet::testing
