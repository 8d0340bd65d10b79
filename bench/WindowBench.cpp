// Times conversions through the window under Wine (run by bench/run-benchmarks.sh); prints
// the figures and exits 1 when a target is missed.
// - In this process, the main dialog from the click on Convert until the output field shows
//   the complete text: a 64 x 1000 and a 64 x 2000 image.
// - Rastelle.exe itself, driven from this process as a user's clicks would: 256 x 20000
//   stripes (longest answer to a sent message during the run, time to the whole text, Clear,
//   WM_CLOSE during a run to the end of the program, peak memory); 8192 x 8192 and
//   16384 x 16384 1-bit, whose texts are over the window's limit (the message, then closing);
//   the preview of 64 x 64, 512 x 512 and 4096 x 4096 images (until it first shows, and until
//   it shows a trackbar move, read from the screen), and the longest answer to a sent message
//   while the trackbar is dragged over the 4096 x 4096 one.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpBuilder.h"
#include "image/ImageSource.h"
#include "resource.h"
#include "text/RowEncoder.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 3;
constexpr double kMaxRatio = 2.6;
constexpr double kMaxMillisecondsFor2000Rows = 2000;

struct Job {
    std::filesystem::path path;
    std::wstring expected;
    std::int32_t rows = 0;
    std::vector<double> milliseconds;
};

Job MakeJob(std::int32_t rows) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = 64;
    bmp.height = rows;
    std::vector<rastelle::test::ByteVector> pixelRows;
    for (std::int32_t y = 0; y < rows; ++y) {
        rastelle::test::ByteVector row;
        for (std::int32_t x = 0; x < 64; ++x) {
            const auto grey = static_cast<std::uint8_t>((x * 41 + y * 7) % 256);
            row.insert(row.end(), {grey, grey, grey});
        }
        pixelRows.push_back(row);
    }
    bmp.pixels = rastelle::test::PaddedRows(pixelRows);
    const auto bytes = bmp.Build();

    Job job;
    job.rows = rows;
    job.path = std::filesystem::temp_directory_path() /
               ("rastelle-window-bench-" + std::to_string(rows) + ".bmp");
    std::ofstream(job.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    rastelle::ImageSource source;
    source.Open(job.path);
    const std::string text = rastelle::EncodeImage(source, {});
    job.expected.assign(text.begin(), text.end());
    return job;
}

