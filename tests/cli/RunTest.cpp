#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "BmpBuilder.h"

namespace {

namespace fs = std::filesystem;
using rastelle::test::ByteVector;

std::string ReadFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A 24-bit BMP, rows top first: '1' is a black pixel, 'k' magenta, anything else white.
std::string Image(const std::vector<std::string>& rows) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = static_cast<std::int32_t>(rows[0].size());
    bmp.height = -static_cast<std::int32_t>(rows.size());
    std::vector<ByteVector> stored(rows.size());
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (const char pixel : rows[y])
            stored[y].insert(stored[y].end(), {std::uint8_t(pixel == '1' ? 0 : 255),
                                               std::uint8_t(pixel == '0' ? 255 : 0),
                                               std::uint8_t(pixel == '1' ? 0 : 255)});
    bmp.pixels = rastelle::test::PaddedRows(stored);
    const ByteVector file = bmp.Build();
    return {file.begin(), file.end()};
}

const std::string kSpriteText =
    "\t.db 16,2\r\n\t.db %11111111,%11000000\r\n\t.db %00000000,%00000000\r\n";

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended the program
    std::string out;
    std::string err;
};

// The built program, run in a fresh directory holding sprite.bmp (10 x 2: a black row over a
// white one), with umask 022.
class Cli : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("rastelle-cli-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        WriteFile(dir_ / "sprite.bmp", Image({"1111111111", "0000000000"}));
    }
    void TearDown() override {
        fs::remove_all(dir_);
        fs::remove(Capture("out"));
        fs::remove(Capture("err"));
    }
    std::string Capture(const char* what) const { return dir_.string() + "." + what; }

    // `shell` runs first in the same shell, e.g. to set a limit.
    Outcome Run(const std::vector<std::string>& arguments, const std::string& stdoutPath = {},
                const std::string& shell = {}) {
        std::string command =
            "cd '" + dir_.string() + "' && umask 022 && " + shell + " exec " RASTELLE_CLI_PATH;
        for (const std::string& argument : arguments)
            command += " '" + argument + "'";
        command += " >'" + (stdoutPath.empty() ? Capture("out") : stdoutPath) + "' 2>'" +
                   Capture("err") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                stdoutPath.empty() ? ReadFile(Capture("out")) : "", ReadFile(Capture("err"))};
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

