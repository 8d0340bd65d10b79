#pragma once

#include <cstdio>

#include "CommandLine.h"

namespace rastelle::cli {

// --reverse: the texts named on the command line back into pictures.
int Reverse(const CommandLine& commandLine, std::FILE* err);

}  // namespace rastelle::cli