void Click(HWND dialog, int id) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Returns false when the text did not appear within 60 s.
bool Measure(HWND dialog, Job& job) {
    HWND output = ::GetDlgItem(dialog, IDC_OUTPUT);
    ::SendMessageW(::GetDlgItem(dialog, IDC_INPUT_FILE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(job.path.c_str()));
    Click(dialog, IDC_CLEAR);
    const auto start = Clock::now();
    Click(dialog, IDC_CONVERT);
    const auto length = static_cast<LRESULT>(job.expected.size());
    while (::SendMessageW(output, WM_GETTEXTLENGTH, 0, 0) != length) {
        if (Clock::now() - start > std::chrono::seconds(60)) {
            return false;
        }
        ::Sleep(1);
    }
    const auto elapsed = Clock::now() - start;
    job.milliseconds.push_back(std::chrono::duration<double, std::milli>(elapsed).count());
    return win32::WindowText(output) == job.expected;
}

struct Bench {
    CConverterDlg* dialog = nullptr;
    std::vector<Job> jobs;
    bool ok = true;
};

DWORD WINAPI Drive(void* parameter) noexcept {
    auto& bench = *static_cast<Bench*>(parameter);
    HWND window = nullptr;
    for (int tries = 0; tries < 10000 && (window = bench.dialog->Window()) == nullptr; ++tries) {
        ::Sleep(1);
    }
    for (int repeat = 0; repeat < kRepeats && window != nullptr; ++repeat) {
        for (Job& job : bench.jobs) {
            bench.ok = Measure(window, job) && bench.ok;
        }
    }
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

double Best(const Job& job) {
    return *std::min_element(job.milliseconds.begin(), job.milliseconds.end());
}

bool SmallImagesInTheDialog() {
    Bench bench;
    bench.jobs.push_back(MakeJob(1000));
    bench.jobs.push_back(MakeJob(2000));

    CConverterDlg dialog(nullptr);
    bench.dialog = &dialog;
    HANDLE driver = ::CreateThread(nullptr, 0, Drive, &bench, 0, nullptr);
    dialog.RunModal();
    ::WaitForSingleObject(driver, INFINITE);
    ::CloseHandle(driver);
    StopWorker(dialog);
    for (const Job& job : bench.jobs) {
        std::error_code ignored;
        std::filesystem::remove(job.path, ignored);
    }

    if (!bench.ok || bench.jobs[0].milliseconds.size() != kRepeats ||
        bench.jobs[1].milliseconds.size() != kRepeats) {
        std::printf("window benchmark: a conversion did not show its complete text\n");
        return false;
    }
    for (const Job& job : bench.jobs) {
        std::printf("window: 64 x %d image, Convert to complete text: %.0f ms (best of %d)\n",
                    job.rows, Best(job), kRepeats);
    }
    const double ratio = Best(bench.jobs[1]) / Best(bench.jobs[0]);
    std::printf("window: 2000 rows take %.2f times as long as 1000 rows (target under %.1f)\n",
                ratio, kMaxRatio);
    return ratio < kMaxRatio && Best(bench.jobs[1]) <= kMaxMillisecondsFor2000Rows;
}

// A 1-bit BMP of `width` x `height` written straight to `path`; `pattern(y)` gives row y's
// bytes, repeated across the row.
void WriteOneBitImage(const std::filesystem::path& path, std::int32_t width, std::int32_t height,
                      std::uint8_t (*pattern)(std::int32_t y)) {
    const auto rowBytes = static_cast<std::uint32_t>((width + 31) / 32 * 4);
    rastelle::test::BmpBuilder bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bits = 1;
    bmp.palette = rastelle::test::PaletteOf({0x000000, 0xFFFFFF});
    rastelle::test::ByteVector file = bmp.Build();  // headers and palette; no pixels yet
    const std::uint64_t pixelBytes = std::uint64_t{rowBytes} * static_cast<std::uint32_t>(height);
    const auto fileSize = static_cast<std::uint32_t>(file.size() + pixelBytes);
    for (int i = 0; i < 4; ++i) {
        file[2 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(fileSize >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    std::vector<char> row(rowBytes);
    for (std::int32_t y = height - 1; y >= 0; --y) {  // bottom-up
        std::fill(row.begin(), row.end(), static_cast<char>(pattern(y)));
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Rastelle.exe, started next to this program's folder, and its main window.
class Program {
  public:
    Program() {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::filesystem::path exe =
            std::filesystem::path(self).parent_path().parent_path() / L"Rastelle.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
        if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process_)) {
            return;
        }
        ::CloseHandle(process_.hThread);
        ::WaitForInputIdle(process_.hProcess, 20000);
        for (int tries = 0; tries < 2000 && window_ == nullptr; ++tries) {
            ::EnumWindows(&Program::Find, reinterpret_cast<LPARAM>(this));
            ::Sleep(10);
        }
    }
    ~Program() {
        if (process_.hProcess != nullptr) {
            ::TerminateProcess(process_.hProcess, 1);
            ::CloseHandle(process_.hProcess);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND Window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    HANDLE Process() const { return process_.hProcess; }

    void PostClick(int id) const {
        ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    std::size_t OutputLength() const {
        return static_cast<std::size_t>(::SendMessageW(Item(IDC_OUTPUT), WM_GETTEXTLENGTH, 0, 0));
    }
    double PeakMegabytes() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (!::GetProcessMemoryInfo(process_.hProcess, &counters, sizeof(counters))) {
            return -1;
        }
        return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
    }
    // Milliseconds from posting WM_CLOSE until the process has ended; -1 after 60 s.
    double CloseAndTime() {
        const auto start = Clock::now();
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) {
            return -1;
        }
        return MillisecondsSince(start);
    }

  private:
    static BOOL CALLBACK Find(HWND window, LPARAM parameter) {
        auto* self = reinterpret_cast<Program*>(parameter);
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (process == self->process_.dwProcessId && ::IsWindowVisible(window) &&
            std::wstring(name) == L"#32770") {
            self->window_ = window;
            return FALSE;
        }
        return TRUE;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// Sends WM_NULL to a window every 10 ms and keeps the longest wait for its answer.
class Prober {
  public:
    explicit Prober(HWND window) : window_(window) {
        thread_ = ::CreateThread(nullptr, 0, &Prober::Run, this, 0, nullptr);
    }
    ~Prober() { Stop(); }
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    double Stop() {
        if (thread_ != nullptr) {
            stop_ = true;
            ::WaitForSingleObject(thread_, INFINITE);
            ::CloseHandle(thread_);
            thread_ = nullptr;
        }
        return longest_;
    }

  private:
    static DWORD WINAPI Run(void* parameter) noexcept {
        auto* self = static_cast<Prober*>(parameter);
        while (!self->stop_) {
            const auto start = Clock::now();
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(self->window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
            self->longest_ = std::max(self->longest_.load(), MillisecondsSince(start));
            ::Sleep(10);
        }
        return 0;
    }

    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
};

constexpr double kMaxAnswerMilliseconds = 100;
constexpr double kMaxClearMilliseconds = 100;
constexpr double kMaxCloseMilliseconds = 250;

struct BigImage {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    std::uint8_t (*pattern)(std::int32_t y);
    double maxWholeSeconds;  // 0: no target
};

bool BigImageInTheProgram(const BigImage& image) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("rastelle-window-bench-" + std::string(image.name) + ".bmp");
    WriteOneBitImage(path, image.width, image.height, image.pattern);
    std::string expected;
    {
        rastelle::ImageSource source;
        source.Open(path);
        expected = rastelle::EncodeImage(source, {});
    }

    Program program;
    if (program.Window() == nullptr) {
        std::printf("window benchmark: Rastelle.exe did not start\n");
        return false;
    }
    ::SendMessageW(program.Item(IDC_INPUT_FILE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(path.c_str()));
    Prober prober(program.Window());
    const auto start = Clock::now();
    program.PostClick(IDC_CONVERT);
    while (program.OutputLength() != expected.size() && MillisecondsSince(start) < 600000) {
        ::Sleep(20);
    }
    const double whole = MillisecondsSince(start) / 1000;
    const double longestAnswer = prober.Stop();
    const double peak = program.PeakMegabytes();
    const std::wstring shown = win32::WindowText(program.Item(IDC_OUTPUT));
    const bool exact = std::equal(shown.begin(), shown.end(), expected.begin(), expected.end(),
                                  [](wchar_t a, char b) { return a == static_cast<wchar_t>(b); });

    // An option handler runs the whole exchange of members and controls.
    const auto optionStart = Clock::now();
    ::SendMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_FILL_ONES, BN_CLICKED),
                   reinterpret_cast<LPARAM>(program.Item(IDC_FILL_ONES)));
    const double option = MillisecondsSince(optionStart);

    const auto clearStart = Clock::now();
    ::SendMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED),
                   reinterpret_cast<LPARAM>(program.Item(IDC_CLEAR)));
    const double clear = MillisecondsSince(clearStart);
    const bool cleared = program.OutputLength() == 0;

    // Closing in the middle of a second run.
    program.PostClick(IDC_CONVERT);
    const auto second = Clock::now();
    while (program.OutputLength() < expected.size() / 3 && MillisecondsSince(second) < 600000) {
        ::Sleep(20);
    }
    const double close = program.CloseAndTime();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);

    std::printf(
        "window: %s (%.1f MB of text): whole text %.1f s%s, longest answer %.0f ms, "
        "option click %.0f ms, Clear %.0f ms, close during a run %.0f ms, peak memory %.0f MiB\n",
        image.name, static_cast<double>(expected.size()) / 1e6, whole, exact ? "" : " (NOT EXACT)",
        longestAnswer, option, clear, close, peak);
    return exact && cleared && longestAnswer < kMaxAnswerMilliseconds &&
           option < kMaxAnswerMilliseconds && clear < kMaxClearMilliseconds && close >= 0 &&
           close < kMaxCloseMilliseconds &&
           (image.maxWholeSeconds == 0 || whole <= image.maxWholeSeconds);
}

struct BoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    wchar_t caption[16] = {};
    ::GetWindowTextW(window, caption, 16);
    if (::GetWindow(window, GW_OWNER) == search->owner && ::IsWindowVisible(window) &&
        std::wstring(caption) == L"Rastelle") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The message box owned by `owner` with the caption "Rastelle"; null after 60 s.
HWND WaitForMessageBox(HWND owner, Clock::time_point start) {
    BoxSearch search{owner, nullptr};
    while (search.found == nullptr && MillisecondsSince(start) < 60000) {
        ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
        ::Sleep(5);
    }
    return search.found;
}

// An image whose text is over the window's limit: the message, then closing.
bool RefusedImageInTheProgram(std::int32_t side) {
    const auto path = std::filesystem::temp_directory_path() / "rastelle-window-bench-huge.bmp";
    WriteOneBitImage(path, side, side, [](std::int32_t y) {
        return static_cast<std::uint8_t>(y % 3 == 0 ? 0x0F : 0xF0);
    });
    Program program;
    if (program.Window() == nullptr) {
        return false;
    }
    ::SendMessageW(program.Item(IDC_INPUT_FILE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(path.c_str()));
    const auto start = Clock::now();
    program.PostClick(IDC_CONVERT);
    HWND box = WaitForMessageBox(program.Window(), start);
    const double message = MillisecondsSince(start);
    if (box != nullptr) {
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    const bool usable = program.OutputLength() == 0;  // answers, and the field kept its text
    const double peak = program.PeakMegabytes();
    const double close = program.CloseAndTime();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::printf(
        "window: %d x %d 1-bit (over the limit): size message after %.0f ms, close %.0f ms, "
        "peak memory %.0f MiB\n",
        side, side, message, close, peak);
    return box != nullptr && usable && close >= 0 && close < kMaxCloseMilliseconds;
}

// Milliseconds until the screen shows `colour` at the middle of the preview; -1 after 60 s.
double WaitForPreview(const Program& program, COLORREF colour, Clock::time_point start) {
    RECT preview{};
    ::GetWindowRect(program.Item(IDC_PREVIEW), &preview);
    const win32::WindowDc screen(nullptr);
    while (MillisecondsSince(start) < 60000) {
        if (::GetPixel(screen.Get(), (preview.left + preview.right) / 2,
                       (preview.top + preview.bottom) / 2) == colour) {
            return MillisecondsSince(start);
        }
        ::Sleep(1);
    }
    return -1;
}

// Moves the trackbar as a drag does: the position, then the notice to the dialog. Returns how
// long the dialog took to answer both.
double DragTrackbar(const Program& program, int position) {
    const auto start = Clock::now();
    HWND trackbar = program.Item(IDC_THRESHOLD_SLIDER);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    ::SendMessageW(program.Window(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                   reinterpret_cast<LPARAM>(trackbar));
    return MillisecondsSince(start);
}

constexpr double kMaxPreviewMilliseconds512 = 50;

// A black picture: white in the preview with the threshold at 0, black above it.
bool PreviewInTheProgram(std::int32_t side) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("rastelle-window-bench-preview-" + std::to_string(side) + ".bmp");
    WriteOneBitImage(path, side, side, [](std::int32_t) { return std::uint8_t{0}; });
    Program program;
    if (program.Window() == nullptr) {
        return false;
    }
    const COLORREF ink = RGB(0, 0, 0);
    const COLORREF paper = RGB(255, 255, 255);
    const auto start = Clock::now();
    ::SendMessageW(program.Item(IDC_INPUT_FILE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(path.c_str()));
    const double first = WaitForPreview(program, ink, start);
    std::vector<double> moves;
    for (int repeat = 0; repeat < 5 && first >= 0; ++repeat) {
        for (const auto& [position, colour] : {std::pair{0, paper}, {200, ink}}) {
            const auto moved = Clock::now();
            DragTrackbar(program, position);
            moves.push_back(WaitForPreview(program, colour, moved));
        }
    }
    std::vector<double> sorted = moves;
    std::sort(sorted.begin(), sorted.end());
    const double slowest = sorted.empty() ? -1 : sorted.back();
    const double median = sorted.empty() ? -1 : sorted[sorted.size() / 2];
    const bool missing = std::find(moves.begin(), moves.end(), -1.0) != moves.end();

    // A drag over the picture: a move every 10 ms for 2 s, whatever the preview is doing; then
    // the same with dithering, which decides the digits of every row, not only those shown.
    double longest = 0;
    double longestDithered = 0;
    double dithered = -1;
    for (const bool dither : {false, true}) {
        if (side < 4096) {
            break;
        }
        if (dither) {
            HWND list = program.Item(IDC_DITHER);
            ::SendMessageW(list, CB_SETCURSEL, 2, 0);
            ::SendMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_DITHER, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(list));
            DragTrackbar(program, 0);
            WaitForPreview(program, paper, Clock::now());
            const auto moved = Clock::now();
            DragTrackbar(program, 200);
            dithered = WaitForPreview(program, ink, moved);
        }
        Prober prober(program.Window());
        double answer = 0;
        for (int step = 0; step < 200; ++step) {
            answer = std::max(answer, DragTrackbar(program, (step * 7) % 256));
            ::Sleep(10);
        }
        (dither ? longestDithered : longest) = std::max(answer, prober.Stop());
    }
    program.CloseAndTime();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::printf(
        "window: preview of %d x %d: first shown after %.0f ms, a trackbar move shown "
        "after %.0f ms (median of %zu; slowest %.0f ms)",
        side, side, first, median, moves.size(), slowest);
    if (side >= 4096) {
        std::printf(
            ", longest answer while dragging %.0f ms; dithering: a move shown after "
            "%.0f ms, longest answer while dragging %.0f ms",
            longest, dithered, longestDithered);
    }
    std::printf("\n");
    return first >= 0 && !missing && longest < kMaxAnswerMilliseconds &&
           longestDithered < kMaxAnswerMilliseconds &&
           (side != 512 || median <= kMaxPreviewMilliseconds512);
}

std::uint8_t Stripes(std::int32_t y) {
    return static_cast<std::uint8_t>((y / 4) % 2 == 0 ? 0x33 : 0xCC);
}

}  // namespace

// With the argument "preview", only the preview's figures.
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    win32::RegisterCommonControls();
    bool met = true;
    if (argc < 2 || std::string(argv[1]) != "preview") {
        met = SmallImagesInTheDialog();
        met = BigImageInTheProgram({"256x20000", 256, 20000, Stripes, 10}) && met;
        met = RefusedImageInTheProgram(8192) && met;
        met = RefusedImageInTheProgram(16384) && met;
    }
    for (const std::int32_t side : {64, 512, 4096}) {
        met = PreviewInTheProgram(side) && met;
    }
    std::printf(
        "targets: answer < %.0f ms, Clear < %.0f ms, close < %.0f ms, 512 x 512 "
        "preview < %.0f ms; %s\n",
        kMaxAnswerMilliseconds, kMaxClearMilliseconds, kMaxCloseMilliseconds,
        kMaxPreviewMilliseconds512, met ? "window targets met" : "WINDOW TARGETS MISSED");
    return met ? 0 : 1;
}
