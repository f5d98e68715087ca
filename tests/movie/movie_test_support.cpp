#include "tests/movie/movie_test_support.h"

#include "imaging/picture_files.h"

#include <sstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>

#include "core/bitmap_format.h"
#include "core/little_endian.h"
#include "platform/avi/ffmpeg_handles.h"
#include "platform/file_list.h"
#include "platform/jpeg/jpeg_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace skorva::testing {
namespace {

struct InputFree {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return readLe32(b.data() + at);
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return readLe16(b.data() + at);
}

}  // namespace

void writeJpeg(const std::string& path, int width, int height, int seed, int quality) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            // Smooth gradients that move with the seed, and a bright block at the top left, so that an
            // upside-down or mirrored frame cannot pass.
            const bool marker = x < width / 4 && y < height / 4;
            p[0] = static_cast<std::uint8_t>(marker ? 250 : (x * 200 / width + seed * 7) % 256);
            p[1] = static_cast<std::uint8_t>(marker ? 250 : (y * 200 / height + seed * 3) % 256);
            p[2] = static_cast<std::uint8_t>(marker ? 250
                                                    : ((x + y) * 100 / (width + height) + seed * 11) % 256);
        }
    }
    JpegEncoder encoder;
    const Status encoded = encoder.encode({.pixels = rgb.data(),
                                           .width = width,
                                           .height = height,
                                           .pitch = width * 3,
                                           .format = JpegPixels::Rgb},
                                          JpegSubsampling::Quarter420, quality);
    if (!encoded) {
        throw std::runtime_error("cannot encode a test JPEG: " + encoded.text());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(encoder.output().data()),
              static_cast<std::streamsize>(encoder.output().size()));
}

std::vector<std::uint8_t> bgrRows(const Picture& picture) {
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(picture.width()) * picture.height() * 3);
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* row = picture.row(y);
        for (int x = 0; x < picture.width(); ++x) {
            rows.insert(rows.end(), row + x * 4, row + x * 4 + 3);
        }
    }
    return rows;
}

std::string FakeFrameList::fileName() const {
    const std::int32_t index = listIndex();
    if (order.empty() || index < 0 || index >= listCount()) {
        return FolderFrameList::fileName();
    }
    return names()[order[static_cast<std::size_t>(index)]];
}

bool ScriptedCodecChooser::choose(WindowHandle hwnd, std::uint32_t icmfFlags,
                                  const std::vector<OfferedCodec>& codecs, const std::string& notOfferedLine,
                                  CompressOptions& options) {
    notOffered = notOfferedLine;
    return choose(hwnd, icmfFlags, codecs, options);
}

bool ScriptedCodecChooser::choose(WindowHandle hwnd, std::uint32_t icmfFlags,
                                  const std::vector<OfferedCodec>& codecs, CompressOptions& options) {
    ++calls;
    offered.clear();
    for (const OfferedCodec& codec : codecs) {
        offered.push_back(codec.fourcc);
    }
    owner = hwnd;
    flags = icmfFlags;
    if (!answer) {
        return false;
    }
    options = *answer;
    return true;
}

ScriptedUser::ScriptedUser(const std::string& output, std::uint32_t handler, std::uint32_t quality,
                           std::uint32_t keyFrameEvery) {
    dialogs.script.push_back(savedAs(output));
    CompressOptions options;
    options.fccHandler = handler;
    options.quality = quality;
    options.keyFrameEvery = keyFrameEvery;
    chooser.answer = options;
}