TEST_F(Cli, ExactTextsOnStandardOutput) {
    // Its text spans more than one of the blocks it is written in.
    WriteFile(dir_ / "black.bmp", Image(std::vector<std::string>(256, std::string(256, '1'))));
    std::string blackRow = "\r\n\t.db %11111111";
    for (int group = 1; group < 32; ++group)
        blackRow += ",%11111111";
    std::string blackText = "\t.db 256,256";
    for (int row = 0; row < 256; ++row)
        blackText += blackRow;
    WriteFile(dir_ / "1 dot.bmp", Image({"1"}));
    const std::string dotText = "\r\n_1_dot:\r\n\t.db 8,1\r\n\t.db %10000000\r\n";
    const std::string wide = "rastelle-cli: black.bmp: width 256 does not fit in a byte\n";
    const std::string tall = "rastelle-cli: black.bmp: height 256 does not fit in a byte\n";

    // Frames as the GIF shows them: red red white, green red white, white blue white, white
    // red green.
    const std::string animation = RASTELLE_FIXTURES_DIR "/formats/good/animated-4-frames.gif";
    const std::string frames =
        "animated_4_frames_0:\r\n\t.db 8,1\r\n\t.db %11000000\r\n"
        "\r\nanimated_4_frames_1:\r\n\t.db 8,1\r\n\t.db %11000000\r\n"
        "\r\nanimated_4_frames_2:\r\n\t.db 8,1\r\n\t.db %01000000\r\n"
        "\r\nanimated_4_frames_3:\r\n\t.db 8,1\r\n\t.db %01100000\r\n";

    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--frames", "all", animation}, 0, frames, ""},
        {{animation}, 0, "\t.db 8,1\r\n\t.db %11000000\r\n", ""},
        {{"sprite.bmp"}, 0, kSpriteText, ""},
        {{"-o", "-", "sprite"}, 0, kSpriteText, ""},  // "-" is standard output, not a file
        {{"--fill", "ones", "--centre", "--width-unit", "bytes", "sprite.bmp"},
         0,
         "\t.db 2,2\r\n\t.db %11111111,%11111111\r\n\t.db %11100000,%00000111\r\n",
         ""},
        // Without fill the width stays in bits whatever the unit says.
        {{"--fill", "none", "--width-unit", "bytes", "--threshold", "0", "sprite.bmp"},
         0,
         "\t.db 10,2\r\n\t.db %00000000,%00\r\n\t.db %00000000,%00\r\n",
         ""},
        {{"black.bmp"}, 0, blackText + "\r\n", wide + tall},
        {{"--width-unit", "bytes", "black.bmp"},
         0,
         "\t.db 32,256" + blackText.substr(12) + "\r\n",
         tall},
        {{"--label", "Sprite", "sprite"}, 0, "Sprite:\r\n" + kSpriteText, ""},
        {{"sprite", "1 dot.bmp"}, 0, "sprite:\r\n" + kSpriteText + dotText, ""},
        {{"--mask", "alpha", "sprite"},
         0,
         "\t.db 16,2\r\n\t.db %00000000,%11111111,%00111111,%11000000\r\n"
         "\t.db %00000000,%00000000,%00111111,%00000000\r\n",
         "rastelle-cli: sprite: no pixel is transparent; the mask is all opaque\n"},
        {{"--cell", "5x1", "--skip-empty", "sprite.bmp"},
         0,
         "sprite_0:\r\n\t.db 8,1\r\n\t.db %11111000\r\n"
         "\r\nsprite_1:\r\n\t.db 8,1\r\n\t.db %11111000\r\n",
         "rastelle-cli: sprite.bmp: left out 2 empty cells\n"},
        {{"sprite", "missing.bmp"},
         1,
         "sprite:\r\n" + kSpriteText,
         "rastelle-cli: Could not open file missing.bmp: No such file or directory\n"
         "rastelle-cli: standard output holds only part of the text\n"},
    };
    for (const auto& [arguments, status, out, err] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << outcome.err;
        EXPECT_EQ(outcome.out, out);
        EXPECT_EQ(outcome.err, err);
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"1 dot.bmp", "black.bmp", "sprite.bmp"}));

    const Outcome bad = Run({"--bogus", "sprite.bmp"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.starts_with("rastelle-cli: unknown option '--bogus'\n\nUsage:")) << bad.err;
}

struct Target {
    const char* name;
    std::string prepare;  // shell commands run in the directory first
    std::string out;
    const char* textAt;  // where the text lands, when it can be read back
    mode_t type;         // of `out` afterwards, as lstat sees it
    mode_t permissions;  // of the file holding the text
};

class OutputTarget : public Cli, public testing::WithParamInterface<Target> {};

const Target kTargets[] = {
    {"NewName", "true", "new.asm", "new.asm", S_IFREG, 0644},
    {"KeepsPermissions", "echo old >old.asm && chmod 640 old.asm", "old.asm", "old.asm", S_IFREG,
     0640},
    {"FollowsSymlink", "echo old >old.asm && ln -s old.asm link.asm", "link.asm", "old.asm",
     S_IFLNK, 0644},
    {"NameOf250Bytes", "true", std::string(250, 'n'), nullptr, S_IFREG, 0644},
    {"Fifo", "mkfifo pipe", "pipe", nullptr, S_IFIFO, 0},
    {"CharacterDevice", "mknod null c 1 3", "null", nullptr, S_IFCHR, 0},
};

