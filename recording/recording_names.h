#pragma once
// How a recording and its frames are named: the user part of a list entry, the recording folder's time
// stamp, the frame number. Text that comes from another program's window title, or from the locale,
// is made safe before it becomes part of a file name.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace skorva {

// The locale's names that the time stamp uses.
struct LocaleNames {
    std::array<std::string, 12> shortMonths;  // January first
    std::string am;
    std::string pm;
};

// The entry's text from its 12th character on (UTF-8 characters, not bytes); empty when the text has 11
// characters or fewer (the bare "Webcam for" included).
std::string userPartOf(const std::string& entryText);

// Replaces every character that cannot stand in a file name here, and both path separators, with "_":
// "/" and "\", NUL and the other control characters. Whatever the input, the result names one file
// directly inside a folder, never a path, "." or "..".
std::string safeFileNamePart(const std::string& text);

// "dd_mmm_yyyy_hh_mm_ss_AMPM" of the given local time, 12-hour clock (midnight and noon are 12). Month
// names and designators come from the locale, made file-name safe; empty designators become "AM"/"PM".
std::string recordingTimeStamp(const std::tm& localTime, const LocaleNames& names);

// The recording folder's name: the safe user part immediately followed by the time stamp.
std::string recordingFolderName(const std::string& entryText, const std::tm& localTime,
                                const LocaleNames& names);

// Text for a message box: at most 200 characters, else its first 199 and "…". Titles come from other
// programs and can be of any length; a box must stay on the screen.
std::string shortenedForBox(const std::string& text);

// The frame number as 7 digits, zero-padded on the left.
std::string frameNumberText(std::int32_t frame);

// The base path of a frame (without extension): folder / recording folder / safe user part + number.
std::string frameBasePath(const std::string& outputFolder, const std::string& recordingFolder,
                          const std::string& entryText, std::int32_t frame);

}  // namespace skorva
