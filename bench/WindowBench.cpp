// Times conversions through the real main dialog, from the click on Convert until the output
// field shows the complete text: a 64 x 1000 and a 64 x 2000 image. Run under Wine by
// bench/run-benchmarks.sh; prints the figures and exits 1 when a target is missed.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpBuilder.h"
#include "ImageSource.h"
#include "RowEncoder.h"
#include "resource.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Application.h"
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

}  // namespace

int main() {
    win32::RegisterCommonControls();
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
        return 1;
    }
    for (const Job& job : bench.jobs) {
        std::printf("window: 64 x %d image, Convert to complete text: %.0f ms (best of %d)\n",
                    job.rows, Best(job), kRepeats);
    }
    const double ratio = Best(bench.jobs[1]) / Best(bench.jobs[0]);
    std::printf("window: 2000 rows take %.2f times as long as 1000 rows (target under %.1f)\n",
                ratio, kMaxRatio);
    const bool met = ratio < kMaxRatio && Best(bench.jobs[1]) <= kMaxMillisecondsFor2000Rows;
    std::printf("%s\n", met ? "window targets met" : "WINDOW TARGETS MISSED");
    return met ? 0 : 1;
}
