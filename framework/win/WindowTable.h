// What a window of this process stands for, found by its handle. Kept in the process rather
// than as a window property: a property is a round trip to the window server under Wine, and
// it is looked up for every message a window gets (about 500 of them before the first paint).
// Whoever adds a window removes it again at its WM_NCDESTROY.
#pragma once

#include <windows.h>

#include <unordered_map>

namespace kaptor {

template <class T>
class TWindowTable {
public:
    TWindowTable() = default;
    TWindowTable(const TWindowTable&) = delete;
    TWindowTable& operator=(const TWindowTable&) = delete;

    T* Find(HWND wnd) const {
        if (!wnd) return nullptr;
        TShared guard(lock_);
        const auto it = entries_.find(wnd);
        return it == entries_.end() ? nullptr : it->second;
    }
    void Add(HWND wnd, T* value) {
        TExclusive guard(lock_);
        entries_[wnd] = value;
    }
    void Remove(HWND wnd) {
        TExclusive guard(lock_);
        entries_.erase(wnd);
    }

private:
    // Windows may be looked up from another thread (a window's procedure runs on its own).
    struct TShared {
        SRWLOCK& lock;
        explicit TShared(SRWLOCK& l) : lock(l) { AcquireSRWLockShared(&lock); }
        ~TShared() { ReleaseSRWLockShared(&lock); }
    };
    struct TExclusive {
        SRWLOCK& lock;
        explicit TExclusive(SRWLOCK& l) : lock(l) { AcquireSRWLockExclusive(&lock); }
        ~TExclusive() { ReleaseSRWLockExclusive(&lock); }
    };
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::unordered_map<HWND, T*> entries_;
};

}  // namespace kaptor
