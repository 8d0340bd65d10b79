#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

namespace rastelle::cli {

enum ExitCode : int { kSuccess = 0, kFailure = 1, kUsage = 2 };

// The whole command-line tool; `out` and `err` stand for standard output and error.
int Run(const std::vector<std::string_view>& arguments, std::FILE* out, std::FILE* err);

// A message as it is; nothing more can be done when even the error stream refuses it.
void Print(std::FILE* stream, std::string_view text);

}  // namespace rastelle::cli
