#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "common/AssemblerSyntax.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
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

// An MSX sprite of 16 x 16 with four different quarters: a diagonal down to the right, one
// down to the left, columns of 4, and rows of 8 and 4 in turn.
const std::vector<std::string> kQuarters = {
    "1000000000000001", "0100000000000010", "0010000000000100", "0001000000001000",
    "0000100000010000", "0000010000100000", "0000001001000000", "0000000110000000",
    "1111000011111111", "1111000000001111", "1111000011111111", "1111000000001111",
    "1111000011111111", "1111000000001111", "1111000011111111", "1111000000001111"};

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

#ifdef _WIN32
    // `shell` has no counterpart here: the tests that need one are not built.
    Outcome Run(const std::vector<std::string>& arguments) {
        std::wstring command = L"\"" + fs::absolute(RASTELLE_CLI_PATH).wstring() + L"\"";
        for (const std::string& argument : arguments)
            command += L" \"" +
                       fs::path(std::u8string(argument.begin(), argument.end())).wstring() + L"\"";
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const auto capture = [&](const char* what) {
            return CreateFileW(fs::path(Capture(what)).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                               &inherited, CREATE_ALWAYS, 0, nullptr);
        };
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = capture("out");
        startup.hStdError = capture("err");
        PROCESS_INFORMATION process{};
        DWORD status = 255;
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           dir_.c_str(), &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            GetExitCodeProcess(process.hProcess, &status);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(startup.hStdOutput);
        CloseHandle(startup.hStdError);
        return {static_cast<int>(status), ReadFile(Capture("out")), ReadFile(Capture("err"))};
    }
#else
    // `shell` runs first in the same shell, e.g. to set a limit.
    Outcome Run(const std::vector<std::string>& arguments, const std::string& stdoutPath = {},
                const std::string& shell = {}) {
        std::string command = "cd '" + dir_.string() + "' && umask 022 && " + shell + " exec " +
                              runAs_ + RASTELLE_CLI_PATH;
        for (const std::string& argument : arguments)
            command += " '" + argument + "'";
        command += " >'" + (stdoutPath.empty() ? Capture("out") : stdoutPath) + "' 2>'" +
                   Capture("err") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                stdoutPath.empty() ? ReadFile(Capture("out")) : "", ReadFile(Capture("err"))};
    }
#endif
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.insert(reinterpret_cast<const char*>(entry.path().filename().u8string().c_str()));
        return names;
    }

    fs::path dir_;
    std::string runAs_;  // a command that runs the program as another user
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
    std::string turned = "\t.db 8,10\r\n";
    for (int row = 0; row < 10; ++row)
        turned += "\t.db %01000000\r\n";

    // Frames as the GIF shows them: red red white, green red white, white blue white, white
    // red green.
    const std::string animation =
        fs::absolute(RASTELLE_FIXTURES_DIR "/formats/good/animated-4-frames.gif").string();
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
        // Turned clockwise: each row a column of the sprite, bottom first.
        {{"--rotate", "90", "sprite.bmp"}, 0, turned, ""},
        {{"--invert", "--trim", "sprite.bmp"},
         0,
         "\t.db 16,1\r\n\t.db %11111111,%11000000\r\n",
         "rastelle-cli: sprite.bmp: trimmed to 10 x 1 pixels from 0,1 of 10 x 2\n"},
        // The place of what was kept, for the program that draws it.
        {{"--invert", "--trim", "--symbols", "--syntax", "intel", "sprite.bmp"},
         0,
         "sprite_width: equ 10\r\nsprite_height: equ 1\r\nsprite_trim_x: equ 0\r\n"
         "sprite_trim_y: equ 1\r\nsprite:\r\n\tdb 16,1\r\n\tdb 11111111b,11000000b\r\n",
         "rastelle-cli: sprite.bmp: trimmed to 10 x 1 pixels from 0,1 of 10 x 2\n"},
        {{"--crop", "3,1,8,1", "sprite.bmp"},
         1,
         "",
         "rastelle-cli: sprite.bmp: the crop 3,1,8,1 reaches outside the image of 10 x 2 pixels\n"},
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
        // A name the system's code page may not hold comes back as typed (UTF-8).
        {{"ch\xC3\xA2teau.bmp"},
         1,
         "",
         "rastelle-cli: Could not open file ch\xC3\xA2teau.bmp: No such file or directory\n"},
    };
    for (const auto& [arguments, status, out, err] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << outcome.err;
        EXPECT_EQ(outcome.out, out);
        EXPECT_EQ(outcome.err, err);
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"1 dot.bmp", "black.bmp", "sprite.bmp"}));
}

#ifndef _WIN32
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

#endif

// Every refusal names OUT (or the input) and the system's reason, and changes nothing.
TEST_F(Cli, RefusalsLeaveEverythingAsItWas) {
    fs::create_directory(dir_ / "folder");
    WriteFile(dir_ / "old.asm", "old\n");
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0644), 0);
    const std::string longName(256, 'n');
