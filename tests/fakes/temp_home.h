#pragma once
// A private home folder for a test: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME point into a fresh
// temporary folder for the object's lifetime, and are put back afterwards.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/fakes/scratch_folder.h"

namespace skorva::testing {

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& home() const { return home_; }
    // Writes the user-dirs file ($XDG_CONFIG_HOME/user-dirs.dirs) with the given text.
    void writeUserDirs(const std::string& text) const;
    // Sets or (with std::nullopt) unsets a variable until the end of the object's life.
    void setEnv(const std::string& name, const std::optional<std::string>& value);

  private:
    ScratchFolder folder_{"skorva-home"};
    std::filesystem::path home_ = folder_.path();
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace skorva::testing
