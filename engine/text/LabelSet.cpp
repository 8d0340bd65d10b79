#include "text/LabelSet.h"

#include "common/Ascii.h"

namespace rastelle {

std::string LabelSet::Add(const std::string& label, std::string source) {
    std::string key = preset_.labelsIgnoreCase ? AsciiLower(label) : label;
    const auto [before, added] = labels_.try_emplace(std::move(key), label, source);
    if (added) {
        return {};
    }
    const auto& [first, firstSource] = before->second;
    return firstSource + " and " + source +
           (first == label ? " would both get the label " + label
                           : " would get the labels " + first + " and " + label + ", the same to " +
                                 std::string(preset_.name) + " assemblers, which ignore case");
}

}  // namespace rastelle
