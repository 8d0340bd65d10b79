#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "conversion/Conversion.h"

namespace rastelle {
namespace {

using Kind = ConversionIssue::Kind;

// What a front end hears, in order: each issue's kind, whether it stops, its first numbers.
struct Heard {
    Kind kind;
    bool stops;
    std::int64_t first;
    std::int64_t second;
    bool operator==(const Heard&) const = default;
};

class Recorder final : public ConversionEvents, public TextSink {
  public:
    explicit Recorder(std::string image) : image_(std::move(image)) {}
    bool Open(std::size_t, ImageSource& source) override {
        return source.OpenBytes({image_.begin(), image_.end()}).kind == DecodeErrorKind::None;
    }
    void Report(const ConversionIssue& issue) override {
        heard.push_back({issue.kind, issue.stops, issue.numbers[0], issue.numbers[1]});
    }
    bool Write(std::string_view text) override {
        written += text;
        return true;
    }
    std::vector<Heard> heard;
    std::string written;

  private:
    std::string image_;
};

struct CheckCase {
    const char* name;
    const char* pbm;  // white pixels
    std::int32_t cells;
    bool binary;
    std::optional<std::uint64_t> textLimit;
    std::vector<Heard> heard;  // worked out by hand
};

// "\t.db 8,1\r\n" and "\t.db %00000000\r\n": 26 bytes, the bound of 8 x 1 pixels.
const std::array<CheckCase, 6> kChecks = {{
    {"WholeCells", "P1 4 2 0000 0000", 2, false, {}, {}},
    {"ColumnLeftOver", "P1 3 2 000 000", 2, false, {}, {{Kind::CellRemainder, true, 3, 2}}},
    {"TextAtTheLimit", "P1 8 1 00000000", 0, false, 26, {}},
    {"TextOverTheLimit", "P1 8 1 00000000", 0, false, 25, {{Kind::TextTooBig, true, 26, 0}}},
    {"WideNumberNoticed", "P1 256 1 0", 0, false, {}, {{Kind::WideNumber, false, 0, 256}}},
    {"WideNumberRefusedInBinary", "P1 256 1 0", 0, true, {}, {{Kind::WideNumber, true, 0, 256}}},
}};

TEST(Conversion, ChecksComeBackAsIssues) {
    for (const CheckCase& row : kChecks) {
        SCOPED_TRACE(row.name);
        std::string image = row.pbm;
        if (image.ends_with(" 0")) {  // a row of 256 white pixels
            image += std::string(255, '0');
        }
        ConversionRequest request;
        request.labels = {""};
        request.settings.cellWidth = row.cells;
        request.settings.cellHeight = row.cells;
        request.settings.binary = row.binary;
        request.textLimit = row.textLimit;
        Recorder recorder(image);
        const bool stopped = !row.heard.empty() && row.heard.back().stops;
        EXPECT_EQ(Convert(request, recorder, recorder), !stopped);
        EXPECT_EQ(recorder.heard, row.heard);
        EXPECT_EQ(recorder.written.empty(), stopped);
    }
}

// Each image's notices count that image alone: two pictures of two blank cells each.
TEST(Conversion, NoticesCountEachImageAlone) {
    ConversionRequest request;
    request.labels = {"a", "b"};
    request.settings.cellWidth = 2;
    request.settings.cellHeight = 2;
    request.settings.skipEmpty = true;
    Recorder recorder("P1 4 2 0000 0000");
    EXPECT_TRUE(Convert(request, recorder, recorder));
    const Heard skipped{Kind::SkippedCells, false, 2, 0};
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{skipped, skipped}));
}

}  // namespace
}  // namespace rastelle
