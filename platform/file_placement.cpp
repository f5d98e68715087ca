#include "platform/file_placement.h"

#include "platform/path_names.h"

#include <cerrno>
#include <cstdio>
#include <random>

namespace skorva {
namespace {

constexpr int kBesideAttempts = 1000;
// The longest name a Linux file system takes, in bytes.
constexpr std::size_t kLongestName = 255;

std::string randomSuffix() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = kLetters[pick(generator)];
    }
    return suffix;
}

std::string::size_type nameStart(const std::string& path) {
    return fileNameStart(path);
}

}  // namespace

std::string temporaryNameFor(const std::string& path) {
    const auto start = nameStart(path);
    std::string name = path.substr(0, start);
    name.append(".").append(path, start, std::string::npos).append(".tmp-").append(randomSuffix());
    return name;
}

std::string moveBeside(const std::string& from, const std::string& target, const std::string& label) {
    return placeBeside(target, label, [&from](const std::string& candidate) {
        return renameWithoutReplacing(from, candidate);
    });
}

std::string placeBeside(const std::string& target, const std::string& label,
                        const std::function<bool(const std::string& candidate)>& placeAt) {
    const auto start = nameStart(target);
    const auto dot = target.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > start;
    std::string stem = hasExtension ? target.substr(0, dot) : target;
    const std::string extension = hasExtension ? target.substr(dot) : std::string();
    for (int number = 1; number <= kBesideAttempts; ++number) {
        // Appended piece by piece: GCC 12 at -O3 takes a chain of + here for an overlapping copy.
        std::string suffix = " (";
        suffix.append(label);
        if (number > 1) {
            suffix.append(" ").append(std::to_string(number));
        }
        suffix.append(")").append(extension);
        // A name the file system takes: the stem gives way, never inside a character of several bytes.
        std::string shortStem = stem;
        while (shortStem.size() > start && shortStem.size() - start + suffix.size() > kLongestName) {
            while (shortStem.size() > start &&
                   (static_cast<unsigned char>(shortStem.back()) & 0xC0) == 0x80) {
                shortStem.pop_back();
            }
            if (shortStem.size() > start) {
                shortStem.pop_back();
            }
        }
        if (placeAt(shortStem + suffix)) {
            return shortStem + suffix;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

}  // namespace skorva