#endif
    const struct {
        std::string out;
        std::vector<std::string> inputs;
        std::string err;
    } cases[] = {
        {"missing/x.asm",
         {"sprite.bmp"},
         "Could not write missing/x.asm: No such file or directory"},
        {"folder", {"sprite.bmp"}, "Could not write folder: Is a directory"},
#ifndef _WIN32
        {longName, {"sprite.bmp"}, "Could not write " + longName + ": File name too long"},
        {"/dev/full", {"sprite.bmp"}, "Could not write /dev/full: No space left on device"},
#endif
        {"sprite.bmp",
         {"sprite.bmp"},
         "Could not write sprite.bmp: the output would overwrite the input sprite.bmp"},
        {"sprite.bmp",
         {"sprite"},
         "Could not write sprite.bmp: the output would overwrite the input sprite"},
        {"old.asm", {"missing.bmp"}, "Could not open file missing.bmp: No such file or directory"},
#ifdef _WIN32
        {"old.asm", {"NUL"}, "Could not open file NUL: not a regular file"},
#else
        // Opened without blocking and refused on its descriptor; a blocking open would hang.
        {"old.asm", {"pipe"}, "Could not open file pipe: not a regular file"},
#endif
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

#ifdef _WIN32
// A new name, an old file whose attributes stay, names beyond any code page, and the NUL
// device, written directly.
TEST_F(Cli, WindowsTargetsTakeTheText) {
    const auto utf8 = [](const std::string& name) {
        return fs::path(std::u8string(name.begin(), name.end()));
    };
    const std::string unicode = "\xC3\xA9\xD0\xB4\xE4\xB8\xAD";  // e acute, Cyrillic de, zhong
    fs::copy_file(dir_ / "sprite.bmp", dir_ / utf8(unicode + ".bmp"));
    WriteFile(dir_ / "old.asm", "old");
    SetFileAttributesW((dir_ / "old.asm").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    const struct {
        std::string out;
        std::string input;
        DWORD attributes;  // of the file written; 0 for a device
    } cases[] = {
        {"new.asm", "sprite", FILE_ATTRIBUTE_ARCHIVE},
        {"old.asm", "sprite.bmp", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {unicode + ".asm", unicode, FILE_ATTRIBUTE_ARCHIVE},
        {"NUL", "sprite.bmp", 0},
    };
    for (const auto& [out, input, attributes] : cases) {
        const Outcome outcome = Run({"-o", out, input});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out + outcome.err, "");
        if (attributes != 0) {
            EXPECT_EQ(ReadFile(dir_ / utf8(out)), kSpriteText) << out;
            EXPECT_EQ(GetFileAttributesW((dir_ / utf8(out)).c_str()), attributes) << out;
        }
    }
    for (const std::string& name : Names())
        EXPECT_FALSE(name.starts_with(".rastelle")) << "left behind: " << name;
}
#else
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
        // The files' table: pic at 0, _8x8_dot at 6.
        {{"--syntax", "intel", "--symbols", "pic.bmp", "8x8-dot.bmp"},
         "nasm -f bin -o out.bin in.s",
         zeros + std::string("\x08\x01\x80\x00\x00\x06\x00", 7)},
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

// Binary, hexadecimal and decimal, lines cut short, comments drawn and symbols: each
// preset's assemblers give the same bytes, worked out by hand (pic.bmp as above; pages: a
// byte a column of the two rows, the top pixel in bit 0, under a header of 10,8; cells of
// 5 x 1 at 0, 3, 6 and 9, their table in the assembler's words, as31's big-endian, then a
// line of pic_count, pic_0_width and pic_3_height that the test adds).
TEST_F(Cli, EveryRadixAndFormAssemblesToThePixels) {
    WriteFile(dir_ / "pic.bmp", Image({"1011001110", "0100110001"}));
    const std::string gnuAs =
        "z80-unknown-coff-as -o in.o in.s && z80-unknown-coff-objcopy -O binary in.o out.bin";
    const std::string cells("\x08\x01\xB0\x08\x01\x70\x08\x01\x48\x08\x01\x88", 12);
    const std::string symbols("\x04\x05\x01", 3);
    const struct {
        std::vector<std::string> form;
        std::string bytes;
        std::string bigEndian;  // when it differs
    } forms[] = {
        {{}, std::string("\x10\x02\xB3\x80\x4C\x40", 6), {}},
        {{"--fill", "none", "--per-line", "1", "--comment"},
         std::string("\x0A\x02\xB3\x02\x4C\x01", 6),
         {}},
        {{"--layout", "pages", "--comment", "--per-line", "3"},
         std::string("\x0A\x08\x01\x02\x01\x01\x02\x02\x01\x01\x01\x02", 12),
         {}},
        {{"--symbols", "--cell", "5x1"},
         cells + std::string("\0\0\3\0\6\0\x09\0", 8) + symbols,
         cells + std::string("\0\0\0\3\0\6\0\x09", 8) + symbols},
    };
    const struct {
        std::string syntax, command, directive;
    } assemblers[] = {
        {"xa65", "xa -bt0 -o out.bin in.s", ".db"},
        {"tasm", gnuAs, ".db"},
        {"pasmo", "pasmo in.s out.bin", "db"},
        {"z80asm", "z80asm -o out.bin in.s", "db"},
        {"nasm", "nasm -f bin -o out.bin in.s", "db"},
        {"cc65", "ca65 -o in.o in.s && ld65 -t none -S 0 -o out.bin in.o", ".byte"},
        {"acme", "acme --setpc 0 -f plain -o out.bin in.s", "!byte"},
        {"as31", "as31 -Fbin -Oout.bin in.s", ".db"},
        {"gas", gnuAs, ".byte"},
    };
    for (const auto& [syntax, command, directive] : assemblers)
        for (const char* radix : {"bin", "hex", "dec"})
            for (const auto& [form, bytes, bigEndian] : forms) {
                std::vector<std::string> arguments = {"--syntax", syntax, "--radix", radix};
                arguments.insert(arguments.end(), form.begin(), form.end());
                arguments.insert(arguments.end(), {"--label", "pic", "pic.bmp", "-o", "in.s"});
                SCOPED_TRACE(syntax + " " + radix + " " + (form.empty() ? "" : form[1]));
                ASSERT_EQ(Run(arguments).status, 0);
                if (!form.empty() && form[0] == "--symbols")
                    std::ofstream(dir_ / "in.s", std::ios::app)
                        << "\t" << directive << " pic_count,pic_0_width,pic_3_height\r\n";
                EXPECT_EQ(
                    std::system(("cd " + dir_.string() + " && " + command + " >/dev/null").c_str()),
                    0)
                    << ReadFile(dir_ / "in.s");
                EXPECT_EQ(ReadFile(dir_ / "out.bin"),
                          syntax == "as31" && !bigEndian.empty() ? bigEndian : bytes);
                fs::remove(dir_ / "out.bin");
            }
}

// A sheet of 4 x 2 cells of 8 x 8: A, A flipped across, A, blank / A flipped down, A flipped
// both ways, blank, A. Every preset's assemblers, in every radix, give the tiles, the map and
// the flips worked out by hand; word maps in the assembler's byte order (as31's 8051 puts the
// high byte first).
TEST_F(Cli, TilesAndMapsAssembleToTheCells) {
    const std::vector<std::string> a = {"11110000", "10000000", "10000000", "10000000",
                                        "00000000", "00000000", "00000000", "00000001"};
    const auto across = [](std::vector<std::string> tile) {
        for (std::string& row : tile)
            std::reverse(row.begin(), row.end());
        return tile;
    };
    const auto down = [](std::vector<std::string> tile) {
        std::reverse(tile.begin(), tile.end());
        return tile;
    };
    const std::vector<std::string> blank(8, "00000000");
    const std::vector<std::vector<std::string>> cells = {a,       across(a),       a,     blank,
                                                         down(a), across(down(a)), blank, a};
    std::vector<std::string> sheet(16);
    for (std::size_t cell = 0; cell < cells.size(); ++cell)
        for (std::size_t y = 0; y < 8; ++y)
            sheet[cell / 4 * 8 + y] += cells[cell][y];
    WriteFile(dir_ / "pic.bmp", Image(sheet));
    // 257 different cells of 16 x 1 pixels (0 to 256 as binary numbers), then cell 0 again,
    // two to a row.
    std::vector<std::string> numbers(129);
    std::string counted;
    for (int n = 0; n <= 257; ++n) {
        for (int bit = 15; bit >= 0; --bit)
            numbers[std::size_t(n / 2)] += ((n % 257) >> bit & 1) != 0 ? '1' : '0';
        if (n < 257)
            counted.append("\x10\x01").append(1, char(n >> 8)).append(1, char(n & 255));
    }
    WriteFile(dir_ / "many.bmp", Image(numbers));
    WriteFile(dir_ / "msx.bmp", Image(kQuarters));
    WriteFile(dir_ / "odd.bmp", Image({"1010101011"}));

    const std::string tileA("\x08\x08\xF0\x80\x80\x80\x00\x00\x00\x01", 10);
    const std::string tileAcross("\x08\x08\x0F\x01\x01\x01\x00\x00\x00\x80", 10);
    const std::string tileDown("\x08\x08\x01\x00\x00\x00\x80\x80\x80\xF0", 10);
    const std::string tileBoth("\x08\x08\x80\x00\x00\x00\x01\x01\x01\x0F", 10);
    const std::string tileBlank("\x08\x08\0\0\0\0\0\0\0\0", 10);
    std::string words;  // the map of many.bmp: 0 to 256, then 0, under a header of 2,129
    std::string wordsHighFirst;
    for (int n = 0; n <= 257; ++n) {
        const char low = char(n % 257 & 255);
        const char high = char(n % 257 >> 8);
        words.append(1, low).append(1, high);
        wordsHighFirst.append(1, high).append(1, low);
    }
    const struct {
        std::vector<std::string> options;
        std::string bytes;
        std::string highFirst;  // where word entries differ
    } cases[] = {
        {{"--cell", "8x8", "--unique"},
         tileA + tileAcross + tileBlank + tileDown + tileBoth +
             std::string("\x04\x02\x00\x01\x00\x02\x03\x04\x02\x00", 10),
         {}},
        {{"--cell", "8x8", "--unique", "--cell-order", "columns"},
         tileA + tileDown + tileAcross + tileBoth + tileBlank +
             std::string("\x04\x02\x00\x01\x02\x03\x00\x04\x04\x00", 10),
         {}},
        {{"--cell", "8x8", "--unique", "--mirror", "--skip-empty", "--empty-index", "9",
          "--map-base", "1"},
         tileA + std::string("\x04\x02\x01\x01\x01\x09\x01\x01\x09\x01", 10) +
             std::string("\x04\x02\x00\x20\x00\x00\x40\x60\x00\x00", 10),
         {}},
        {{"--cell", "8x8", "--unique", "--mirror", "--attr-in-map"},
         tileA + tileBlank + std::string("\x04\x02\0\0\0\x40\0\0\x01\0\0\x80\0\xC0\x01\0\0\0", 18),
         tileA + tileBlank + std::string("\x04\x02\0\0\x40\0\0\0\0\x01\x80\0\xC0\0\0\x01\0\0", 18)},
        // Strips: the left 8 pixels of every row, then the right 8.
        {{"--layout", "strips", "--cell", "16x16", "msx.bmp"},
         std::string("\x10\x10\x80\x40\x20\x10\x08\x04\x02\x01\xF0\xF0\xF0\xF0\xF0\xF0"
                     "\xF0\xF0\x01\x02\x04\x08\x10\x20\x40\x80\xFF\x0F\xFF\x0F\xFF\x0F"
                     "\xFF\x0F",
                     34),
         {}},
        {{"--layout", "strips", "--fill", "none", "odd.bmp"},
         std::string("\x0A\x01\xAA\x03", 4),
         {}},
        {{"--unique", "--cell", "16x1", "many.bmp"},
         counted + "\x02\x81" + words,
         counted + "\x02\x81" + wordsHighFirst},
    };
    const std::string gnuAs =
        "z80-unknown-coff-as -o in.o in.s && z80-unknown-coff-objcopy -O binary in.o out.bin";
    const std::pair<std::string, std::string> assemblers[] = {
        {"xa65", "xa -o out.bin in.s"},
        {"tasm", gnuAs},
        {"pasmo", "pasmo in.s out.bin"},
        {"z80asm", "z80asm -o out.bin in.s"},
        {"nasm", "nasm -f bin -o out.bin in.s"},
        {"cc65", "ca65 -o in.o in.s && ld65 -t none -o out.bin in.o"},
        {"acme", "acme --setpc 0 -f plain -o out.bin in.s"},
        {"as31", "as31 -Fbin -Oout.bin in.s"},
        {"gas", gnuAs},
        {"--binary", "cp in.s out.bin"},  // what --binary writes is the bytes themselves
    };
    for (const auto& [syntax, command] : assemblers)
        for (const char* radix : {"bin", "hex", "dec"})
            for (const auto& [options, bytes, highFirst] : cases) {
                std::vector<std::string> arguments = {"--radix", radix, "--syntax", syntax};
                if (syntax == "--binary")
                    arguments.erase(arguments.begin() + 2);
                arguments.insert(arguments.end(), options.begin(), options.end());
                if (!arguments.back().ends_with(".bmp"))
                    arguments.push_back("pic.bmp");
                arguments.insert(arguments.end(), {"-o", "in.s"});
                SCOPED_TRACE(syntax + " " + radix + " " + options.back());
                ASSERT_EQ(Run(arguments).status, 0);
                EXPECT_EQ(
                    std::system(("cd " + dir_.string() + " && " + command + " >/dev/null").c_str()),
                    0)
                    << ReadFile(dir_ / "in.s");
                EXPECT_EQ(ReadFile(dir_ / "out.bin"),
                          syntax == "as31" && !highFirst.empty() ? highFirst : bytes);
                fs::remove(dir_ / "out.bin");
            }
}

// --binary on standard output gives what nasm makes of the text, for each layout, cells,
// masks, frames and several files; a terminal and a header number above 255 are refused.
TEST_F(Cli, BinaryIsTheAssembledText) {
    WriteFile(dir_ / "pic.bmp", Image({"1011001110", "0100110001"}));
    WriteFile(dir_ / "key.bmp", Image({"1k0", "01k"}));
    WriteFile(dir_ / "wide.bmp", Image({std::string(300, '1')}));
    fs::copy(RASTELLE_FIXTURES_DIR "/formats/good/animated-4-frames.gif", dir_ / "anim.gif");
    const std::vector<std::string> cases[] = {
        {"pic.bmp"},
        {"--layout", "pages", "--bit-order", "msb", "pic.bmp"},
        {"--fill", "none", "--no-header", "pic.bmp"},
        {"--cell", "5x1", "--skip-empty", "--cell-order", "columns", "pic.bmp"},
        {"--mask", "#ff00ff", "key.bmp", "pic.bmp"},
        {"--mask", "#ff00ff", "--mask-layout", "block", "--cell", "1x1", "key.bmp"},
        {"--frames", "all", "anim.gif"},
    };
    for (std::vector<std::string> arguments : cases) {
        SCOPED_TRACE(arguments[0]);
        arguments.insert(arguments.end(), {"--syntax", "nasm", "-o", "in.s"});
        ASSERT_EQ(Run(arguments).status, 0);
        ASSERT_EQ(std::system(("cd " + dir_.string() + " && nasm -f bin -o out.bin in.s").c_str()),
                  0);
        arguments.resize(arguments.size() - 2);
        arguments.push_back("--binary");
        const Outcome binary = Run(arguments);
        EXPECT_EQ(binary.status, 0);
        EXPECT_EQ(binary.out, ReadFile(dir_ / "out.bin"));
    }
    // Read back: the header's size (its fill digits as pixels), or --size's.
    for (const std::string header : {"--binary", "--no-header"}) {
        ASSERT_EQ(Run({"--binary", header, "pic.bmp", "-o", "p.bin"}).status, 0);
        const bool sized = header == "--no-header";
        EXPECT_EQ(Run({"--binary", header, "--reverse", "--size", sized ? "10x2" : "16x2", "p.bin",
                       "-o", "p.pbm"})
                      .err,
                  "");
        EXPECT_EQ(ReadFile(dir_ / "p.pbm"),
                  sized ? "P4\n10 2\n\xB3\x80\x4C\x40" : "P4\n16 2\n\xB3\x80\x4C\x40");
    }
    EXPECT_EQ(Run({"--binary", "wide.bmp"}).err,
              "rastelle-cli: wide.bmp: width 304 does not fit in a byte; --binary writes each "
              "header number as one byte: --no-header leaves the header out\n");
    Run({"--version"}, {},
        "script -qec '" RASTELLE_CLI_PATH " --binary pic.bmp; echo $?' /dev/null >tty.txt;");
    EXPECT_EQ(ReadFile(dir_ / "tty.txt"),
              "rastelle-cli: --binary writes bytes, not text: give -o FILE, or send standard "
              "output to a file or a pipe\r\nTry 'rastelle-cli --help'.\r\n2\r\n");
}

// Each target's bytes for an F, which a mirror or a flip would change, worked out from its
// documented format: pages with bit 0 the top pixel; rows with bit 7 the leftmost; XBM with
// bit 0 the leftmost; e-paper 1 for white (the fill stays 0). Given options win, said once.
TEST_F(Cli, TargetsGiveTheirFormats) {
    WriteFile(dir_ / "f.bmp", Image({"11110", "10000", "11100"}));
    const std::string rows("\x08\x03\xF0\x80\xE0", 5);
    const std::pair<std::string, std::string> cases[] = {
        {"ssd1306", std::string("\x05\x08\x07\x05\x05\x01\x00", 7)},
        {"adafruit-gfx", rows},
        {"u8g2", std::string("\x08\x03\x0F\x01\x07", 5)},
        {"st7920", rows},
        {"epaper", std::string("\x08\x03\x08\x78\x18", 5)},
    };
    for (const auto& [target, bytes] : cases)
        EXPECT_EQ(Run({"--target", target, "--binary", "f.bmp"}).out, bytes) << target;
    EXPECT_EQ(Run({"--target", "adafruit-gfx", "f.bmp"}).out.substr(0, 18), "#define f_WIDTH 5\r");
    EXPECT_EQ(Run({"--target", "SH1106", "f.bmp"}).out.substr(0, 18), "\t.db 5,8\r\n\t.db $07");
    const Outcome given = Run({"--target", "ssd1306", "--layout", "rows", "--binary", "f.bmp"});
    EXPECT_EQ(given.out, std::string("\x08\x03\x0F\x01\x07", 5));
    EXPECT_EQ(given.err,
              "rastelle-cli: --target ssd1306 takes --layout pages; used as given: "
              "--layout rows\n");
}

// C compiled by gcc and clang with warnings as errors into a program that prints the width,
// the height and the array; an X BitMap compiled too, and read back into the picture by
// ImageMagick (as PBM) and Pillow (its pixels, a set bit non-zero; Debian's Python, which
// python3-pil serves).
TEST_F(Cli, CompilersAndImageReadersTakeCAndXbm) {
    WriteFile(dir_ / "pic.bmp", Image({"1011001110", "0100110001"}));
    const std::string print =
        "#include <stdio.h>\n#include \"in.c\"\nint main(void) {\n"
        "  putchar(WIDTH); putchar(HEIGHT);\n"
        "  for (size_t i = 0; i < sizeof BITS; ++i) putchar(BITS[i]);\n  return 0;\n}\n";
    WriteFile(dir_ / "c.c",
              "#define WIDTH pic_WIDTH\n#define HEIGHT pic_HEIGHT\n#define BITS pic\n" + print);
    WriteFile(
        dir_ / "xbm.c",
        "#define WIDTH pic_width\n#define HEIGHT pic_height\n#define BITS pic_bits\n" + print);
    // Cells of 5 x 2: the count, a cell's size, and bytes of both cells through the table.
    WriteFile(dir_ / "symbols.c",
              "#include <stdio.h>\n#include \"in.c\"\nint main(void) {\n  putchar(pic_count); "
              "putchar(pic_0_width); putchar(pic_0_height);\n  putchar(pic_table[1][0]); "
              "putchar(pic_table[0][1]);\n  return 0;\n}\n");
    const std::string rows("\x0A\x02\xB3\x80\x4C\x40", 6);
    const std::string xbm("\x0A\x02\xCD\x01\x32\x02", 6);  // the leftmost pixel in bit 0
    const struct {
        std::vector<std::string> arguments;
        std::string bytes;
    } cases[] = {
        {{"--syntax", "c"}, rows},
        {{"--syntax", "c", "--radix", "dec", "--comment", "--per-line", "1"}, rows},
        {{"--syntax", "arduino", "--fill", "none", "--radix", "hex"},
         std::string("\x0A\x02\xB3\x02\x4C\x01", 6)},
        {{"--syntax", "c", "--layout", "pages", "--comment"},
         std::string("\x0A\x02\x01\x02\x01\x01\x02\x02\x01\x01\x01\x02", 12)},
        {{"--syntax", "c", "--symbols", "--cell", "5x2"}, std::string("\x02\x05\x02\x70\x48")},
        {{"--syntax", "xbm"}, xbm},
        {{"--syntax", "xbm", "--fill", "ones", "--per-line", "1"},
         xbm.substr(0, 3) + '\xFD' + "\x32\xFE"},
    };
    for (auto [arguments, bytes] : cases) {
        SCOPED_TRACE(arguments[1] + " " + arguments[arguments.size() - 1]);
        arguments.insert(arguments.end(), {"--label", "pic", "pic.bmp", "-o", "in.c"});
        ASSERT_EQ(Run(arguments).status, 0);
        const std::string main = arguments[1] == "xbm" ? "xbm.c"
                                 : arguments[2] == "--symbols" ? "symbols.c"
                                                               : "c.c";
        for (const std::string compiler : {"gcc", "clang"}) {
            const std::string command = "cd " + dir_.string() + " && " + compiler +
                                        " -std=c99 -Wall -Wextra -Werror -o print " + main +
                                        " && ./print >out.bin";
            EXPECT_EQ(std::system(command.c_str()), 0) << compiler << "\n"
                                                       << ReadFile(dir_ / "in.c");
            EXPECT_EQ(ReadFile(dir_ / "out.bin"), bytes) << compiler;
        }
        if (main != "xbm.c")
            continue;
        fs::rename(dir_ / "in.c", dir_ / "in.xbm");
        const std::string readers =
            "cd " + dir_.string() +
            " && convert in.xbm pbm:out.pbm && /usr/bin/python3 -c \"from PIL import Image; "
            "im = Image.open('in.xbm'); print('/'.join(''.join('1' if im.getpixel((x, y)) else "
            "'0' for x in range(im.width)) for y in range(im.height)))\" >pillow.txt";
        EXPECT_EQ(std::system(readers.c_str()), 0);
        EXPECT_EQ(ReadFile(dir_ / "out.pbm"), "P4\n10 2\n\xB3\x80\x4C\x40");
        std::vector<std::string> back(arguments.begin(), arguments.end() - 5);  // its options
        back.insert(back.end(), {"--reverse", "in.xbm", "-o", "back.pbm"});
        EXPECT_EQ(Run(back).err, "");
        EXPECT_EQ(ReadFile(dir_ / "back.pbm"), "P4\n10 2\n\xB3\x80\x4C\x40");
        EXPECT_EQ(ReadFile(dir_ / "pillow.txt"), "1011001110/0100110001\n");
    }
}

// A PNG of one IHDR chunk and one chunk of `type`; no checksum is checked.
std::string Png(std::uint32_t width, std::uint32_t height, char depth, char colourType,
                const std::string& type = "IEND") {
    std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (const std::uint32_t side : {width, height})
        for (const int shift : {24, 16, 8, 0})
            png += static_cast<char>(side >> shift & 0xFF);
    return png + depth + colourType + std::string(11, '\0') + type + std::string(4, '\0');
}

// Messages a user sees: usage errors in one line, file bytes shown printable, the frame
// named once, the ".bmp" completion announced, standard input read, the real limits stated.
TEST_F(Cli, Messages) {
    WriteFile(dir_ / "empty.bmp", "");
    WriteFile(dir_ / "sprite", "hello");
    WriteFile(dir_ / "w255.bmp", Image({std::string(255, '1')}));
    WriteFile(dir_ / "w256.bmp", Image({std::string(256, '1')}));
    WriteFile(dir_ / "clear.png", Png(1, 1, 8, 0, "\x1b[2J"));
    WriteFile(dir_ / "split.png", Png(1, 1, 8, 0, std::string("\n\x7f") + "AB"));
    WriteFile(dir_ / "dot.png", Png(1, 1, 8, 0));
    WriteFile(dir_ / "wide.bmp", Image({"1110000011", "1110000011"}));  // a tie in 2 x 2
    WriteFile(dir_ / "162.bmp", Image({std::string(162, '1')}));
    std::string inkRow;  // 162 pixels in threes
    for (int i = 0; i < 54; ++i)
        inkRow += "\u2580";
    const std::string whole = "\u2588\u2588\u2588     \u2588\u2588\n";
    WriteFile(dir_ / "short.png", Png(1, 1, 8, 0).substr(0, 20));
    WriteFile(dir_ / "deep.png", Png(8192, 8192, 16, 6));
    WriteFile(dir_ / "under.png", Png(8192, 6000, 16, 6));  // within the cap: decoded, no data
    std::string gif = ReadFile(RASTELLE_FIXTURES_DIR "/formats/good/animated-4-frames.gif");
    gif[66] = 13;  // frame 1's code size, beyond the format's 12
    WriteFile(dir_ / "bad.gif", gif);
    const std::string tryHelp = "\nTry 'rastelle-cli --help'.\n";
    const std::string cannot = "rastelle-cli: Could not open file ";
    // A 1 MB PNG of 1 x 1 pixels whose data inflates to 10 MB.
    const std::string bomb =
        "python3 -c \"import zlib,sys; d=zlib.compress(bytes(10**7),9); p=10**6-53-len(d); "
        "sys.stdout.buffer.write(open('dot.png','rb').read(33)+(len(d)+p).to_bytes(4,'big')"
        "+b'IDAT'+d+bytes(p+8)+b'IEND')\" >bomb.png;";
    const std::string fromFile = "exec <sprite.bmp;";
    // clang-format off
    const struct {
        std::string shell;
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"", {"--bogus", "sprite.bmp"}, 2, "", "rastelle-cli: unknown option '--bogus'" + tryHelp},
        {"", {}, 2, "", "rastelle-cli: no input file" + tryHelp},
        {"", {"--syntax", "masm", "x"}, 2, "",
         "rastelle-cli: unknown syntax 'masm'; the syntaxes are tasm, zilog, intel, ca65, acme, "
         "sdas, gas, c, xbm" + tryHelp},
        {"", {"--target", "oled", "x"}, 2, "",
         "rastelle-cli: unknown target 'oled'; the targets are ssd1306, adafruit-gfx, u8g2, "
         "st7920, epaper" + tryHelp},
        {"", {"-o", "a", "--output=b", "x"}, 2, "",
         "rastelle-cli: option --output is given twice" + tryHelp},
        {"", {"empty.bmp"}, 1, "", cannot + "empty.bmp: empty file\n"},
        {"", {"short.png"}, 1, "", cannot + "short.png: bad PNG file (truncated)\n"},
        {"", {"clear.png"}, 1, "",
         cannot + "clear.png: bad PNG file (\\x1b[2J PNG chunk not known)\n"},
        {"", {"split.png"}, 1, "",
         cannot + "split.png: bad PNG file (\\x0a\\x7fAB PNG chunk not known)\n"},
        {"", {"a\nb"}, 1, "", cannot + "a\\x0ab: No such file or directory\n"},
        {"", {"deep.png"}, 1, "",
         cannot + "deep.png: a PNG of 8192 x 8192 pixels with 16-bit samples needs more than 1024 "
         "MiB to decode; the cap is 768 MiB\n"},
        {"", {"under.png"}, 1, "", cannot + "under.png: bad PNG file (no IDAT)\n"},
        {bomb, {"bomb.png"}, 1, "",
         cannot + "bomb.png: decoding needs more than 1.9 MiB, the cap for this image\n"},
        {"", {"--frames", "all", "bad.gif"}, 1, "bad_0:\r\n\t.db 8,1\r\n\t.db %11000000\r\n",
         cannot + "bad.gif: frame 1: bad GIF file (corrupt data)\n"
         "rastelle-cli: standard output holds only part of the text\n"},
        {"", {"sprite"}, 0, kSpriteText,
         "rastelle-cli: sprite: not an image I read (not a BMP, PNG, GIF, TGA, PNM or PSD file); "
         "converting sprite.bmp\n"},
        {fromFile, {"-", "sprite.bmp"}, 0,
         "stdin:\r\n" + kSpriteText + "\r\nsprite:\r\n" + kSpriteText, ""},
        {fromFile, {"--label", "s", "-o", "sprite.bmp", "-"}, 1, "",
         "rastelle-cli: Could not write sprite.bmp: the output would overwrite the input "
         "standard input\n"},
        {"exec <empty.bmp;", {"-"}, 1, "", cannot + "standard input: empty file\n"},
        // Wider than the terminal: blocks of k x k, fewer at the edges, ink where most are.
        {"COLUMNS=5", {"--preview", "--fill", "none", "wide.bmp"}, 0,
         "(each 2 x 2 pixels as one to fit 5 columns)\n"
         "\u2580   \u2580\n", ""},
        {"COLUMNS=4", {"--preview", "--fill", "none", "wide.bmp"}, 0,
         "(each 3 x 3 pixels as one to fit 4 columns)\n"
         "\u2580  \u2580\n", ""},
        {"COLUMNS=10", {"--preview", "--fill", "none", "wide.bmp"}, 0, whole, ""},
        {"COLUMNS=5", {"--preview-full", "--fill", "none", "wide.bmp"}, 0, whole, ""},
        {"COLUMNS=x5", {"--preview", "--fill", "none", "wide.bmp"}, 0, whole, ""},
        {"COLUMNS=x5", {"--preview", "--fill", "none", "162.bmp"}, 0,
         "(each 3 x 3 pixels as one to fit 80 columns)\n" +
             inkRow + "\n", ""},
        // Refused at its first bytes, not read to the cap.
        {"yes |", {"-"}, 1, "", cannot + "standard input: not a BMP, PNG, GIF, TGA, PNM or PSD file\n"},
        {"", {"--cell", "8x8", "--mirror", "sprite.bmp"}, 2, "",
         "rastelle-cli: --mirror needs --unique" + tryHelp},
        // sprite.bmp's 1 x 1 cells are two tiles, 0 and 1, each base + tile at most.
        {"", {"--cell", "1x1", "--unique", "--map-base", "65534", "-o", "o.s", "sprite.bmp"}, 0,
         "", "rastelle-cli: sprite.bmp: 2 distinct tiles for 20 cells; the map takes a word an "
         "entry\n"},
        {"", {"--cell", "1x1", "--unique", "--map-base", "65535", "-o", "o.s", "sprite.bmp"}, 1,
         "", "rastelle-cli: sprite.bmp: the map's entries go up to 65536, more than a word holds "
         "(65535)\n"},
        {"", {"--cell", "1x1", "--unique", "--mirror", "--attr-in-map", "--map-base", "16382",
              "-o", "o.s", "sprite.bmp"}, 0,
         "", "rastelle-cli: sprite.bmp: 2 distinct tiles for 20 cells; the map takes a word an "
         "entry\n"},
        {"", {"--cell", "1x1", "--unique", "--mirror", "--attr-in-map", "--map-base", "16383",
              "-o", "o.s", "sprite.bmp"}, 1,
         "", "rastelle-cli: sprite.bmp: the map's entries go up to 16384, and with the flips in "
         "the map an entry holds at most 16383\n"},
        // A map of 256 columns: its header's number takes more than a byte.
        {"", {"--cell", "1x1", "--unique", "-o", "o.s", "w255.bmp"}, 0, "",
         "rastelle-cli: w255.bmp: 1 distinct tile for 255 cells; the map takes a byte an entry\n"},
        {"", {"--cell", "1x1", "--unique", "-o", "o.s", "w256.bmp"}, 0, "",
         "rastelle-cli: w256.bmp: the map's column count 256 does not fit in a byte\n"
         "rastelle-cli: w256.bmp: 1 distinct tile for 256 cells; the map takes a byte an entry\n"},
        {"", {"--cell", "1x1", "--unique", "--map-base", "254", "-o", "o.s", "sprite.bmp"}, 0,
         "", "rastelle-cli: sprite.bmp: 2 distinct tiles for 20 cells; the map takes a byte an "
         "entry\n"},
    };
    // clang-format on
    for (const auto& [shell, arguments, status, out, err] : cases) {
        const Outcome outcome = Run(arguments, {}, shell);
        EXPECT_EQ(outcome.status, status) << outcome.err;
        EXPECT_EQ(outcome.out, out);
        EXPECT_EQ(outcome.err, err);
    }
}

// Through a pipe, every format is taken as from its file: none is refused at its first bytes.
TEST_F(Cli, StandardInputTakesEveryFormat) {
    for (const auto& entry : fs::directory_iterator(RASTELLE_FIXTURES_DIR "/formats/good")) {
        const std::string file = entry.path().string();
        const Outcome piped = Run({"-"}, {}, "cat '" + file + "' |");
        EXPECT_EQ(piped.status, 0) << file << piped.err;
        EXPECT_EQ(piped.out, Run({file}).out) << file;
    }
}

// A reader that goes away ends the program by SIGPIPE, as it ends most tools; where the
// signal is ignored, the write fails and says so.
TEST_F(Cli, ClosedPipe) {
    struct sigaction action {};
    sigaction(SIGPIPE, nullptr, &action);
    if (action.sa_handler == SIG_IGN)
        GTEST_SKIP() << "SIGPIPE is ignored here, and so in every program started";
    // 1.3 MB of text, far more than a pipe holds.
    WriteFile(dir_ / "big.bmp", Image(std::vector<std::string>(1024, std::string(1024, '1'))));
    const struct {
        std::string shell;
        std::string status;
        std::string err;
    } cases[] = {
        {"", "141\n", ""},
        {"trap '' PIPE;", "1\n", "rastelle-cli: Could not write standard output: Broken pipe\n"},
    };
    for (const auto& [shell, status, err] : cases) {
        ASSERT_EQ(
            std::system(("cd " + dir_.string() + " && (" + shell + RASTELLE_CLI_PATH +
                         " --no-header big.bmp 2>err; echo $? >status) | head -c 10 >/dev/null")
                            .c_str()),
            0);
        EXPECT_EQ(ReadFile(dir_ / "status"), status) << shell;
        EXPECT_EQ(ReadFile(dir_ / "err"), err) << shell;
    }
}

// Into a folder every picture is planned before any is written (refused as soon as the
// text reaches it): two of one name, or one that can't be written there, leave the folder
// as it was, and so does a failure halfway.
// Standard input and each unlabelled text make a picture of their own. A picture that goes
// out as it is made (through a descriptor) is not begun from a bad text.
TEST_F(Cli, ReverseIntoAFolder) {
    const std::string one = "\t.db 8,1\n\t.db 1\n";
    const std::string longLabel(252, 'L');                   // a name of 256 bytes with ".png"
    std::string big = "A:\n" + one + "B:\n\t.db 128,128\n";  // B.png takes kilobytes
    std::uint32_t noise = 1;
    for (int row = 0; row < 128; ++row) {
        big += "\t.db 0";
        for (int i = 1; i < 16; ++i)
            big.append(",").append(std::to_string((noise = noise * 1103515245 + 12345) >> 24));
        big += "\n";
    }
    std::string tall = "\t.db 8,70000\n";  // more PBM than one block
    for (int row = 1; row < 70000; ++row)
        tall += "\t.db 1\n";
    tall += "\t.db 1,2\n";
    for (const auto& [name, text] : std::map<std::string, std::string>{
             {"ship.asm", one + "ship:\n" + one},
             {"s1.asm", "ship:\n" + one},
             {"d/ship.asm", one},
             {"a1.asm", one},
             {"b1.asm", one},
             {"ab.asm", "A:\n" + one + "B:\n" + one + "C:\n\t.db 8,1\n\t.db 1,2\n"},
             {"big.asm", big},
             {"tall.asm", tall},
             {"long.asm", "A:\n" + one + longLabel + ":\n" + one}}) {
        fs::create_directories((dir_ / name).parent_path());
        WriteFile(dir_ / name, text);
    }
    const std::string cannot = "rastelle-cli: Could not write o/";
    const std::string tooLarge = cannot + "B.png: File too large\n";
    // clang-format off
    const struct {
        std::string shell;
        std::vector<std::string> arguments;
        int status;
        std::string err;
        std::string folder;  // what o holds afterwards: names, and the start of PNG files
    } cases[] = {
        {"", {"ship.asm"}, 1, cannot + "ship.png: the unlabelled image of ship.asm and the image "
         "labelled ship in ship.asm would both be written there\n", "A.png=old"},
        {"", {"s1.asm", "d/ship.asm"}, 1, cannot + "ship.png: the image labelled ship in s1.asm "
         "and the unlabelled image of d/ship.asm would both be written there\n", "A.png=old"},
        {"mkdir o/B.png;", {"ab.asm"}, 1, cannot + "B.png: Is a directory\n", "A.png=old B.png/"},
        {"", {"long.asm"}, 1, cannot + longLabel + ".png: File name too long\n", "A.png=old"},
        {"ulimit -f 2; trap '' XFSZ;", {"big.asm"}, 1, tooLarge, "A.png=old"},
        {"rm o/A.png; ulimit -f 2; trap '' XFSZ;", {"big.asm"}, 1, tooLarge, ""},
        {"", {"a1.asm", "b1.asm"}, 0, "", "A.png=old a1.png=PNG b1.png=PNG"},
        {"cat a1.asm |", {"-", "s1.asm"}, 0, "", "A.png=old ship.png=PNG stdin.png=PNG"},
        {"ln -sf /dev/stdout s.pbm;", {"tall.asm", "-o", "s.pbm"}, 1,
         "rastelle-cli: tall.asm:70001: expected 1 numbers in each line of the image, not more\n",
         "A.png=old"},
    };
    // clang-format on
    for (auto [shell, arguments, status, err, folder] : cases) {
        fs::remove_all(dir_ / "o");
        fs::create_directory(dir_ / "o");
        WriteFile(dir_ / "o" / "A.png", "old");
        if (std::find(arguments.begin(), arguments.end(), "-o") == arguments.end())
            arguments.insert(arguments.end(), {"-o", "o"});
        arguments.insert(arguments.begin(), "--reverse");
        const Outcome outcome = Run(arguments, {}, shell);
        EXPECT_EQ(outcome.status, status) << arguments[1];
        EXPECT_EQ(outcome.err, err);
        EXPECT_EQ(outcome.out, "");
        std::set<std::string> held;
        for (const auto& entry : fs::directory_iterator(dir_ / "o")) {
            std::string name = entry.path().filename().string();
            if (entry.is_directory()) {
                name.append("/");
            } else {
                const std::string bytes = ReadFile(entry.path());
                name.append("=").append(bytes.substr(bytes[0] == 'o' ? 0 : 1, 3));
            }
            held.insert(name);
        }
        std::string shown;
        for (const std::string& name : held)
            shown.append(shown.empty() ? "" : " ").append(name);
        EXPECT_EQ(shown, folder) << arguments[1];
    }
}

// Names of open descriptors take the text through the descriptor, as the shell's > does:
// into a pipe, after what a file already holds, at the end of a file opened for appending.
TEST_F(Cli, OutputThroughOpenDescriptors) {
    const std::string cli = RASTELLE_CLI_PATH;
    const struct {
        std::string command;
        int status;
        std::string file;
    } cases[] = {
        {"{ echo HEADER; " + cli + " -o /dev/stdout sprite.bmp; echo FOOTER; } >f", 0,
         "HEADER\n" + kSpriteText + "FOOTER\n"},
        {"echo OLD >f && " + cli + " -o /dev/stdout sprite.bmp >>f", 0, "OLD\n" + kSpriteText},
        {cli + " -o /dev/stdout sprite.bmp | cat >f", 0, kSpriteText},
        {cli + " -o /dev/stderr sprite.bmp 2>f", 0, kSpriteText},
        {"echo OLD >f && " + cli + " -o /dev/fd/3 sprite.bmp 3>>f", 0, "OLD\n" + kSpriteText},
        {"ln -s /proc/self/fd/3 link && " + cli + " -o link sprite.bmp 3>f", 0, kSpriteText},
        {cli + " -o /dev/fd/3 sprite.bmp 2>f 3>&-", 256,
         "rastelle-cli: Could not write /dev/fd/3: Bad file descriptor\n"},
        {cli + " -o /proc/self/fd/3 sprite.bmp 2>f 3<sprite.bmp", 256,
         "rastelle-cli: Could not write /proc/self/fd/3: Bad file descriptor\n"},
    };
    for (const auto& [command, status, file] : cases) {
        fs::remove(dir_ / "link");
        EXPECT_EQ(std::system(("cd " + dir_.string() + " && " + command).c_str()), status)
            << command;
        EXPECT_EQ(ReadFile(dir_ / "f"), file) << command;
    }
}

// A file the user may not write is refused before any work, whoever owns the folder; root
// may replace it as root may write it.
TEST_F(Cli, WriteProtectedFiles) {
    const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (geteuid() != 0 || std::system((nobody + "true").c_str()) != 0)
        GTEST_SKIP() << "needs root and setpriv to run the program as the user nobody";
    fs::permissions(dir_, fs::perms::all);  // anyone may write here, as in /tmp
    const struct {
        std::string prepare;  // run as root
        bool asNobody;
        int status;
        std::string text;  // in old.asm afterwards
    } cases[] = {
        {"chmod 444 old.asm && chown nobody old.asm", true, 1, "old"},
        {"chmod 000 old.asm && chown nobody old.asm", true, 1, "old"},
        {"chmod 644 old.asm", true, 1, "old"},  // another user's file
        {"chmod 644 old.asm && chown nobody old.asm", true, 0, kSpriteText},
        {"chmod 444 old.asm", false, 0, kSpriteText},
    };
    for (const auto& [prepare, asNobody, status, text] : cases) {
        fs::remove(dir_ / "old.asm");
        WriteFile(dir_ / "old.asm", "old");
        ASSERT_EQ(std::system(("cd " + dir_.string() + " && " + prepare).c_str()), 0);
        runAs_ = asNobody ? nobody : "";
        const Outcome outcome = Run({"-o", "old.asm", "sprite.bmp"});
        EXPECT_EQ(outcome.status, status) << prepare;
        EXPECT_EQ(outcome.err,
                  status == 0 ? "" : "rastelle-cli: Could not write old.asm: Permission denied\n");
        fs::permissions(dir_ / "old.asm", fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(ReadFile(dir_ / "old.asm"), text) << prepare;
        EXPECT_EQ(Names(), (std::set<std::string>{"old.asm", "sprite.bmp"}));
    }
}

// Stopped with part of the text written, by a signal it handles or one nothing can catch,
// the program leaves nothing behind. It waits on standard input, the second file, meanwhile.
TEST_F(Cli, StoppedMidWriteLeavesNothing) {
    const std::set<std::string> before = Names();
    const std::string text = "sprite:\r\n" + kSpriteText;
    for (const int signalNumber : {SIGKILL, SIGUSR1, SIGALRM, SIGPIPE, SIGTERM}) {
        int input[2];
        ASSERT_EQ(pipe(input), 0);
        const pid_t child = fork();
        if (child == 0) {
            dup2(input[0], STDIN_FILENO);
            close(input[1]);
            if (chdir(dir_.c_str()) == 0)
                execl(RASTELLE_CLI_PATH, "rastelle-cli", "-o", "out.asm", "sprite.bmp", "-",
                      nullptr);
            _exit(127);
        }
        close(input[0]);
        // The text of sprite.bmp is in a file of this folder the program holds open.
        const fs::path descriptors = "/proc/" + std::to_string(child) + "/fd";
        bool written = false;
        for (int poll = 0; poll < 30000 && !written; ++poll) {
            std::error_code code;
            for (const auto& entry : fs::directory_iterator(descriptors, code)) {
                const fs::path target = fs::read_symlink(entry.path(), code);
                written = written || (target.parent_path() == dir_ &&
                                      fs::file_size(entry.path(), code) == text.size());
            }
            if (!written)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(written) << "signal " << signalNumber;
        kill(child, signalNumber);
        int status = 0;
        waitpid(child, &status, 0);
        close(input[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
        EXPECT_EQ(Names(), before) << "signal " << signalNumber;
    }
}

// Every word a preset reserves is refused as a label, or assembled as something else, by one
// of the assemblers it is checked with; a plain label is taken by all. One shell loop per
// assembler keeps it to seconds.
TEST_F(Cli, ReservedWordsAreTheAssemblers) {
    const std::string gnuAs =
        "z80-unknown-coff-as -o $w.o $w.s && z80-unknown-coff-objcopy -O binary $w.o $w.bin";
    const auto cc = [](const std::string& compiler) {
        return compiler + " -std=c99 -Wall -Wextra -Werror -x c -o $w.exe $w.s && ./$w.exe >$w.bin";
    };
    const std::map<std::string, std::vector<std::string>> checkedWith = {
        {"tasm", {gnuAs, "xa -o $w.bin $w.s"}},
        {"zilog", {"z80asm -o $w.bin $w.s", "pasmo $w.s $w.bin"}},
        {"intel", {"nasm -f bin -o $w.bin $w.s", "z80asm -o $w.bin $w.s", "pasmo $w.s $w.bin"}},
        {"ca65", {"ca65 -o $w.o $w.s && ld65 -t none -o $w.bin $w.o", "xa -o $w.bin $w.s"}},
        {"acme", {"acme --setpc 0 -f plain -o $w.bin $w.s"}},
        {"sdas", {"as31 -Fbin -O$w.bin $w.s"}},
        {"gas", {gnuAs}},
        {"c", {cc("gcc"), cc("clang")}},
        {"xbm", {}},  // its names end in _bits: never a keyword
    };
    for (const rastelle::SyntaxPreset& preset : rastelle::SyntaxPresets()) {
        SCOPED_TRACE(preset.name);
        const fs::path folder = dir_ / preset.name;
        std::istringstream words{std::string(preset.reservedWords)};
        // Every other word in upper case: each case is tried on half of them.
        std::set<std::string> taken{"sprite"};  // those every assembler so far took
        const bool c = preset.syntax.kind == rastelle::TextKind::C;
        bool upper = false;
        for (std::string word; words >> word; upper = !upper && !c) {
            for (char& letter : word)
                letter = upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))
                               : letter;
            taken.insert(word);
        }
        for (const std::string& command : checkedWith.at(std::string(preset.name))) {
            fs::remove_all(folder);
            fs::create_directory(folder);
            for (const std::string& word : taken)
                WriteFile(folder / (word + ".s"),
                          c ? "#include <stdio.h>\r\nstatic const unsigned char " + word +
                                  "[] = {1};\r\nint main(void) { putchar(" + word +
                                  "[0]); return 0; }\r\n"
                            : word + ":\r\n\t" + std::string(preset.syntax.directive) + " 1\r\n");
            WriteFile(folder / "one", "\x01");
            const std::string loop = "cd " + folder.string() +
                                     " && for f in *.s; do w=${f%.s}; if (" + command +
                                     ") >/dev/null 2>&1 && cmp -s $w.bin one; then echo $w; fi; "
                                     "done";
            const Outcome outcome =
                Run({"--version"}, {}, loop + " >" + (dir_ / "taken.txt").string() + ";");
            ASSERT_EQ(outcome.status, 0);
            std::istringstream list(ReadFile(dir_ / "taken.txt"));
            taken = {std::istream_iterator<std::string>(list), {}};
            ASSERT_TRUE(taken.contains("sprite")) << command;
        }
        taken.erase("sprite");
        EXPECT_EQ(taken, std::set<std::string>{}) << "labels all of them take";
    }
}
#endif

}  // namespace

// Crop, resize, rotate and flip at once give what each gives in turn, through a text turned
// back into a PBM each time (a whole-number enlargement keeps black and white as they are).
TEST_F(Cli, GeometryAtOnceIsEachStepInTurn) {
    WriteFile(dir_ / "order.bmp", Image({"110000", "011100", "000110", "100001"}));
    const std::vector<std::vector<std::string>> steps = {
        {"--crop", "1,0,4,3"}, {"--resize", "8x6"}, {"--rotate", "90"}, {"--flip", "vertical"}};
    const std::vector<std::string> sizes = {"4x3", "8x6", "6x8", "6x8"};
    std::string input = "order.bmp";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::vector<std::string> step = steps[i];
        step.insert(step.end(), {input, "-o", "step.asm"});
        ASSERT_EQ(Run(step).status, 0);
        input = "step" + std::to_string(i) + ".pbm";
        ASSERT_EQ(Run({"--reverse", "--size", sizes[i], "step.asm", "-o", input}).status, 0);
    }
    const Outcome all = Run({"--crop", "1,0,4,3", "--resize", "8x6", "--rotate", "90", "--flip",
                             "vertical", "order.bmp"});
    EXPECT_EQ(all.out, ReadFile(dir_ / "step.asm"));
    EXPECT_EQ(all.out.substr(0, 11), "\t.db 8,8\r\n\t");
}

// A tile is its digits and its mask together; the frames of a GIF share one tile set, each
// with its map; --symbols counts the tiles and gives the map's entry width.
TEST_F(Cli, TilesSpanFramesAndMasks) {
    // 1 opaque black, k transparent, 0 opaque white: transparent and white are both 0 digits.
    WriteFile(dir_ / "key.bmp", Image({"1k0", "01k"}));
    fs::copy_file(RASTELLE_FIXTURES_DIR "/formats/good/animated-4-frames.gif", dir_ / "a.gif");
    const std::vector<std::string> tiles = {"--cell",      "1x1",     "--unique",
                                            "--no-header", "--radix", "hex"};
    // Frames 110, 110, 010, 011 (1 black): tile 0 black, tile 1 white.
    const auto map = [](int frame, const char* entries) {
        return "\r\na_" + std::to_string(frame) + "_map_width = 1\r\na_" + std::to_string(frame) +
               "_map:\r\n\t.db " + entries + "\r\n";
    };
    const struct {
        std::vector<std::string> arguments;
        std::string out;
    } cases[] = {
        // Mask before each picture byte, fill transparent: black 7F,80; clear FF,00; white
        // 7F,00.
        {{"--mask", "#ff00ff", "--label", "k", "key.bmp"},
         "k_0:\r\n\t.db $7F,$80\r\n\r\nk_1:\r\n\t.db $FF,$00\r\n\r\nk_2:\r\n\t.db "
         "$7F,$00\r\n\r\nk_map:\r\n\t.db $00,$01,$02\r\n\t.db $02,$00,$01\r\n"},
        {{"--frames", "all", "--symbols", "a.gif"},
         "a_0_width = 1\r\na_0_height = 1\r\na_0:\r\n\t.db $80\r\n\r\n"
         "a_1_width = 1\r\na_1_height = 1\r\na_1:\r\n\t.db $00\r\n" +
             map(0, "$00,$00,$01") + map(1, "$00,$00,$01") + map(2, "$01,$00,$01") +
             map(3, "$01,$00,$00") + "\r\na_count = 2\r\na_table:\r\n\t.word a_0,a_1\r\n"},
    };
    for (const auto& [arguments, out] : cases) {
        std::vector<std::string> all = tiles;
        all.insert(all.end(), arguments.begin(), arguments.end());
        SCOPED_TRACE(arguments.back());
        const Outcome outcome = Run(all);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, out);
    }
}

