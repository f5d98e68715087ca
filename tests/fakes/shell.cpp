#include "tests/fakes/shell.h"

#include <cstdio>
#include <memory>

namespace skorva::testing {

std::string runCommand(const std::string& command) {
    struct PipeClose {
        void operator()(std::FILE* pipe) const { pclose(pipe); }
    };
    std::unique_ptr<std::FILE, PipeClose> pipe(popen((command + " 2>&1").c_str(), "r"));
    std::string output;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        output += buffer;
    }
    return output;
}

}  // namespace skorva::testing
