#include "app/cli_arguments.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace skorva {

const OptionSpec* CommandArguments::find(const std::string& name) const {
    for (const OptionSpec& option : options_) {
        for (const std::string& each : option.names) {
            if (each == name) {
                return &option;
            }
        }
    }
    return nullptr;
}

bool CommandArguments::parse(const std::vector<std::string>& arguments) {
    given_.clear();
    positional_.clear();
    error_.clear();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            positional_.insert(positional_.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                               arguments.end());
            return true;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            positional_.push_back(argument);
            continue;
        }
        const bool isLong = argument[1] == '-';
        // A long option, or one short option after another until one takes the rest as its value.
        const std::size_t equals = isLong ? argument.find('=') : std::string::npos;
        std::vector<std::pair<std::string, std::optional<std::string>>> named;
        if (isLong) {
            named.emplace_back(argument.substr(2, equals - 2),
                               equals == std::string::npos
                                   ? std::nullopt
                                   : std::optional<std::string>(argument.substr(equals + 1)));
        } else {
            for (std::size_t at = 1; at < argument.size(); ++at) {
                const std::string letter(1, argument[at]);
                const OptionSpec* option = find(letter);
                if (option != nullptr && option->takesValue && at + 1 < argument.size()) {
                    named.emplace_back(letter, argument.substr(at + 1));
                    break;
                }
                named.emplace_back(letter, std::nullopt);
            }
        }
        for (auto& [name, inlineValue] : named) {
            const OptionSpec* option = find(name);
            if (option == nullptr) {
                error_ = "Unknown option '" + name + "'.";
                return false;
            }
            std::string value;
            if (option->takesValue) {
                if (inlineValue) {
                    value = *inlineValue;
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    error_ = "Missing value after '" + argument + "'.";
                    return false;
                }
            } else if (inlineValue) {
                error_ = "Unexpected value after '" + argument.substr(0, equals) + "'.";
                return false;
            }
            given_.emplace_back(option, std::move(value));
        }
    }
    return true;
}

bool CommandArguments::isSet(const std::string& name) const {
    const OptionSpec* option = find(name);
    for (const auto& [each, value] : given_) {
        if (each == option) {
            return true;
        }
    }
    return false;
}

std::string CommandArguments::value(const std::string& name) const {
    const OptionSpec* option = find(name);
    std::string last;
    for (const auto& [each, value] : given_) {
        if (each == option) {
            last = value;
        }
    }
    return last;
}

std::optional<std::int64_t> wholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest) {
    if (text.empty() || text.front() == ' ' || text.front() == '\t') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end != text.c_str() + text.size() || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> decimalNumber(const std::string& text) {
    if (text.empty() || text.front() == ' ' || text.front() == '\t') {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace skorva
