#include "recording/recording_names.h"

#include <gtest/gtest.h>
#include <QLocale>

#include "app/locale_names.h"

namespace skorva {
namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(UserPart, DropsTheFirstElevenCharacters) {
    EXPECT_EQ(userPartOf("Webcam for bob"), "bob");
    EXPECT_EQ(userPartOf("My Webcam for bob"), "or bob");  // counted, not searched
    EXPECT_EQ(userPartOf("Webcam for "), "");
    EXPECT_EQ(userPartOf("Webcam for"), "");  // the bare title: 10 characters
    EXPECT_EQ(userPartOf(""), "");
    // Characters, not bytes: an umlaut before the cut is one character.
    EXPECT_EQ(userPartOf("Wébcam for jürgen"), "jürgen");
}

TEST(SafeNames, HostileTitlesNeverLeaveTheOutputFolder) {
    EXPECT_EQ(safeFileNamePart(userPartOf("Webcam for ../../x")), ".._.._x");
    EXPECT_EQ(safeFileNamePart(userPartOf("Webcam for a/b")), "a_b");
    EXPECT_EQ(safeFileNamePart(userPartOf("Webcam for a\\b")), "a_b");
    EXPECT_EQ(safeFileNamePart("line\nbreak\ttab"), "line_break_tab");
    EXPECT_EQ(safeFileNamePart(".."), "__");
    EXPECT_EQ(safeFileNamePart("jürgen: ok?"), "jürgen: ok?");  // legal here, kept as typed

    const std::tm t = at(2026, 12, 6, 14, 5, 9);
    LocaleNames names = localeNames(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::string path = frameBasePath("/rec", "f", "Webcam for ../../etc/passwd", 3);
    EXPECT_EQ(path, "/rec/f/.._.._etc_passwd0000003");
    EXPECT_EQ(recordingFolderName("Webcam for a/b", t, names).find('/'), std::string::npos);
}

TEST(TimeStamp, TwelveHourClockInEnglish) {
    const LocaleNames english = localeNames(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(recordingFolderName("Webcam for bob", at(2026, 12, 6, 14, 5, 9), english),
              "bob06_Dec_2026_02_05_09_PM");
    EXPECT_EQ(recordingTimeStamp(at(2026, 1, 1, 0, 0, 0), english), "01_Jan_2026_12_00_00_AM");    // midnight
    EXPECT_EQ(recordingTimeStamp(at(2026, 7, 31, 12, 0, 0), english), "31_Jul_2026_12_00_00_PM");  // noon
    EXPECT_EQ(recordingTimeStamp(at(2026, 7, 31, 13, 0, 1), english), "31_Jul_2026_01_00_01_PM");  // 1 pm
    EXPECT_EQ(recordingTimeStamp(at(2026, 7, 31, 11, 59, 59), english), "31_Jul_2026_11_59_59_AM");
    // An entry of exactly eleven characters gives the time stamp alone.
    EXPECT_EQ(recordingFolderName("Webcam for ", at(2026, 1, 1, 0, 0, 0), english),
              "01_Jan_2026_12_00_00_AM");
}

TEST(TimeStamp, GermanMonthNamesAndUnsafeOrMissingDesignators) {
    const LocaleNames german = localeNames(QLocale(QLocale::German, QLocale::Germany));
    const std::string stamp = recordingTimeStamp(at(2026, 3, 6, 14, 5, 9), german);
    EXPECT_EQ(stamp.substr(0, 3), "06_");
    EXPECT_NE(stamp.find("M"), std::string::npos);  // "März" or "Mär." as the locale has it
    EXPECT_EQ(stamp.find('/'), std::string::npos);
    EXPECT_NE(stamp.find("_2026_02_05_09_"), std::string::npos);

    LocaleNames odd = german;
    odd.shortMonths[2] = "Mä/rz";
    odd.am = "";
    odd.pm = "";
    EXPECT_EQ(recordingTimeStamp(at(2026, 3, 6, 9, 5, 9), odd), "06_Mä_rz_2026_09_05_09_AM");
    EXPECT_EQ(recordingTimeStamp(at(2026, 3, 6, 21, 5, 9), odd), "06_Mä_rz_2026_09_05_09_PM");
    odd.pm = "p/m";
    EXPECT_EQ(recordingTimeStamp(at(2026, 3, 6, 21, 5, 9), odd), "06_Mä_rz_2026_09_05_09_p_m");
}

TEST(FrameNames, SevenDigitsAndThePathLayout) {
    EXPECT_EQ(frameNumberText(0), "0000000");
    EXPECT_EQ(frameNumberText(12), "0000012");
    EXPECT_EQ(frameNumberText(32767), "0032767");
    EXPECT_EQ(frameNumberText(9999999), "9999999");
    EXPECT_EQ(frameBasePath("/rec", "bob06_Dec_2026_02_05_09_PM", "Webcam for bob", 0),
              "/rec/bob06_Dec_2026_02_05_09_PM/bob0000000");
    // A root output folder gives a double separator, which is harmless.
    EXPECT_EQ(frameBasePath("/", "f", "Webcam for bob", 1), "//f/bob0000001");
}

}  // namespace
}  // namespace skorva
