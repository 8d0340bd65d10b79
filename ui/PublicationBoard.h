#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

// Hands the growing text of one conversion run from the worker to the dialog's thread, and is
// the one copy of that text on our side. The worker appends whole rows and never waits for the
// screen; the dialog takes bounded pieces, each ending where a row ends, whenever it gets to
// them, so the field never shows part of a row.
class PublicationBoard {
  public:
    // Worker side: the first publication, whose spare capacity holds the rest of the text.
    void Start(std::string text) {
        const std::lock_guard lock(mutex_);
        text_ = std::move(text);
        noticePending_ = true;
    }

    // Worker side: appends whole rows. True when the dialog has to be told: it has taken
    // everything before, so no notice is on its way.
    bool Append(std::string_view rows) {
        const std::lock_guard lock(mutex_);
        text_.append(rows);
        const bool notify = !noticePending_;
        noticePending_ = true;
        return notify;
    }

    struct Piece {
        std::wstring text;  // widened: the text is plain ASCII
        bool more = false;  // more is published already; the dialog takes it next
    };

    // Dialog side: at most `limit` characters of what follows the first `shown`, cut before
    // the line end that starts a row; a single row longer than `limit` comes whole. When
    // nothing more is left, the next Append tells the dialog.
    Piece Take(std::size_t shown, std::size_t limit) {
        const std::lock_guard lock(mutex_);
        Piece piece;
        if (shown >= text_.size()) {
            noticePending_ = false;
            return piece;
        }
        std::size_t end = text_.size();
        if (end - shown > limit) {
            const std::size_t before = text_.rfind('\r', shown + limit);
            end = before != std::string::npos && before > shown ? before
                                                                : text_.find('\r', shown + 1);
            end = end == std::string::npos ? text_.size() : end;
        }
        piece.text.assign(text_.begin() + static_cast<std::ptrdiff_t>(shown),
                          text_.begin() + static_cast<std::ptrdiff_t>(end));
        piece.more = end < text_.size();
        noticePending_ = piece.more;
        return piece;
    }

    // A copy of everything published so far.
    std::string Text() {
        const std::lock_guard lock(mutex_);
        return text_;
    }

  private:
    std::mutex mutex_;
    std::string text_;
    bool noticePending_ = false;
};
