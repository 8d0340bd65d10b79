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

// A 24-bit BMP, rows top first: '1' is a black pixel, anything else white.
std::string Image(const std::vector<std::string>& rows) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = static_cast<std::int32_t>(rows[0].size());
    bmp.height = -static_cast<std::int32_t>(rows.size());
    std::vector<ByteVector> stored(rows.size());
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (const char pixel : rows[y])
            stored[y].insert(stored[y].end(), 3, pixel == '1' ? 0 : 255);
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
        // Pixels inverted, fill digits not.
        {{"--invert", "sprite.bmp"},
         0,
         "\t.db 16,2\r\n\t.db %00000000,%00000000\r\n\t.db %11111111,%11000000\r\n",
         ""},
        // Grey 0 at half opacity, grey 0x40 transparent, grey 0x40 opaque.
        {{"--background", "black", RASTELLE_FIXTURES_DIR "/formats/good/grey-alpha-8bit.png"},
         0,
         "\t.db 8,1\r\n\t.db %11100000\r\n",
         ""},
        {{"--preview", "--centre", "sprite.bmp"}, 0, "░░░▀▀▀▀▀▀▀▀▀▀░░░\n", ""},
        {{"--preview", "--fill", "ones", "sprite", "1 dot.bmp"},
         0,
         "sprite:\n▀▀▀▀▀▀▀▀▀▀▓▓▓▓▓▓\n\n_1_dot:\n▀▓▓▓▓▓▓▓\n",
         ""},
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
        {{"--syntax", "intel", "pic.bmp", "8x8-dot.bmp"},
         "nasm -f bin -o out.bin both.s",
         zeros + std::string("\x08\x01\x80\x00\x06", 5)},
    };
    for (auto [arguments, command, bytes] : cases) {
        SCOPED_TRACE(arguments[1]);
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
