#include "core/log.h"

#include <cstdio>
#include <string>

namespace skorva {

void logLine(std::string_view component, std::string_view text) {
    // One write a line, so that lines of two threads never interleave.
    std::string line = "skorva: ";
    line.append(component).append(": ").append(text).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace skorva
