#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "BmpBuilder.h"
#include "ImageSource.h"
#include "RowEncoder.h"

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
    std::vector<ByteVector> stored;
    for (const std::string& row : rows) {
        stored.emplace_back();
        for (const char pixel : row) {
            stored.back().insert(stored.back().end(), 3, pixel == '1' ? 0 : 255);
        }
    }
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

    Outcome Run(const std::vector<std::string>& arguments, std::string stdoutPath = {},
                rlim_t fileLimit = RLIM_INFINITY, void (*onXfsz)(int) = SIG_DFL) {
        if (stdoutPath.empty())
            stdoutPath = Capture("out");
        const std::string errPath = Capture("err");
        std::vector<char*> argv{const_cast<char*>(RASTELLE_CLI_PATH)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit{fileLimit, fileLimit};
            const int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (chdir(dir_.c_str()) != 0 || out < 0 || err < 0 || dup2(out, 1) < 0 ||
                dup2(err, 2) < 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
            umask(022);
            signal(SIGXFSZ, onXfsz);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                        stdoutPath == Capture("out") ? ReadFile(stdoutPath) : "",
                        ReadFile(errPath)};
        return outcome;
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

    const struct {
        std::vector<std::string> arguments;
        std::string out;
    } cases[] = {
        {{"sprite.bmp"}, kSpriteText},
        {{"-o", "-", "sprite"}, kSpriteText},  // "-" is standard output, not a file
        {{"--fill", "ones", "--centre", "--width-unit", "bytes", "sprite.bmp"},
         "\t.db 2,2\r\n\t.db %11111111,%11111111\r\n\t.db %11100000,%00000111\r\n"},
        // Without fill the width stays in bits whatever the unit says.
        {{"--fill", "none", "--width-unit", "bytes", "--threshold", "0", "sprite.bmp"},
         "\t.db 10,2\r\n\t.db %00000000,%00\r\n\t.db %00000000,%00\r\n"},
        {{"black.bmp"}, blackText + "\r\n"},
    };
    for (const auto& [arguments, out] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, out);
        EXPECT_EQ(outcome.err, "");
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"black.bmp", "sprite.bmp"}));

    const Outcome bad = Run({"--bogus", "sprite.bmp"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.starts_with("rastelle-cli: unknown option '--bogus'\n\nUsage:")) << bad.err;
}

struct Target {
    const char* name;
    void (*prepare)(const fs::path& dir);
    std::string out;
    const char* textAt;  // where the text lands, when it can be read back
    mode_t type;         // of `out` afterwards, as lstat sees it
    mode_t permissions;  // of the file holding the text; 0 for any
};

void PrintTo(const Target& target, std::ostream* stream) {
    *stream << target.name;
}

class OutputTarget : public Cli, public testing::WithParamInterface<Target> {};

const Target kTargets[] = {
    {"NewName", [](const fs::path&) {}, "new.asm", "new.asm", S_IFREG, 0644},
    {"KeepsPermissions",
     [](const fs::path& dir) {
         WriteFile(dir / "secret.asm", "old");
         fs::permissions(dir / "secret.asm",
                         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
     },
     "secret.asm", "secret.asm", S_IFREG, 0640},
    {"FollowsSymlink",
     [](const fs::path& dir) {
         WriteFile(dir / "target.asm", "old");
         fs::create_symlink("target.asm", dir / "link.asm");
     },
     "link.asm", "target.asm", S_IFLNK, 0644},
    {"NameOf250Bytes", [](const fs::path&) {}, std::string(250, 'n'), nullptr, S_IFREG, 0644},
    {"Fifo", [](const fs::path& dir) { ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0); },
     "pipe", nullptr, S_IFIFO, 0},
    {"CharacterDevice",
     [](const fs::path& dir) {
         if (geteuid() != 0)
             GTEST_SKIP() << "making a device node needs root";
         ASSERT_EQ(mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
     },
     "null", nullptr, S_IFCHR, 0},
};

TEST_P(OutputTarget, TakesTheText) {
    const Target& target = GetParam();
    target.prepare(dir_);
    if (IsSkipped() || HasFatalFailure())
        return;
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
    fs::create_directory(dir_ / "folder");
    WriteFile(dir_ / "old.asm", "old");
    ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0644), 0);
    const std::string longName(256, 'n');
    const struct {
        std::string out;
        std::string input;
        std::string err;
    } cases[] = {
        {"missing/x.asm", "sprite.bmp", "Could not write missing/x.asm: No such file or directory"},
        {"folder", "sprite.bmp", "Could not write folder: Is a directory"},
        {longName, "sprite.bmp", "Could not write " + longName + ": File name too long"},
        {"/dev/full", "sprite.bmp", "Could not write /dev/full: No space left on device"},
        {"sprite.bmp", "sprite.bmp",
         "Could not write sprite.bmp: the output would overwrite the input sprite.bmp"},
        {"sprite.bmp", "sprite",
         "Could not write sprite.bmp: the output would overwrite the input sprite"},
        {"old.asm", "missing.bmp", "Could not open file missing.bmp: No such file or directory"},
        // Opened without blocking and refused on its descriptor; a blocking open would hang.
        {"old.asm", "pipe", "Could not open file pipe: not a regular file"},
    };
    const std::set<std::string> before = Names();
    const std::string image = ReadFile(dir_ / "sprite.bmp");
    for (const auto& [out, input, err] : cases) {
        const Outcome outcome = Run({"-o", out, input});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "rastelle-cli: " + err + "\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(Names(), before);
        EXPECT_EQ(ReadFile(dir_ / "sprite.bmp"), image);
        EXPECT_EQ(ReadFile(dir_ / "old.asm"), "old");
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
    WriteFile(dir_ / "big.bmp", Image(std::vector<std::string>(64, std::string(256, '1'))));
    WriteFile(dir_ / "old.asm", "old");
    const std::set<std::string> before = Names();
    const struct {
        void (*onXfsz)(int);
        int status;
        std::string err;
    } cases[] = {
        {SIG_IGN, 1, "rastelle-cli: Could not write old.asm: File too large\n"},
        {SIG_DFL, 128 + SIGXFSZ, ""},
    };
    for (const auto& [onXfsz, status, err] : cases) {
        const Outcome outcome = Run({"-o", "old.asm", "big.bmp"}, {}, 1000, onXfsz);
        EXPECT_EQ(outcome.status, status);
        EXPECT_EQ(outcome.err, err);
        EXPECT_EQ(ReadFile(dir_ / "old.asm"), "old");
        EXPECT_EQ(Names(), before);
    }
}

// The program agrees with the engine on every fixture the decoder accepts and refuses the
// rest with status 1.
TEST_F(Cli, ConvertsEveryFixture) {
    for (const char* folder : {"good", "questionable", "bad"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(RASTELLE_FIXTURES_DIR) / folder)) {
            SCOPED_TRACE(entry.path().string());
            const Outcome outcome = Run({"--fill", "ones", "--centre", entry.path().string()});
            rastelle::ImageSource source;
            if (source.Open(entry.path()).opened) {
                EXPECT_EQ(outcome.status, 0);
                EXPECT_EQ(outcome.out, EncodeImage(source, {rastelle::FillMode::Ones, true,
                                                            rastelle::WidthUnit::Bits, 128}));
            } else {
                EXPECT_EQ(outcome.status, 1);
                EXPECT_EQ(outcome.out, "");
            }
            EXPECT_EQ(std::string(folder) == "bad", !source.IsOpen());
        }
    }
}

}  // namespace
