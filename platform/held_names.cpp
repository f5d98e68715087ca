#include "platform/held_names.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/path_names.h"

namespace skorva {
namespace {

// Writers of one target at once, at the most.
constexpr int kNames = 16;

std::string::size_type nameStart(const std::string& path) {
    return fileNameStart(path);
}

// FNV-1a: the same target gives the same hidden names in every run.
std::uint64_t hashOf(const std::string& text, std::string::size_type from) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::string::size_type i = from; i < text.size(); ++i) {
        hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::string heldNameBeside(const std::string& target, int number) {
    char name[64];
    std::snprintf(name, sizeof name, ".skorva-%016llx-%d.tmp",
                  static_cast<unsigned long long>(hashOf(target, nameStart(target))), number);
    return target.substr(0, nameStart(target)) + name;
}

bool claimHeldName(const std::string& target, std::string& name,
                   const std::function<bool(const std::string&)>& claim,
                   const std::function<bool(const std::string&)>& removeIfAbandoned) {
    if (nameStart(target) == target.size()) {
        errno = ENOENT;
        return false;
    }
    for (int number = 1; number <= kNames; ++number) {
        name = heldNameBeside(target, number);
        if (claim(name)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        // Taken: by a running writer, or left by one that is gone.
        if (removeIfAbandoned(name) && claim(name)) {
            return true;
        }
    }
    errno = EEXIST;
    return false;
}

}  // namespace skorva
