// Small process-wide facts read from Windows.
#pragma once

#include <string>

namespace kaptor {

// Full path of the running executable, in the ANSI code page.
std::string ExeName();

}  // namespace kaptor
