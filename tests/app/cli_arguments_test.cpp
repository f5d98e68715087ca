// The command line's own option parser: the forms GNU tools and Qt's parser take, and the words of its
// refusals.

#include "app/cli_arguments.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace skorva {
namespace {

CommandArguments recordOptions() {
    return CommandArguments(
        {{{"title"}, true}, {{"o", "output"}, true}, {{"b"}}, {{"bmp"}}, {{"frames"}, true}});
}

TEST(CliArguments, OptionsTakeTheirValuesInEveryFormAndTheLastOneCounts) {
    struct Case {
        std::vector<std::string> arguments;
        std::string title;
        std::string output;
        bool bmp;
        std::vector<std::string> positional;
    };
    const Case cases[] = {
        {{"--title", "bob", "-o", "out"}, "bob", "out", false, {}},
        {{"--title=bob smith", "--output=C:\\Videos"}, "bob smith", "C:\\Videos", false, {}},
        {{"-oout", "--title", "-x"}, "-x", "out", false, {}},  // a value may start with a dash
        {{"--title", "a", "--title", "b"}, "b", "", false, {}},
        {{"folder", "--bmp", "second"}, "", "", true, {"folder", "second"}},
        {{"-bo", "out", "-"}, "", "out", false, {"-"}},  // short flags run together; "-" is a name
        {{"--", "--title", "-o"}, "", "", false, {"--title", "-o"}},
        {{"--title="}, "", "", false, {}},
    };
    for (const Case& each : cases) {
        std::string line;
        for (const std::string& argument : each.arguments) {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        CommandArguments parser = recordOptions();
        ASSERT_TRUE(parser.parse(each.arguments)) << parser.errorText();
        EXPECT_EQ(parser.value("title"), each.title);
        EXPECT_EQ(parser.value("output"), each.output);
        EXPECT_EQ(parser.value("o"), each.output);
        EXPECT_EQ(parser.isSet("output"), !each.output.empty());
        EXPECT_EQ(parser.isSet("bmp"), each.bmp);
        EXPECT_EQ(parser.positional(), each.positional);
    }
    CommandArguments bundled = recordOptions();
    ASSERT_TRUE(bundled.parse({"-bo", "out"}));
    EXPECT_TRUE(bundled.isSet("b"));
}

TEST(CliArguments, UnknownOptionsAndMissingValuesAreRefusedInQtsWords) {
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--titel", "bob"}, "Unknown option 'titel'."},
        {{"-x"}, "Unknown option 'x'."},
        {{"-bx"}, "Unknown option 'x'."},
        {{"--title"}, "Missing value after '--title'."},
        {{"--frames", "3", "-o"}, "Missing value after '-o'."},
        {{"--bmp=yes"}, "Unexpected value after '--bmp'."},
    };
    for (const auto& [arguments, error] : refused) {
        CommandArguments parser = recordOptions();
        EXPECT_FALSE(parser.parse(arguments)) << error;
        EXPECT_EQ(parser.errorText(), error);
    }
}

TEST(CliArguments, NumbersAreWholeAndWithinTheirRangeInCNotation) {
    const std::tuple<const char*, std::int64_t, std::int64_t, std::optional<std::int64_t>> cases[] = {
        {"0x1a00007", 1, 0xFFFFFFFF, 0x1a00007},
        {"42", 1, 100, 42},
        {"017", 1, 100, 15},
        {"0", 1, 100, std::nullopt},
        {"101", 1, 100, std::nullopt},
        {"12abc", 1, 100, std::nullopt},
        {"", 1, 100, std::nullopt},
        {" 5", 1, 100, std::nullopt},
        {"99999999999999999999", 1, 100, std::nullopt},
    };
    for (const auto& [text, lowest, highest, expected] : cases) {
        EXPECT_EQ(wholeNumber(text, lowest, highest), expected) << text;
    }
    EXPECT_EQ(decimalNumber("2.5"), 2.5);
    EXPECT_EQ(decimalNumber("2.5s"), std::nullopt);
    EXPECT_EQ(decimalNumber(""), std::nullopt);
}

}  // namespace
}  // namespace skorva
