#include "tests/fakes/process_figures.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace skorva::testing {

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

long peakResidentKib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

int sharedMemoryMappings() {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        count += line.find("/SYSV") != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace skorva::testing
