#include "framework/win/SysWin.h"

#include <windows.h>

#include <vector>

namespace kaptor {

std::string ExeName() {
    // MAX_PATH is not a limit on current Windows: grow until the whole name fits.
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

}  // namespace kaptor
