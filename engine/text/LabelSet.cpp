#include "text/LabelSet.h"

namespace rastelle {

std::string LabelSet::Add(const std::string& label, std::string source) {
    std::string key = label;
    if (preset_.labelsIgnoreCase) {
        for (char& c : key) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
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