DecodedMovie decodeMovie(const std::string& path, bool keepFrames) {
    DecodedMovie movie;
    AVFormatContext* rawInput = nullptr;
    if (avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr) < 0) {
        return movie;
    }
    std::unique_ptr<AVFormatContext, InputFree> input(rawInput);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        return movie;
    }
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        return movie;
    }
    AVStream* stream = input->streams[index];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (decoder == nullptr) {
        return movie;
    }
    avi::CodecContextPtr context(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(context.get(), stream->codecpar);
    if (avcodec_open2(context.get(), decoder, nullptr) < 0) {
        return movie;
    }
    movie.opened = true;
    movie.codec = decoder->name;
    movie.codecTag = stream->codecpar->codec_tag;
    movie.width = stream->codecpar->width;
    movie.height = stream->codecpar->height;
    movie.rateNum = stream->avg_frame_rate.num != 0 ? stream->avg_frame_rate.num : stream->r_frame_rate.num;
    movie.rateDen = stream->avg_frame_rate.num != 0 ? stream->avg_frame_rate.den : stream->r_frame_rate.den;
    movie.containerFrames = stream->nb_frames;

    avi::PacketPtr packet(av_packet_alloc());
    avi::FramePtr frame(av_frame_alloc());
    avi::SwsPtr scaler;
    std::size_t counted = 0;
    const auto take = [&]() {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            ++counted;
            if (keepFrames) {
                scaler.reset(sws_getCachedContext(
                    scaler.release(), frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                    frame->width, frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr));
                std::vector<std::uint8_t> rows(static_cast<std::size_t>(frame->width) * frame->height * 3);
                std::uint8_t* planes[1] = {rows.data()};
                const int strides[1] = {frame->width * 3};
                sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
                movie.frames.push_back(std::move(rows));
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index) {
            if ((packet->flags & AV_PKT_FLAG_KEY) != 0) {
                ++movie.keyPackets;
            }
            avcodec_send_packet(context.get(), packet.get());
            take();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(context.get(), nullptr);
    take();
    if (!keepFrames) {
        movie.frames.resize(counted);
    }
    return movie;
}

AviHeaders readAviHeaders(const std::string& path) {
    AviHeaders headers;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(64 * 1024);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    const auto find = [&bytes](const char* tag) -> std::size_t {
        for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
            if (std::equal(tag, tag + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i))) {
                return i + 8;
            }
        }
        return 0;
    };
    const std::size_t strh = find("strh");
    const std::size_t strf = find("strf");
    if (strh == 0 || strf == 0 || strh + 56 > bytes.size() || strf + 40 > bytes.size()) {
        return headers;
    }
    headers.found = true;
    headers.fccType = u32(bytes, strh);
    headers.fccHandler = u32(bytes, strh + 4);
    headers.dwScale = u32(bytes, strh + 20);
    headers.dwRate = u32(bytes, strh + 24);
    headers.dwLength = u32(bytes, strh + 32);
    headers.dwSuggestedBufferSize = u32(bytes, strh + 36);
    headers.rcLeft = static_cast<std::int16_t>(u16(bytes, strh + 48));
    headers.rcTop = static_cast<std::int16_t>(u16(bytes, strh + 50));
    headers.rcRight = static_cast<std::int16_t>(u16(bytes, strh + 52));
    headers.rcBottom = static_cast<std::int16_t>(u16(bytes, strh + 54));
    headers.biWidth = static_cast<std::int32_t>(u32(bytes, strf + 4));
    headers.biHeight = static_cast<std::int32_t>(u32(bytes, strf + 8));
    headers.biBitCount = u16(bytes, strf + 14);
    headers.biCompression = u32(bytes, strf + 16);
    headers.biSizeImage = u32(bytes, strf + 20);
    return headers;
}

FileDialogAnswer savedAs(const std::string& path) {
    FileDialogAnswer answer;
    answer.file = path;
    answer.fileTitle = std::filesystem::path(path).filename().string();
    return answer;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) {
        return 0;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::uint32_t fourcc(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

std::vector<std::uint8_t> bitmapInfo(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    const auto bytes = bitmapInfoHeaderBytes({.biSize = kBitmapInfoHeaderSize,
                                              .biWidth = width,
                                              .biHeight = height,
                                              .biPlanes = 1,
                                              .biBitCount = static_cast<std::int16_t>(bitCount)});
    return {bytes.begin(), bytes.end()};
}

}  // namespace skorva::testing

namespace skorva::testing {

std::vector<char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool fileContains(const std::string& path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::string carry;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::string window = carry + std::string(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (window.find(text) != std::string::npos) {
            return true;
        }
        carry = window.size() >= text.size() ? window.substr(window.size() - text.size()) : window;
    }
    return false;
}

ChildEnd runInChild(const std::function<std::string(const std::function<void()>& ready)>& body,
                    const std::function<void(pid_t)>& whenReady) {
    int report[2];
    int readiness[2];
    if (pipe(report) != 0 || pipe(readiness) != 0) {
        throw std::runtime_error("no pipe for the child");
    }
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (child == 0) {
        close(report[0]);
        close(readiness[0]);
        std::string text;
        try {
            text = body([&readiness] {
                const char byte = 1;
                [[maybe_unused]] const ssize_t written = write(readiness[1], &byte, 1);
            });
        } catch (const std::exception& error) {
            text = std::string("exception: ") + error.what();
        }
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t written = write(report[1], text.data() + done, text.size() - done);
            if (written <= 0) {
                break;
            }
            done += static_cast<std::size_t>(written);
        }
        _exit(0);
    }
    close(report[1]);
    close(readiness[1]);
    char byte = 0;
    if (read(readiness[0], &byte, 1) == 1 && whenReady) {
        whenReady(child);
    }
    close(readiness[0]);
    ChildEnd end;
    char buffer[4096];
    for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) > 0;) {
        end.report.append(buffer, static_cast<std::size_t>(got));
    }
    close(report[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    end.peakKiB = usage.ru_maxrss;
    return end;
}

std::vector<std::uint8_t> expectedFrame(const std::string& jpeg) {
    return bgrRows(LoadPicture(jpeg));
}

std::vector<std::string> frameChecksums(const std::string& input) {
    std::istringstream lines(runCommand("ffmpeg -nostdin -v error -i '" + input + "' -f framemd5 -"));
    std::vector<std::string> checksums;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') {
            checksums.push_back(line.substr(line.rfind(',') + 1));
        }
    }
    return checksums;
}

}  // namespace skorva::testing
