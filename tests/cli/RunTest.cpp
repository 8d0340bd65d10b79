#include "Run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BmpBuilder.h"
#include "ImageSource.h"
#include "RowEncoder.h"

namespace rastelle::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadStream(std::FILE* stream) {
    std::string text;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) {
        text.append(buffer, count);
    }
    return text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
}

// 10 x 2, 24 bits: the top row black, the bottom row white.
std::vector<std::uint8_t> BlackOverWhite() {
    test::BmpBuilder bmp;
    bmp.width = 10;
    bmp.height = 2;
    bmp.pixels = test::PaddedRows({test::ByteVector(30, 0xFF), test::ByteVector(30, 0x00)});
    return bmp.Build();
}

class RunTest : public testing::Test {
  protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("rastelle-cli-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory_);
        WriteFile(directory_ / "sprite.bmp", BlackOverWhite());
    }
    void TearDown() override { fs::remove_all(directory_); }

    int Run(std::vector<std::string> arguments) {
        std::FILE* outStream = std::tmpfile();
        std::FILE* errStream = std::tmpfile();
        std::vector<std::string_view> views(arguments.begin(), arguments.end());
        const int status = cli::Run(views, outStream, errStream);
        std::rewind(outStream);
        std::rewind(errStream);
        out = ReadStream(outStream);
        err = ReadStream(errStream);
        std::fclose(outStream);
        std::fclose(errStream);
        return status;
    }
    std::string Path(const char* name) const { return (directory_ / name).string(); }

    fs::path directory_;
    std::string out;
    std::string err;
};

TEST_F(RunTest, WritesTheExactTextToStandardOutput) {
    EXPECT_EQ(Run({Path("sprite.bmp")}), kSuccess);
    EXPECT_EQ(out, "\t.db 16,2\r\n\t.db %11111111,%11000000\r\n\t.db %00000000,%00000000\r\n");
    EXPECT_EQ(err, "");

    EXPECT_EQ(Run({"--fill", "ones", "--centre", "--width-unit", "bytes", Path("sprite.bmp")}),
              kSuccess);
    EXPECT_EQ(out, "\t.db 2,2\r\n\t.db %11111111,%11111111\r\n\t.db %11100000,%00000111\r\n");

    // Without fill the width stays in bits whatever the unit says.
    EXPECT_EQ(
        Run({"--fill", "none", "--width-unit", "bytes", "--threshold", "0", Path("sprite.bmp")}),
        kSuccess);
    EXPECT_EQ(out, "\t.db 10,2\r\n\t.db %00000000,%00\r\n\t.db %00000000,%00\r\n");
}

TEST_F(RunTest, CompletesThePathWithBmp) {
    EXPECT_EQ(Run({Path("sprite")}), kSuccess);
    EXPECT_EQ(out.substr(0, 10), "\t.db 16,2\r");
}

TEST_F(RunTest, ImagesThatCannotBeLoaded) {
    EXPECT_EQ(Run({Path("missing.bmp")}), kFailure);
    EXPECT_NE(err.find("Could not open file"), std::string::npos) << err;
    EXPECT_NE(err.find(Path("missing.bmp")), std::string::npos) << err;
    EXPECT_EQ(out, "");

    WriteFile(directory_ / "text.bmp", {'B', 'M', 'n', 'o'});
    EXPECT_EQ(Run({Path("text.bmp")}), kFailure);
    EXPECT_NE(err.find("Could not open file"), std::string::npos) << err;
    EXPECT_GT(err.size(), std::string("rastelle-cli: Could not open file ").size() +
                              Path("text.bmp").size() + 3)
        << "the decoder's reason is missing: " << err;
}

TEST_F(RunTest, OutputFileIsWrittenWholeOrNotAtAll) {
    const fs::path target = directory_ / "sprite.asm";
    EXPECT_EQ(Run({"-o", target.string(), Path("sprite.bmp")}), kSuccess);
    EXPECT_EQ(out, "");
    const std::string first = ReadFile(target);
    EXPECT_EQ(first.substr(0, 11), "\t.db 16,2\r\n");

    // A failed conversion leaves the earlier result alone.
    EXPECT_EQ(Run({"-o", target.string(), Path("missing")}), kFailure);
    EXPECT_EQ(ReadFile(target), first);

    EXPECT_EQ(Run({"-o", (directory_ / "no-such-folder" / "x.asm").string(), Path("sprite")}),
              kFailure);
    EXPECT_NE(err.find("Could not write"), std::string::npos) << err;
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()), 2)
        << "a partial file was left behind";
}

TEST_F(RunTest, BadCommandLinesShowTheUsage) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {}, {"--threshold", "300", "x"}, {"--fill", "maybe", "x"}, {"--bogus", "x"}}) {
        EXPECT_EQ(Run(arguments), kUsage);
        EXPECT_NE(err.find("Usage: rastelle-cli"), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(Run({"--help"}), kSuccess);
    EXPECT_NE(out.find("Usage: rastelle-cli"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), kSuccess);
    EXPECT_EQ(out, "rastelle-cli 1.0.0.1\n");
}

// The built program, started as a user would, agrees with the engine on every fixture the
// decoder accepts and refuses the rest with status 1.
TEST(RastelleCli, ConvertsEveryFixture) {
    for (const char* folder : {"good", "questionable", "bad"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(RASTELLE_FIXTURES_DIR) / folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::string command = std::string(RASTELLE_CLI_PATH) + " --fill ones --centre '" +
                                        entry.path().string() + "' 2>/dev/null";
            std::FILE* pipe = popen(command.c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            const std::string text = ReadStream(pipe);
            const int status = pclose(pipe);

            ImageSource source;
            if (source.Open(entry.path()).opened) {
                EXPECT_EQ(status, 0);
                EXPECT_EQ(text, EncodeImage(source, {FillMode::Ones, true, WidthUnit::Bits, 128}));
            } else {
                EXPECT_EQ(WEXITSTATUS(status), 1);
                EXPECT_EQ(text, "");
            }
            EXPECT_EQ(std::string(folder) == "bad", !source.IsOpen());
        }
    }
}

}  // namespace
}  // namespace rastelle::cli
