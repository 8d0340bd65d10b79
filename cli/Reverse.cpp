#include "Reverse.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "InputFile.h"
#include "OutputFile.h"
#include "PathText.h"
#include "Run.h"
#include "TextToPicture.h"

namespace rastelle::cli {

namespace {

namespace fs = std::filesystem;

bool EndsWithPbm(const fs::path& path) {
    std::string extension = PathText(path.extension());
    for (char& c : extension) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return extension == ".pbm";
}

// The pictures' files: OUT itself, or LABEL.png in the folder OUT, each replaced whole. A
// picture's file is committed when the next one opens, so one temporary file at a time.
class Pictures final : public PictureTarget {
  public:
    Pictures(const fs::path& out, bool folder, const std::vector<FileIdentity>& inputs)
        : out_(out), folder_(folder), inputs_(inputs) {}

    TextSink* Open(std::string_view label) override {
        if (!folder_ && opened_ > 0) {
            reason_ =
                "the text holds several images; name a folder to hold one picture per "
                "label, or pick one with --label";
            return nullptr;
        }
        if (!Commit()) {
            return nullptr;
        }
        name_ = folder_ ? out_ / (std::string(label.empty() ? stem_ : label) + ".png") : out_;
        file_ = std::make_unique<OutputFile>();
        if (!file_->Open(name_)) {
            return Failed();
        }
        for (const FileIdentity& input : inputs_) {
            if (file_->Replaces(input)) {
                reason_ = "the picture would overwrite the text";
                return nullptr;
            }
        }
        ++opened_;
        return file_.get();
    }
    bool Commit() {
        if (file_ && !file_->Commit()) {
            Failed();
            return false;
        }
        file_.reset();
        return true;
    }
    void SetStem(std::string stem) { stem_ = std::move(stem); }
    // Why the last picture could not be written, naming its file.
    std::string Reason() const {
        const std::string reason = file_ && reason_.empty() ? file_->Reason() : reason_;
        return PrintablePath(name_) + ": " + reason;
    }

  private:
    TextSink* Failed() {
        reason_ = file_->Reason();
        return nullptr;
    }

    fs::path out_;
    bool folder_;
    const std::vector<FileIdentity>& inputs_;
    std::string stem_;
    fs::path name_;
    std::unique_ptr<OutputFile> file_;
    int opened_ = 0;
    std::string reason_;
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
    std::vector<FileIdentity> inputs;
    for (const fs::path& input : commandLine.inputs) {
        if (const FileIdentity identity = InputFileReader::IdentityOf(input); identity.known) {
            inputs.push_back(identity);
        }
    }

    // Into a folder the text is read twice: first only checked, so that a bad text leaves
    // every file as it was, then written one picture at a time.
    for (const bool write : folder ? std::vector{false, true} : std::vector{true}) {
        Pictures pictures(out, folder, inputs);
        settings.write = write;
        TextToPicture reverse(settings, pictures);
        const fs::path* input = nullptr;
        for (const fs::path& text : commandLine.inputs) {
            input = &text;
            pictures.SetStem(LabelFromStem(PathText(text.stem())));
            reverse.BeginFile();
            std::string reason;
            const auto take = [&](std::span<const char> piece) {
                return reverse.Feed({piece.data(), piece.size()});
            };
            if (!InputFileReader::ReadPieces(text, take, reason)) {
                Print(err, "rastelle-cli: Could not open file " + PrintablePath(text) + ": " +
                               reason + "\n");
                return kFailure;
            }
            if (!reverse.EndFile()) {
                break;
            }
        }
        if (!reverse.Finish() || (write && !pictures.Commit())) {
            if (reverse.WriteFailed() || reverse.Error().empty()) {
                Print(err, "rastelle-cli: Could not write " + pictures.Reason() + "\n");
            } else {
                Print(err, "rastelle-cli: " + PrintablePath(*input) + ":" +
                               std::to_string(reverse.Line()) + ": " + reverse.Error() + "\n");
            }
            return kFailure;
        }
    }
    return kSuccess;
}

}  // namespace rastelle::cli
