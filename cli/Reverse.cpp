#include "Reverse.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "InputFile.h"
#include "OutputFile.h"
#include "PathText.h"
#include "Run.h"
#include "common/Ascii.h"
#include "conversion/Conversion.h"

namespace rastelle::cli {

namespace {

namespace fs = std::filesystem;

bool EndsWithPbm(const fs::path& path) {
    return AsciiLower(PathText(path.extension())) == ".pbm";
}

// The pictures' files: OUT itself, or LABEL.png in the folder OUT. Into a folder, every
// picture's name is planned first (no two alike, each one that can be written), then each
// picture replaces its file whole when the next one opens, a file it replaces kept aside
// until the last is written, so that a failure can put the folder back as it was.
class Pictures final : public PictureTarget {
  public:
    Pictures(const fs::path& out, OutputFile* single, const std::vector<FileIdentity>& inputs)
        : out_(out), single_(single), inputs_(inputs) {}
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;
    ~Pictures() override { Undo(); }

    void SetFile(const fs::path& text) {
        text_ = Shown(text);
        stem_ = text == "-" ? "stdin" : LabelFromStem(PathText(text.stem()));
    }

    bool Plan(std::string_view label) override {
        if (single_ != nullptr) {
            return ++planned_ == 1 || Several();
        }
        name_ = NameOf(label);
        const std::string source =
            label.empty() ? "the unlabelled image of " + text_
                          : "the image labelled " + std::string(label) + " in " + text_;
        const auto [planned, added] = planned_names_.emplace(Key(name_), source);
        if (!added) {
            reason_ = planned->second + " and " + source + " would both be written there";
            return false;
        }
        OutputFile probe;  // refused now, the name or what is there, rather than halfway
        if (!probe.Open(name_)) {
            reason_ = probe.Reason();
            return false;
        }
        return !Overwrites(probe);
    }

    TextSink* Open(std::string_view label) override {
        if (single_ != nullptr) {
            name_ = out_;
            current_ = single_;
            return ++opened_ == 1 || Several() ? single_ : nullptr;
        }
        if (!Commit()) {
            return nullptr;
        }
        name_ = NameOf(label);
        owned_ = std::make_unique<OutputFile>();
        current_ = owned_.get();
        if (!owned_->Open(name_)) {
            reason_ = owned_->Reason();
            return nullptr;
        }
        return Overwrites(*owned_) ? nullptr : owned_.get();
    }

    // Puts the last picture in its place.
    bool Commit() {
        if (current_ == nullptr) {
            return true;
        }
        // A new file is removed again, a replaced one kept aside; one written directly (a
        // device, a FIFO) is past undoing.
        std::optional<Replaced> replaced;
        std::error_code code;
        const fs::path real = fs::canonical(name_, code);  // a link's target is replaced
        if (single_ == nullptr && code) {
            replaced = Replaced{name_, {}};
        } else if (single_ == nullptr && fs::is_regular_file(real, code)) {
            replaced = Replaced{real, Aside(real)};
            if (replaced->aside.empty()) {
                return false;
            }
        }
        if (!current_->Commit()) {
            reason_ = current_->Reason();
            if (replaced) {
                fs::remove(replaced->aside, code);
            }
            return false;
        }
        if (replaced) {
            written_.push_back(std::move(*replaced));
        }
        current_ = nullptr;
        owned_.reset();
        return true;
    }

    // Every picture written: the replaced files go.
    void Keep() {
        std::error_code code;
        for (const Replaced& replaced : written_) {
            fs::remove(replaced.aside, code);
        }
        written_.clear();
    }

    // Why the last picture could not be written, naming its file.
    std::string Reason() const {
        return PrintablePath(name_) + ": " +
               (reason_.empty() && current_ != nullptr ? current_->Reason() : reason_);
    }

  private:
    struct Replaced {
        fs::path file;
        fs::path aside;  // the file it replaced, empty for a new one
    };

    fs::path NameOf(std::string_view label) const {
        return out_ / (std::string(label.empty() ? stem_ : label) + ".png");
    }

    // Names that are one file: the same, and on Windows also in another case.
    static std::string Key(const fs::path& name) {
#ifdef _WIN32
        return AsciiLower(PathText(name));
#else
        return PathText(name);
#endif
    }

    bool Several() {
        reason_ =
            "the text holds several images; name a folder to hold one picture per label, or "
            "pick one with --label";
        return false;
    }

    bool Overwrites(const OutputFile& file) {
        for (const FileIdentity& input : inputs_) {
            if (file.Replaces(input)) {
                reason_ = "the picture would overwrite the text";
                return true;
            }
        }
        return false;
    }

    // A second name for `file` beside it, which keeps its bytes when it is replaced.
    fs::path Aside(const fs::path& file) {
        std::random_device random;
        std::error_code code;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path aside = file.parent_path() / ".rastelle-";
            for (int i = 0; i < 6; ++i) {
                aside += std::string(1, "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36]);
            }
            fs::create_hard_link(file, aside, code);
            if (code && !fs::exists(aside)) {
                fs::copy_file(file, aside, code);  // where the file system has no links
            }
            if (!code) {
                return aside;
            }
            if (code != std::errc::file_exists) {
                break;
            }
        }
        reason_ = code.message();
        return {};
    }

