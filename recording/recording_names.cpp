#include "recording/recording_names.h"

#include <cstdio>

namespace skorva {
namespace {

// Length of the UTF-8 sequence that starts with `lead`; a stray continuation byte counts as one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

std::string userPartOf(const std::string& entryText) {
    constexpr int kSkippedCharacters = 11;  // "Webcam for" and the one character after it
    std::size_t offset = 0;
    for (int skipped = 0; skipped < kSkippedCharacters; ++skipped) {
        if (offset >= entryText.size()) {
            return {};
        }
        offset += sequenceLength(static_cast<unsigned char>(entryText[offset]));
    }
    return offset >= entryText.size() ? std::string() : entryText.substr(offset);
}

std::string safeFileNamePart(const std::string& text) {
    std::string safe = text;
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) {
            c = '_';
        }
    }
    // "." and ".." name folders, not files; they never stand alone.
    if (safe == "." || safe == "..") {
        safe.assign(safe.size(), '_');
    }
    return safe;
}

std::string recordingTimeStamp(const std::tm& localTime, const LocaleNames& names) {
    const int month = (localTime.tm_mon % 12 + 12) % 12;
    const bool beforeNoon = localTime.tm_hour < 12;
    const int hour12 = localTime.tm_hour % 12 == 0 ? 12 : localTime.tm_hour % 12;
    std::string designator = safeFileNamePart(beforeNoon ? names.am : names.pm);
    if (designator.empty()) {
        designator = beforeNoon ? "AM" : "PM";
    }
    char year[16];
    std::snprintf(year, sizeof year, "%04d", localTime.tm_year + 1900);
    return twoDigits(localTime.tm_mday) + "_" +
           safeFileNamePart(names.shortMonths[static_cast<std::size_t>(month)]) + "_" + year + "_" +
           twoDigits(hour12) + "_" + twoDigits(localTime.tm_min) + "_" + twoDigits(localTime.tm_sec) + "_" +
           designator;
}

std::string recordingFolderName(const std::string& entryText, const std::tm& localTime,
                                const LocaleNames& names) {
    return safeFileNamePart(userPartOf(entryText)) + recordingTimeStamp(localTime, names);
}

std::string shortenedForBox(const std::string& text) {
    constexpr int kMostCharacters = 200;
    std::size_t offset = 0;
    for (int kept = 0; kept < kMostCharacters - 1; ++kept) {
        if (offset >= text.size()) {
            return text;
        }
        offset += sequenceLength(static_cast<unsigned char>(text[offset]));
    }
    // One more character fits in place of the ellipsis.
    if (offset >= text.size() ||
        offset + sequenceLength(static_cast<unsigned char>(text[offset])) >= text.size()) {
        return text;
    }
    return text.substr(0, offset) + "\u2026";
}

std::string frameNumberText(std::int32_t frame) {
    char text[16];
    std::snprintf(text, sizeof text, "%07d", static_cast<int>(frame));
    return text;
}

std::string frameBasePath(const std::string& outputFolder, const std::string& recordingFolder,
                          const std::string& entryText, std::int32_t frame) {
    return outputFolder + "/" + recordingFolder + "/" + safeFileNamePart(userPartOf(entryText)) +
           frameNumberText(frame);
}

}  // namespace skorva
