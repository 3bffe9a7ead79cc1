// The C codec libraries (libjpeg, libpng) report a fatal error through a callback that must
// not return, and they are built without unwind tables, so no C++ exception may travel
// through their frames. Their error callback longjmps back to Guarded, in the C++ frame that
// called into the library; a stream callback parks its exception in the trap and fails the
// library's way. Between setjmp and a possible longjmp only library calls and code without
// destructors run: whatever owns memory lives in a context made before the jump point.
#pragma once

#include <csetjmp>
#include <exception>
#include <utility>

namespace kaptor {

struct JumpTrap {
    std::jmp_buf jump{};
    std::exception_ptr pending;  // a stream failure, rethrown in place of the library's error
};

// Runs body, which calls into the library; after a jump back rethrows the parked exception,
// or else calls raise, which throws what the library's error stands for.
template <class Body, class Raise>
void Guarded(JumpTrap& trap, Body&& body, Raise&& raise) {
    if (setjmp(trap.jump) == 0) {
        body();
        return;
    }
    if (trap.pending) std::rethrow_exception(std::exchange(trap.pending, nullptr));
    raise();
}

}  // namespace kaptor
