#pragma once

#include <unistd.h>

#include <utility>

namespace rastelle::cli {

// Owns one POSIX file descriptor and closes it exactly once. Move-only.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            descriptor_ = std::exchange(other.descriptor_, -1);
        }
        return *this;
    }
    ~Descriptor() { Reset(); }

    int Get() const noexcept { return descriptor_; }
    bool IsOpen() const noexcept { return descriptor_ >= 0; }
    // Closes it and says whether that worked: a write the system deferred may fail only here.
    bool Close() noexcept { return ::close(std::exchange(descriptor_, -1)) == 0; }
    void Reset() noexcept {
        if (descriptor_ >= 0) {
            ::close(std::exchange(descriptor_, -1));
        }
    }

  private:
    int descriptor_ = -1;
};

}  // namespace rastelle::cli
