#include "app/cli_output.h"

#include <cstdio>

#include <unistd.h>

namespace skorva {

namespace {

std::FILE* pendingProgress = nullptr;

}  // namespace

void progressLine(std::FILE* stream, const std::string& text) {
    if (::isatty(::fileno(stream)) != 0) {
        std::fprintf(stream, "\r%s", text.c_str());
        pendingProgress = stream;
    } else {
        std::fprintf(stream, "%s\n", text.c_str());
    }
    std::fflush(stream);
}

void endProgress() {
    if (pendingProgress != nullptr) {
        std::fputc('\n', pendingProgress);
        std::fflush(pendingProgress);
        pendingProgress = nullptr;
    }
}

void sayError(const std::string& text) {
    endProgress();
    std::fprintf(stderr, "skorva: %s\n", text.c_str());
}

void StandardErrorSink::show(const Message& message) {
    // A box's line breaks are CR LF; a terminal wants LF.
    std::string text;
    for (std::size_t i = 0; i < message.text.size(); ++i) {
        if (message.text[i] != '\r' || i + 1 >= message.text.size() || message.text[i + 1] != '\n') {
            text += message.text[i];
        }
    }
    sayError(text);
    said_ = true;
}

void StandardErrorSink::note(const Message& message) {
    const bool said = said_;
    show(message);
    said_ = said;
}

}  // namespace skorva
