#include <cstdio>
#include <string_view>
#include <vector>

#include "Run.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return rastelle::cli::Run(arguments, stdout, stderr);
}