TEST_P(OutputTarget, TakesTheText) {
    const Target& target = GetParam();
    if (target.type == S_IFCHR && geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    ASSERT_EQ(std::system(("cd " + dir_.string() + " && " + target.prepare).c_str()), 0);
    // A FIFO's reader; released by an empty writer should the program never open it.
    std::string fromPipe;
    std::thread reader;
    if (target.type == S_IFIFO)
        reader = std::thread([&] { fromPipe = ReadFile(dir_ / target.out); });

    const Outcome outcome = Run({"-o", target.out, "sprite.bmp"});

    if (reader.joinable()) {
        close(open((dir_ / target.out).c_str(), O_WRONLY | O_NONBLOCK));
        reader.join();
        EXPECT_EQ(fromPipe, kSpriteText);
    }
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out + outcome.err, "");
    struct stat status {};
    ASSERT_EQ(lstat((dir_ / target.out).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IFMT, target.type);
    const fs::path textAt = dir_ / (target.textAt ? target.textAt : target.out);
    if (target.type == S_IFREG || target.type == S_IFLNK) {
        EXPECT_EQ(ReadFile(textAt), kSpriteText);
        ASSERT_EQ(stat(textAt.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, target.permissions);
    }
    for (const std::string& name : Names())
        EXPECT_FALSE(name.starts_with(".rastelle")) << "left behind: " << name;
}

INSTANTIATE_TEST_SUITE_P(Cli, OutputTarget, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& row) { return row.param.name; });

// Every refusal names OUT (or the input) and the system's reason, and changes nothing.
TEST_F(Cli, RefusalsLeaveEverythingAsItWas) {
    const std::string prepare = "mkdir folder && echo old >old.asm && mkfifo pipe";
    ASSERT_EQ(std::system(("cd " + dir_.string() + " && " + prepare).c_str()), 0);
    const std::string longName(256, 'n');
    const struct {
        std::string out;
        std::vector<std::string> inputs;
        std::string err;
    } cases[] = {
        {"missing/x.asm",
         {"sprite.bmp"},
         "Could not write missing/x.asm: No such file or directory"},
        {"folder", {"sprite.bmp"}, "Could not write folder: Is a directory"},
        {longName, {"sprite.bmp"}, "Could not write " + longName + ": File name too long"},
        {"/dev/full", {"sprite.bmp"}, "Could not write /dev/full: No space left on device"},
        {"sprite.bmp",
         {"sprite.bmp"},
         "Could not write sprite.bmp: the output would overwrite the input sprite.bmp"},
        {"sprite.bmp",
         {"sprite"},
         "Could not write sprite.bmp: the output would overwrite the input sprite"},
        {"old.asm", {"missing.bmp"}, "Could not open file missing.bmp: No such file or directory"},
        // Opened without blocking and refused on its descriptor; a blocking open would hang.
        {"old.asm", {"pipe"}, "Could not open file pipe: not a regular file"},
        {"old.asm",
         {"--cell", "4x2", "sprite.bmp"},
         "sprite.bmp: 10 x 2 pixels are no whole number of 4 x 2 cells: 2 columns and 0 rows "
         "left over"},
        // With several files, nothing is written unless every one can be read.
        {"old.asm",
         {"sprite.bmp", "none.bmp"},
         "Could not open file none.bmp: No such file or directory"},
    };
    const std::set<std::string> before = Names();
    const std::string image = ReadFile(dir_ / "sprite.bmp");
    for (auto [out, inputs, err] : cases) {
        inputs.insert(inputs.begin(), {"-o", out});
        const Outcome outcome = Run(inputs);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "rastelle-cli: " + err + "\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(Names(), before);
        EXPECT_EQ(ReadFile(dir_ / "sprite.bmp"), image);
        EXPECT_EQ(ReadFile(dir_ / "old.asm"), "old\n");
    }
}

TEST_F(Cli, StandardOutputThatCannotBeWritten) {
    for (const char* argument : {"--help", "--version", "sprite.bmp"}) {
        const Outcome outcome = Run({argument}, "/dev/full");
        EXPECT_EQ(outcome.status, 1) << argument;
        EXPECT_EQ(outcome.err,
                  "rastelle-cli: Could not write standard output: No space left on device\n");
    }
}

// The file system refuses the text after its first bytes (a file size limit): ignored, the
// signal makes the write fail; by default it kills the program. Either way OUT keeps its
// old text and no temporary file is left.
TEST_F(Cli, WriteFailingMidwayKeepsTheOldOutput) {
    WriteFile(dir_ / "big.bmp", Image(std::vector<std::string>(64, std::string(248, '1'))));
    WriteFile(dir_ / "old.asm", "old");
    const std::set<std::string> before = Names();
    const struct {
        std::string shell;
        int status;
        std::string err;
    } cases[] = {
        {"ulimit -f 2; trap '' XFSZ;", 1,
         "rastelle-cli: Could not write old.asm: File too large\n"},
        {"ulimit -f 2;", 128 + SIGXFSZ, ""},
    };
    for (const auto& [shell, status, err] : cases) {
        const Outcome outcome = Run({"-o", "old.asm", "big.bmp"}, {}, shell);
        EXPECT_EQ(outcome.status, status);
        EXPECT_EQ(outcome.err, err);
        EXPECT_EQ(ReadFile(dir_ / "old.asm"), "old");
        EXPECT_EQ(Names(), before);
    }
}

// Each syntax, picked by the name of an assembler that reads it and assembled by it with a
// label line: the bytes are the pixels', written by hand. Several files make one text whose
// labels the assembler takes as each image's address. A missing assembler is a failure.
TEST_F(Cli, RealAssemblersTakeTheText) {
    WriteFile(dir_ / "pic.bmp", Image({"1011001110", "0100110001"}));
    WriteFile(dir_ / "8x8-dot.bmp", Image({"1"}));
    // With fill: 16,2, 10110011 10000000, 01001100 01000000. Without: 10,2, and each row's
    // short last literal is a plain number (%10 is 2, %01 is 1).
    const std::string zeros("\x10\x02\xB3\x80\x4C\x40", 6);
    const std::string none("\x0A\x02\xB3\x02\x4C\x01", 6);
    const std::string centred("\x10\x02\x16\x70\x09\x88", 6);  // 000 + pixels + 000
    const std::string gnuAs =
        "z80-unknown-coff-as -o in.o in.s && z80-unknown-coff-objcopy -O binary in.o out.bin";
    WriteFile(dir_ / "both.s", "%include \"in.s\"\n\tdb pic,_8x8_dot\n");
    // Pages of 3 x 2 pixels, magenta the key: picture columns 1/0, 0/1, 0/0 (top/bottom),
    // transparent 0/0, 1/0, 0/1; fill rows are transparent. Bit 0 is the top row: picture
    // 01 02 00, mask FC FD FE; with the opaque bit 03 02 01.
    WriteFile(dir_ / "key.bmp", Image({"1k0", "01k"}));
    const std::vector<std::string> key = {"--layout", "pages", "--mask", "#ff00ff",
                                          "--label",  "pic",   "key.bmp"};
    const auto keyed = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), key.begin(), key.end());
        return arguments;
    };
    const struct {
        std::vector<std::string> arguments;
        std::string command;
        std::string bytes;
    } cases[] = {
        {{"--syntax", "xa65"}, "xa -o out.bin in.s", zeros},
        {{"--syntax", "tasm", "--fill", "none"}, gnuAs, none},
        {{"--syntax", "pasmo", "--fill", "none"}, "pasmo in.s out.bin", none},
        {{"--syntax", "z80asm"}, "z80asm -o out.bin in.s", zeros},
        {{"--syntax", "nasm", "--fill", "none"}, "nasm -f bin -o out.bin in.s", none},
        {{"--syntax", "cc65"}, "ca65 -o in.o in.s && ld65 -t none -o out.bin in.o", zeros},
        {{"--syntax", "acme", "--fill", "none"}, "acme --setpc 0 -f plain -o out.bin in.s", none},
        {{"--syntax", "as31", "--centre"}, "as31 -Fbin -Oout.bin in.s", centred},
        {{"--syntax", "gas", "--fill", "none"}, gnuAs, none},
        {keyed({"--syntax", "xa65"}), "xa -o out.bin in.s",
         std::string("\x03\x08\xFC\x01\xFD\x02\xFE\x00", 8)},
        {keyed({"--syntax", "tasm", "--mask-layout", "after"}), gnuAs,
         std::string("\x03\x08\x01\xFC\x02\xFD\x00\xFE", 8)},
        {keyed({"--syntax", "pasmo", "--mask-layout", "block"}), "pasmo in.s out.bin",
         std::string("\x03\x08\x01\x02\x00\x03\x08\xFC\xFD\xFE", 10)},
        {keyed({"--syntax", "z80asm", "--mask-bit", "opaque"}), "z80asm -o out.bin in.s",
         std::string("\x03\x08\x03\x01\x02\x02\x01\x00", 8)},
        {keyed({"--syntax", "nasm", "--fill", "none", "--mask-layout", "after"}),
         "nasm -f bin -o out.bin in.s", std::string("\x03\x02\x01\x00\x02\x01\x00\x02", 8)},
        {keyed({"--syntax", "cc65", "--bit-order", "msb", "--mask-layout", "block"}),
         "ca65 -o in.o in.s && ld65 -t none -o out.bin in.o",
         std::string("\x03\x08\x80\x40\x00\x03\x08\x3F\xBF\x7F", 10)},
        {keyed({"--syntax", "acme", "--centre", "--mask-layout", "after"}),
         "acme --setpc 0 -f plain -o out.bin in.s",
         std::string("\x03\x08\x08\xE7\x10\xEF\x00\xF7", 8)},
        {keyed({"--syntax", "as31", "--no-header"}), "as31 -Fbin -Oout.bin in.s",
         std::string("\xFC\x01\xFD\x02\xFE\x00", 6)},
        {keyed({"--syntax", "gas", "--fill", "ones", "--mask-layout", "after"}), gnuAs,
         std::string("\x03\x08\xFD\xFC\xFE\xFD\xFC\xFE", 8)},
        {{"--syntax", "intel", "pic.bmp", "8x8-dot.bmp"},
         "nasm -f bin -o out.bin both.s",
         zeros + std::string("\x08\x01\x80\x00\x06", 5)},
    };
    for (auto [arguments, command, bytes] : cases) {
        SCOPED_TRACE(arguments[1] + " " + arguments[2 % arguments.size()]);
        const std::string tool = command.substr(0, command.find(' '));
        if (std::system(("command -v " + tool + " >/dev/null").c_str()) != 0) {
            ADD_FAILURE() << tool << " is missing: bash scripts/install-deps.sh --native";
            continue;
        }
        if (!arguments.back().ends_with(".bmp"))
            arguments.insert(arguments.end(), {"--label", "pic", "pic.bmp"});
        arguments.insert(arguments.end(), {"-o", "in.s"});
        ASSERT_EQ(Run(arguments).status, 0);
        command = "cd " + dir_.string() + " && " + command + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(dir_ / "in.s");
        EXPECT_EQ(ReadFile(dir_ / "out.bin"), bytes);
        fs::remove(dir_ / "out.bin");
    }
}

}  // namespace