    // Puts back what the pictures written so far replaced, and removes the new ones.
    void Undo() {
        std::error_code code;
        for (auto replaced = written_.rbegin(); replaced != written_.rend(); ++replaced) {
            if (replaced->aside.empty()) {
                fs::remove(replaced->file, code);
            } else {
                fs::rename(replaced->aside, replaced->file, code);
            }
        }
        written_.clear();
    }

    fs::path out_;
    OutputFile* single_;  // OUT when it is one picture; null for a folder
    const std::vector<FileIdentity>& inputs_;
    std::string text_;
    std::string stem_;
    fs::path name_;
    std::unique_ptr<OutputFile> owned_;
    OutputFile* current_ = nullptr;  // the picture being written
    int planned_ = 0;
    int opened_ = 0;
    std::map<std::string, std::string> planned_names_;  // and what would be written there
    std::vector<Replaced> written_;
    std::string reason_;
};

// The texts read, and the pictures of each pass.
class Texts final : public ReverseEvents {
  public:
    Texts(const std::vector<fs::path>& texts, const fs::path& out, OutputFile* single,
          const std::vector<FileIdentity>& inputs, const std::optional<FileBytes>& standardInput,
          std::FILE* err)
        : texts_(texts),
          out_(out),
          single_(single),
          inputs_(inputs),
          standardInput_(standardInput),
          err_(err) {}

    PictureTarget& Pass(bool) override {
        pictures_.reset();
        return pictures_.emplace(out_, single_, inputs_);
    }

    bool Read(std::size_t input, const std::function<bool(std::string_view)>& take) override {
        const fs::path& text = texts_[input];
        pictures_->SetFile(text);
        std::string reason;
        if (text == "-") {
            const std::vector<std::uint8_t>& bytes = standardInput_->bytes;
            take({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        } else if (!InputFileReader::ReadPieces(
                       text,
                       [&](std::span<const char> piece) {
                           return take({piece.data(), piece.size()});
                       },
                       reason)) {
            Print(err_, "rastelle-cli: Could not open file " + Shown(text) + ": " + reason + "\n");
            return false;
        }
        return true;
    }

    bool Commit() override { return pictures_->Commit(); }

    void Report(const ConversionIssue& issue) override {
        if (issue.kind == ConversionIssue::Kind::BadText) {
            Print(err_, "rastelle-cli: " + Shown(texts_[issue.input]) + ":" +
                            std::to_string(issue.numbers[0]) + ": " + issue.text + "\n");
        } else {
            Print(err_, "rastelle-cli: Could not write " + pictures_->Reason() + "\n");
        }
    }

    void Keep() { pictures_->Keep(); }

  private:
    const std::vector<fs::path>& texts_;
    const fs::path& out_;
    OutputFile* single_;
    const std::vector<FileIdentity>& inputs_;
    const std::optional<FileBytes>& standardInput_;
    std::FILE* err_;
    std::optional<Pictures> pictures_;
};

}  // namespace

int Reverse(const CommandLine& commandLine, std::FILE* err) {
    const fs::path& out = *commandLine.output;
    std::error_code code;
    const bool folder = fs::is_directory(out, code);
    ReverseSettings settings;
    settings.settings = commandLine.settings;
    settings.width = commandLine.width;
    settings.height = commandLine.height;
    settings.label = commandLine.labels.front();
    settings.format = !folder && EndsWithPbm(out) ? PictureFormat::Pbm : PictureFormat::Png;
    if (settings.format == PictureFormat::Pbm && settings.settings.mask != MaskSource::None) {
        Print(err, "rastelle-cli: PBM has no transparency; write the mask to a PNG\n");
        return kUsage;
    }
    const auto writeFailed = [&](const std::string& reason) {
        Print(err, "rastelle-cli: Could not write " + reason + "\n");
        return kFailure;
    };
    // Standard input is read once, under the cap for files, and held for both readings.
    InputFileReader reader;
    std::optional<FileBytes> standardInput;
    std::vector<FileIdentity> inputs;
    for (const fs::path& input : commandLine.inputs) {
        if (input != "-") {
            if (const FileIdentity identity = InputFileReader::IdentityOf(input); identity.known) {
                inputs.push_back(identity);
            }
        } else if (!standardInput) {
            standardInput = reader.ReadStandardInput(false);
            if (standardInput->error.kind != DecodeErrorKind::None) {
                Print(err, "rastelle-cli: Could not open file standard input: " +
                               standardInput->error.message + "\n");
                return kFailure;
            }
            if (reader.LastRead().known) {
                inputs.push_back(reader.LastRead());
            }
        }
    }
    // One picture goes to OUT, opened before anything is read.
    OutputFile single;
    if (!folder) {
        if (!single.Open(out)) {
            return writeFailed(PrintablePath(out) + ": " + single.Reason());
        }
        for (const FileIdentity& input : inputs) {
            if (single.Replaces(input)) {
                return writeFailed(PrintablePath(out) + ": the picture would overwrite the text");
            }
        }
    }

    // The text is read twice, first only checked, so that a bad text leaves every file as it
    // was: into a folder, and where OUT takes the bytes as they come (a descriptor, a pipe).
    Texts texts(commandLine.inputs, out, folder ? nullptr : &single, inputs, standardInput, err);
    if (!ConvertBack(settings, commandLine.inputs.size(), folder || !single.ReplacesWhole(),
                     texts)) {
        return kFailure;
    }
    texts.Keep();
    return kSuccess;
}

}  // namespace rastelle::cli
