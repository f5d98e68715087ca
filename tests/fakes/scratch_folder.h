#pragma once
// The one scratch folder of the tests: a fresh folder below the system's temporary folder, removed with
// everything in it when the object goes (made writable again first, for tests that take its rights away).

#include <filesystem>
#include <string>
#include <vector>

namespace skorva::testing {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& prefix = "skorva");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The names in the folder, hidden ones too, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

// The names in a folder, hidden ones too, sorted.
std::vector<std::string> fileNames(const std::filesystem::path& folder);

}  // namespace skorva::testing
