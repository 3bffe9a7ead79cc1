// One large block let go of, kept for the next request it fits. A capture tool makes pictures
// of one size again and again (screen after screen, file after file): memory written before
// costs no page faults, and letting it go costs nothing either when the next picture takes it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

namespace kaptor {

// Blocks smaller than this are cheap to make anew; larger ones are not kept, so that a huge
// picture does not hold a 32-bit process's address space after it has gone.
constexpr std::uint64_t kSpareMinBytes = 256 * 1024;
constexpr std::uint64_t kSpareMaxBytes = 64ull * 1024 * 1024;

constexpr bool WorthKeeping(std::uint64_t bytes) { return bytes >= kSpareMinBytes && bytes <= kSpareMaxBytes; }

// Item: movable; what it owns is let go of by its destructor. Any thread may offer or take.
template <class Item>
class TSpareSlot {
public:
    // Keeps item in place of the one kept before, which is let go of outside the lock.
    void Offer(Item item) {
        std::optional<Item> old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old = std::exchange(kept_, std::move(item));
        }
    }

    // The kept item when fits(item) holds; it is no longer kept.
    template <class Fits>
    std::optional<Item> Take(Fits fits) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!kept_ || !fits(*kept_)) return std::nullopt;
        return std::exchange(kept_, std::nullopt);
    }

    // Lets go of the kept item (when memory runs short).
    bool Release() {
        std::optional<Item> old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old = std::exchange(kept_, std::nullopt);
        }
        return old.has_value();
    }

private:
    std::mutex mutex_;
    std::optional<Item> kept_;
};

}  // namespace kaptor