// Strips read back give the picture they came from, whatever fill, lead and bit order.
TEST_F(Cli, StripsComeBackAsThePicture) {
    const auto pbm = [](const std::vector<std::string>& rows) {
        std::string bytes =
            "P4\n" + std::to_string(rows[0].size()) + " " + std::to_string(rows.size()) + "\n";
        for (const std::string& row : rows)
            for (std::size_t x = 0; x < row.size(); x += 8)
                bytes += char(std::stoi((row.substr(x, 8) + "0000000").substr(0, 8), nullptr, 2));
        return bytes;
    };
    const std::vector<std::string> odd = {"1010101011", "0111000001"};
    WriteFile(dir_ / "msx.bmp", Image(kQuarters));
    WriteFile(dir_ / "odd.bmp", Image(odd));
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> rows;
        std::string size;  // with fill, to drop it again
    } cases[] = {
        {{"--bit-order", "lsb", "--width-unit", "bytes", "msx.bmp"}, kQuarters, {}},
        {{"--fill", "none", "odd.bmp"}, odd, {}},
        {{"--fill", "ones", "--centre", "odd.bmp"}, odd, "10x2"},
    };
    for (const auto& [options, rows, size] : cases) {
        SCOPED_TRACE(options[1]);
        std::vector<std::string> arguments = {"--layout", "strips"};
        arguments.insert(arguments.end(), options.begin(), options.end() - 1);
        std::vector<std::string> back = arguments;
        arguments.insert(arguments.end(), {options.back(), "-o", "in.s"});
        back.insert(back.end(), {"--reverse", "in.s", "-o", "back.pbm"});
        if (!size.empty())
            back.insert(back.end(), {"--size", size});
        ASSERT_EQ(Run(arguments).status, 0);
        ASSERT_EQ(Run(back).status, 0) << ReadFile(dir_ / "in.s");
        EXPECT_EQ(ReadFile(dir_ / "back.pbm"), pbm(rows));
    }
}

