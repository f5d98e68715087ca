#include "tests/fakes/temp_home.h"

#include <cstdlib>
#include <fstream>

namespace skorva::testing {

TempHome::TempHome() {
    std::filesystem::create_directories(home_ / ".config");
    setEnv("HOME", home_.string());
    setEnv("XDG_CONFIG_HOME", (home_ / ".config").string());
    setEnv("XDG_DATA_HOME", std::nullopt);
}

TempHome::~TempHome() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
}

void TempHome::writeUserDirs(const std::string& text) const {
    std::ofstream(home_ / ".config" / "user-dirs.dirs") << text;
}

void TempHome::setEnv(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

}  // namespace skorva::testing