TEST_F(Cli, ReverseWritesPicturesOrNothing) {
    WriteFile(dir_ / "two.asm", "a:\n\t.db 8,1\n\t.db $81\nb:\n\t.db 8,1\n\t.db 1\n");
    WriteFile(dir_ / "bad.asm", "\t.db 8,1\n\t.db 1,2\n");
    fs::create_directories(dir_ / "pictures");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string err;
        const char* file;  // what it holds afterwards, when given
        std::string bytes;
    } cases[] = {
        {{"--reverse", "--label", "a", "two.asm", "-o", "a.pbm"},
         0,
         "",
         "a.pbm",
         std::string("P4\n8 1\n\x81")},
        {{"--reverse", "--invert", "--label", "b", "two.asm", "-o", "b.pbm"},
         0,
         "",
         "b.pbm",
         "P4\n8 1\n\xFE"},
        {{"--reverse", "two.asm", "-o", "pictures"}, 0, "", nullptr, ""},
        {{"--reverse", "bad.asm", "-o", "bad.pbm"},
         1,
         "rastelle-cli: bad.asm:2: expected 1 numbers in each line of the image, not more\n",
         nullptr,
         ""},
        {{"--reverse", "bad.asm", "two.asm", "-o", "pictures"},
         1,
         "rastelle-cli: bad.asm:2: expected 1 numbers in each line of the image, not more\n",
         nullptr,
         ""},
        {{"--reverse", "two.asm", "-o", "one.png"},
         1,
         "rastelle-cli: Could not write one.png: the text holds several images; name a folder to "
         "hold one picture per label, or pick one with --label\n",
         nullptr,
         ""},
        {{"--reverse", "--mask", "alpha", "two.asm", "-o", "m.pbm"},
         2,
         "rastelle-cli: PBM has no transparency; write the mask to a PNG\n",
         nullptr,
         ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments[test.arguments.size() - 1]);
        const Outcome outcome = Run(test.arguments);
        EXPECT_EQ(outcome.status, test.status);
        EXPECT_EQ(outcome.err, test.err);
        if (test.file != nullptr) {
            EXPECT_EQ(ReadFile(dir_ / test.file), test.bytes);
        }
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"sprite.bmp", "two.asm", "bad.asm", "pictures",
                                              "a.pbm", "b.pbm"}));
    std::set<std::string> pictures;
    for (const auto& entry : fs::directory_iterator(dir_ / "pictures"))
        pictures.insert(entry.path().filename().string());
    EXPECT_EQ(pictures, (std::set<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(Run({"--reverse", "--no-header", "two.asm", "-o", "x.png"}).status, 2);
}