TEST_F(Cli, ReverseWritesPicturesOrNothing) {
    WriteFile(dir_ / "two.asm", "a:\n\t.db 8,1\n\t.db $81\nb:\n\t.db 8,1\n\t.db 1\n");
    WriteFile(dir_ / "bad.asm", "\t.db 8,1\n\t.db 1,2\n");
    WriteFile(dir_ / "t.asm", "t_0:\n\t.db 8,1\n\t.db $81\nt_map:\n\t.db 2,1\n\tdw 0,0\n");
    fs::create_directories(dir_ / "pictures");
    const std::string bad =
        "rastelle-cli: bad.asm:2: expected 1 numbers in each line of the image, not more\n";
    // clang-format off
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string err;
        const char* file;  // what it holds afterwards, when given
        std::string bytes;
    } cases[] = {
        {{"--reverse", "--label", "a", "two.asm", "-o", "a.pbm"}, 0, "", "a.pbm", "P4\n8 1\n\x81"},
        {{"--reverse", "--invert", "--label", "b", "two.asm", "-o", "b.pbm"}, 0, "", "b.pbm",
         "P4\n8 1\n\xFE"},
        {{"--reverse", "two.asm", "-o", "pictures"}, 0, "", nullptr, ""},
        {{"--reverse", "bad.asm", "-o", "bad.pbm"}, 1, bad, nullptr, ""},
        {{"--reverse", "bad.asm", "two.asm", "-o", "pictures"}, 1, bad, nullptr, ""},
        {{"--reverse", "two.asm", "-o", "one.png"}, 1,
         "rastelle-cli: Could not write one.png: the text holds several images; name a folder to "
         "hold one picture per label, or pick one with --label\n", nullptr, ""},
        {{"--reverse", "--cell", "8x1", "--unique", "t.asm", "-o", "t.pbm"}, 0, "", "t.pbm",
         "P4\n16 1\n\x81\x81"},
        {{"--reverse", "--mask", "alpha", "two.asm", "-o", "m.pbm"}, 2,
         "rastelle-cli: PBM has no transparency; write the mask to a PNG\n", nullptr, ""},
    };
    // clang-format on
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
                                              "a.pbm", "b.pbm", "t.asm", "t.pbm"}));
    std::set<std::string> pictures;
    for (const auto& entry : fs::directory_iterator(dir_ / "pictures"))
        pictures.insert(entry.path().filename().string());
    EXPECT_EQ(pictures, (std::set<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(Run({"--reverse", "--no-header", "two.asm", "-o", "x.png"}).status, 2);
}
