#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>

#include "common/AssemblerSyntax.h"

namespace rastelle {

// The longest label the text may hold, and the longest word the text reader takes: what is
// written can be read back.
constexpr std::size_t kMaxLabel = 256;

// Every label a run writes, each with what it labels (a file, its mask; maps and tables
// join the same way), gathered before anything is written: a label the preset's assemblers
// would take for one already there is refused, naming both.
class LabelSet {
  public:
    explicit LabelSet(const SyntaxPreset& preset) : preset_(preset) {}

    // Empty when `label` is new; else the refusal, naming `source` and the one before it.
    std::string Add(const std::string& label, std::string source);

  private:
    const SyntaxPreset& preset_;
    // By the label as the assemblers see it: the label as written, and its source.
    std::map<std::string, std::pair<std::string, std::string>> labels_;
};

}  // namespace rastelle
