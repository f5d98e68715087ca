#include "app/command_line.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_arguments.h"
#include "app/cli_commands.h"
#include "dialogs/special_folders.h"
#include "movie/frame_rate.h"
#include "platform/avi/codecs.h"
#include "platform/avi/container.h"

#ifndef SKORVA_VERSION
#define SKORVA_VERSION "unknown"
#endif

namespace skorva {
namespace {

constexpr const char* kRecordUsage =
    "Usage: skorva record (--title TEXT | --window-id ID) [-o FOLDER] [--bmp] [--no-jpg] [--no-keep-on-top]\n"
    "                     [--frames N | --duration SECONDS] [--interval MS]\n";
constexpr const char* kWriteMovieUsage =
    "Usage: skorva write-movie FOLDER -o MOVIE [--fps N] [--codec NAME] [--quality Q] [--key-frame-every N]\n"
    "                          [--data-rate KBPS]\n";

constexpr const char* kHelp =
    "Usage: skorva [COMMAND [OPTIONS]]\n"
    "Records the webcam windows of an instant messenger into numbered frames and joins frames into movies.\n"
    "Without a command the window opens.\n"
    "\n"
    "Commands:\n"
    "  list         One line per webcam window the window would list, in its order: the window's handle in\n"
    "               hex, a tab, its title.\n"
    "  record       Records a webcam window as the window's Start does: a folder of its own below the "
    "output\n"
    "               folder, numbered JPEG (quality 70) and BMP frames, the window restored and kept on top.\n"
    "               Prints the folder, then the frames; ends after N frames, the duration, or "
    "SIGINT/SIGTERM.\n"
    "    --title TEXT        the first listed webcam window whose title holds TEXT\n"
    "    --window-id ID      the listed webcam window of this handle (hex with 0x, or decimal)\n"
    "    -o, --output FOLDER the output folder (the window's at start)\n"
    "    --bmp               also store each frame as a BMP file\n"
    "    --no-jpg            store no JPEG files\n"
    "    --no-keep-on-top    do not keep the webcam window on top\n"
    "    --frames N          end after N frames\n"
    "    --duration SECONDS  end after this long\n"
    "    --interval MS       time between frames, 33 (30 a second) to 60000 (1000)\n"
    "  write-movie  Joins the JPEG frames of FOLDER into a movie as \"Write Avi\" does: name order, the "
    "frame\n"
    "               rate held to 1..30, each re-encoded frame through FOLDER/tmp.bmp. Progress on "
    "standard\n"
    "               error; SIGINT or SIGTERM ends it with a playable movie of the frames so far.\n"
    "    -o, --output MOVIE  the movie's file (needed); its extension chooses the container: .avi, .mp4\n"
    "                        (H.264 in it plays in a web browser) or .mkv; any other is refused\n"
    "    --fps N             frames a second, 1 to 30 (3)\n"
    "    --codec NAME        raw (full frames, the default for .avi), mjpeg, mjpeg-copy (the JPEG files as\n"
    "                        they are), mpeg4, h264 (the default for .mp4 and .mkv), ffv1; .mp4 holds\n"
    "                        neither raw nor ffv1, .mkv not raw\n"
    "    --quality Q         1 to 100, where the codec has a quality (the codec's default)\n"
    "    --key-frame-every N a key frame every N frames (mpeg4, h264: every ten seconds of movie, so\n"
    "                        every 30 frames at --fps 3; the other codecs: every frame)\n"
    "    --data-rate KBPS    a data rate in KB a second (none)\n"
    "\n"
    "  -h, --help     this text\n"
    "  -v, --version  the program's version\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 bad arguments. Errors go to standard error in the texts of the "
    "window's\n"
    "message boxes.\n";

constexpr int kSecondsBetweenKeyFrames = 10;

int badArguments(const std::string& what, const char* usage) {
    std::fprintf(stderr, "skorva: %s\n%s", what.c_str(), usage);
    return kExitBadArguments;
}

std::vector<std::string> argumentsAfterCommand(int argc, char** argv) {
    return std::vector<std::string>(argv + 2, argv + argc);
}

int runRecord(int argc, char** argv) {
    CommandArguments parser({{{"title"}, true},
                             {{"window-id"}, true},
                             {{"o", "output"}, true},
                             {{"bmp"}},
                             {{"no-jpg"}},
                             {{"no-keep-on-top"}},
                             {{"frames"}, true},
                             {{"duration"}, true},
                             {{"interval"}, true}});
    if (!parser.parse(argumentsAfterCommand(argc, argv))) {
        return badArguments(parser.errorText(), kRecordUsage);
    }
    if (!parser.positional().empty()) {
        return badArguments("record takes no " + parser.positional().front(), kRecordUsage);
    }
    RecordOptions options;
    if (parser.isSet("title") == parser.isSet("window-id")) {
        return badArguments("record needs --title or --window-id, one of them", kRecordUsage);
    }
    if (parser.isSet("title")) {
        options.title = parser.value("title");
    } else {
        const auto id = wholeNumber(parser.value("window-id"), 1, 0xFFFFFFFF);
        if (!id) {
            return badArguments("--window-id takes a window handle, such as 0x1a00007", kRecordUsage);
        }
        options.windowId = static_cast<WindowHandle>(*id);
    }
    if (parser.isSet("frames") && parser.isSet("duration")) {
        return badArguments("--frames and --duration cannot both end the recording", kRecordUsage);
    }
    if (parser.isSet("frames")) {
        options.frames = wholeNumber(parser.value("frames"), 1, 10'000'000);
        if (!options.frames) {
            return badArguments("--frames takes a number from 1", kRecordUsage);
        }
    }
    if (parser.isSet("duration")) {
        const double seconds = decimalNumber(parser.value("duration")).value_or(0);
        if (!(seconds > 0) || seconds > 1e9) {
            return badArguments("--duration takes a number of seconds above 0", kRecordUsage);
        }
        options.durationMs = static_cast<std::int64_t>(seconds * 1000);
    }
    if (parser.isSet("interval")) {
        const auto milliseconds = wholeNumber(parser.value("interval"), 33, 60000);
        if (!milliseconds) {
            return badArguments("--interval takes 33 to 60000 milliseconds", kRecordUsage);
        }
        options.intervalMs = static_cast<std::int32_t>(*milliseconds);
    }
    options.outputFolder = parser.isSet("output") ? parser.value("output") : defaultOutputFolder();
    options.bmp = parser.isSet("bmp");
    options.jpg = !parser.isSet("no-jpg");
    options.keepOnTop = !parser.isSet("no-keep-on-top");
    return recordViewer(options);
}

// The compressor a short name stands for.
std::optional<std::uint32_t> codecNamed(const std::string& name) {
    const std::pair<const char*, std::uint32_t> names[] = {
        {"raw", 0},
        {"mjpeg", avi::makeFourcc("MJPG")},
        {"mjpeg-copy", avi::makeFourcc("MJPC")},
        {"mpeg4", avi::makeFourcc("FMP4")},
        {"h264", avi::makeFourcc("H264")},
        {"ffv1", avi::makeFourcc("FFV1")},
    };
    for (const auto& [each, fourcc] : names) {
        if (name == each) {
            return fourcc;
        }
    }
    return std::nullopt;
}

int runWriteMovie(int argc, char** argv) {
    CommandArguments parser({{{"o", "output"}, true},
                             {{"fps"}, true},
                             {{"codec"}, true},
                             {{"quality"}, true},
                             {{"key-frame-every"}, true},
                             {{"data-rate"}, true}});
    if (!parser.parse(argumentsAfterCommand(argc, argv))) {
        return badArguments(parser.errorText(), kWriteMovieUsage);
    }
    if (parser.positional().size() != 1) {
        return badArguments("write-movie takes one folder of frames", kWriteMovieUsage);
    }
    if (!parser.isSet("output")) {
        return badArguments("write-movie needs -o MOVIE", kWriteMovieUsage);
    }
    WriteMovieOptions options;
    options.folder = parser.positional().front();
    options.movie = parser.value("output");
    const std::optional<avi::Container> container = avi::containerOfExtension(options.movie);
    if (!container) {
        return badArguments("MOVIE must end in .avi, .mp4 or .mkv", kWriteMovieUsage);
    }
    if (parser.isSet("fps")) {
        options.frameRate = parser.value("fps");
    }
    if (parser.isSet("codec")) {
        const auto fourcc = codecNamed(parser.value("codec"));
        if (!fourcc) {
            return badArguments("--codec takes raw, mjpeg, mjpeg-copy, mpeg4, h264 or ffv1",
                                kWriteMovieUsage);
        }
        options.fourcc = *fourcc;
    } else if (*container != avi::Container::Avi) {
        // Full frames are AVI's alone: the other containers get the smallest files by default.
        options.fourcc = avi::makeFourcc("H264");
    }
    if (const avi::Codec* chosen = avi::findCodec(options.fourcc);
        chosen != nullptr && !avi::containerHolds(*container, *chosen)) {
        return badArguments(std::string(avi::containerName(*container)) + " movies cannot hold " +
                                chosen->displayName + ". " + avi::notOfferedLine(*container),
                            kWriteMovieUsage);
    }
    if (parser.isSet("quality")) {
        const auto chosen = wholeNumber(parser.value("quality"), 1, 100);
        if (!chosen) {
            return badArguments("--quality takes 1 to 100", kWriteMovieUsage);
        }
        options.quality = static_cast<std::uint32_t>(*chosen) * 100;
    }
    if (parser.isSet("key-frame-every")) {
        const auto every = wholeNumber(parser.value("key-frame-every"), 1, 9999);
        if (!every) {
            return badArguments("--key-frame-every takes 1 to 9999 frames", kWriteMovieUsage);
        }
        options.keyFrameEvery = static_cast<std::uint32_t>(*every);
    } else if (options.fourcc == avi::makeFourcc("H264") || options.fourcc == avi::makeFourcc("FMP4")) {
        // Between key frames these codecs store only what changed; every ten seconds of movie a key frame
        // still lets a player seek.
        options.keyFrameEvery =
            static_cast<std::uint32_t>(kSecondsBetweenKeyFrames * frameRateFromText(options.frameRate));
    }
    if (parser.isSet("data-rate")) {
        const auto kilobytes = wholeNumber(parser.value("data-rate"), 1, 1000000);
        if (!kilobytes) {
            return badArguments("--data-rate takes 1 to 1000000 KB a second", kWriteMovieUsage);
        }
        options.bytesPerSecond = static_cast<std::uint32_t>(*kilobytes) * 1024;
    }
    return writeMovie(options);
}

}  // namespace

std::optional<int> runCommandLine(int argc, char** argv) {
    if (argc < 2) {
        return std::nullopt;
    }
    const std::string first = argv[1];
    if (first == "list") {
        return argc == 2 ? listViewers() : badArguments("list takes no arguments", "Usage: skorva list\n");
    }
    if (first == "record") {
        return runRecord(argc, argv);
    }
    if (first == "write-movie") {
        return runWriteMovie(argc, argv);
    }
    if (first == "-h" || first == "--help" || first == "help") {
        std::fputs(kHelp, stdout);
        return kExitDone;
    }
    if (first == "-v" || first == "--version") {
        std::printf("skorva %s\n", SKORVA_VERSION);
        return kExitDone;
    }
    // Qt's own options (-platform, -display ...) are the window's.
    if (first.rfind('-', 0) == 0) {
        return std::nullopt;
    }
    return badArguments("no command " + first,
                        "Usage: skorva [list | record | write-movie] [OPTIONS]; skorva --help\n");
}

}  // namespace skorva
