#include "common/TextSize.h"

#include <string>

namespace rastelle {

namespace {

// Line end, tab, directive, space, then the literals: prefix, up to 8 digits, suffix,
// separated by commas (an empty row still has one literal's prefix and suffix).
std::uint64_t RowLength(std::int64_t rowBits, const AssemblerSyntax& syntax) {
    const std::int64_t literals = rowBits > 0 ? (rowBits + 7) / 8 : 1;
    const auto perLiteral =
        static_cast<std::int64_t>(syntax.literalPrefix.size() + syntax.literalSuffix.size() + 1);
    return static_cast<std::uint64_t>(
        static_cast<std::int64_t>(kLineEnd.size() + 2 + syntax.directive.size()) +
        literals * perLiteral - 1 + rowBits);
}

// C's definitions and the array's opening and closing around the lines, the name not counted.
constexpr std::uint64_t kCFrame = 96;

}  // namespace

std::int64_t RowBits(std::int64_t width, FillMode fill) {
    return fill == FillMode::None ? width : (width + 7) / 8 * 8;
}

bool IsC(const AssemblerSyntax& syntax) {
    return syntax.kind != TextKind::Assembler;
}

Radix TextRadix(Radix asked, const AssemblerSyntax& syntax) {
    const Radix radix = asked == Radix::Default ? Radix::Binary : asked;
    return IsC(syntax) && radix == Radix::Binary ? Radix::Hex : radix;
}

std::uint64_t TextSize(std::int64_t width, std::int64_t height, FillMode fill,
                       const AssemblerSyntax& syntax, const ConversionSettings& form) {
    const std::int64_t rowBits = RowBits(width, fill);
    // Header: tab, directive, space, width number, comma, height; the bits form is never
    // shorter.
    const auto header =
        static_cast<std::uint64_t>(2 + syntax.directive.size() + std::to_string(rowBits).size() +
                                   1 + std::to_string(height).size());
    const auto rows = height > 0 ? static_cast<std::uint64_t>(height) : 0U;
    const auto literals = static_cast<std::uint64_t>(rowBits + 7) / 8;
    std::uint64_t row = RowLength(rowBits, syntax);
    if (const Radix radix = TextRadix(form.radix, syntax); radix != Radix::Binary) {
        // Line end, tab, directive and space, each literal at its longest with a separator
        // of up to 2, and a comma after the line.
        const std::size_t longest = radix == Radix::Decimal
                                        ? 3
                                        : syntax.hexPrefix.size() + 2 + syntax.hexSuffix.size() +
                                              (syntax.hexLeadingDigit ? 1 : 0);
        row = kLineEnd.size() + 3 + syntax.directive.size() + literals * (longest + 2);
    }
    if (form.perLine > 0) {
        row += literals / static_cast<std::uint64_t>(form.perLine) *
               (kLineEnd.size() + 3 + syntax.directive.size());
    }
    if (form.comment) {
        // Pages draw 8 rows a line, each on a comment line of its own.
        const std::uint64_t lines = form.layout == ByteLayout::Pages ? 8 : 1;
        row +=
            static_cast<std::uint64_t>(rowBits) +
            lines * (kLineEnd.size() + 2 + syntax.commentStart.size() + syntax.commentEnd.size());
    }
    return header + rows * row + kLineEnd.size() + (IsC(syntax) ? kCFrame : 0);
}

}  // namespace rastelle
