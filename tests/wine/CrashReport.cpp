// A crash in a test program ends it at once: the exception, its address and the test that
// was running go to the error output, and the program exits with a failure status. Without
// this the crash is left to the system's handling, which may stop and ask whether to debug
// while the test run waits for its time limit. Linked into every Windows test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& e = *info->ExceptionRecord;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char text[512];
    const int n = std::snprintf(text, sizeof text, "\n[  CRASHED ] %s%s%s: exception 0x%08lx at %p\n",
                                test ? test->test_suite_name() : "outside any test", test ? "." : "",
                                test ? test->name() : "", static_cast<unsigned long>(e.ExceptionCode),
                                e.ExceptionAddress);
    // Straight to the handle: the C library's streams may be what crashed.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, n > 0 ? static_cast<DWORD>(n) : 0, &written, nullptr);
    // The status is the exception code, made non-zero in the byte a Unix parent sees.
    const UINT status = (e.ExceptionCode & 0xFF) ? e.ExceptionCode : (e.ExceptionCode | 1);
    TerminateProcess(GetCurrentProcess(), status);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[maybe_unused]] const bool installed = [] {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    return true;
}();

}  // namespace
