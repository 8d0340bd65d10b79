#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

// Hands the growing text of one conversion run from the worker to the dialog's thread. The
// worker publishes after every row and never waits for the screen; the dialog takes what is
// new whenever it gets to it, so rows published while it was busy arrive together. Only
// whole publications are ever seen.
class PublicationBoard {
  public:
    // Worker side: `text` is the run's whole text so far, of which only the part not yet
    // published is copied. True when the dialog has to be told: it has taken everything
    // published before, so no notice is on its way.
    bool Publish(std::string_view text) {
        const std::lock_guard lock(mutex_);
        text_.append(text.substr(text_.size()));
        const bool notify = !noticePending_;
        noticePending_ = true;
        return notify;
    }

    // Dialog side: what was published beyond the first `shown` characters.
    std::string TakeSince(std::size_t shown) {
        const std::lock_guard lock(mutex_);
        noticePending_ = false;
        return shown < text_.size() ? text_.substr(shown) : std::string();
    }

  private:
    std::mutex mutex_;
    std::string text_;
    bool noticePending_ = false;
};
