#pragma once
// The options of one command, parsed as GNU tools and Qt's parser take them: "--name value",
// "--name=value", "-o value", "-ovalue", short flags run together ("-ab"), "--" before positional
// arguments that start with a dash. Plain C++, so that the command line is the same on every system.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace skorva {

struct OptionSpec {
    std::vector<std::string> names;  // without dashes; one letter: a short name
    bool takesValue = false;
};

class CommandArguments {
  public:
    explicit CommandArguments(std::vector<OptionSpec> options) : options_(std::move(options)) {}

    // False, with errorText(), for an unknown option or one that lacks its value.
    bool parse(const std::vector<std::string>& arguments);
    const std::string& errorText() const { return error_; }

    // By any of the option's names.
    bool isSet(const std::string& name) const;
    // The last value given; empty when none.
    std::string value(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

  private:
    const OptionSpec* find(const std::string& name) const;

    std::vector<OptionSpec> options_;
    std::vector<std::pair<const OptionSpec*, std::string>> given_;
    std::vector<std::string> positional_;
    std::string error_;
};

// A whole number within [lowest, highest], in C notation ("0x1a00007", "42", "017"); nothing otherwise.
std::optional<std::int64_t> wholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest);
// A decimal number; nothing when the text is not one.
std::optional<double> decimalNumber(const std::string& text);

}  // namespace skorva
