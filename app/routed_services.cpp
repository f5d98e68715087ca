#include "app/routed_services.h"

#include "core/log.h"

namespace skorva {
namespace {

// A box nobody can be shown any more: its text is kept in the log.
void logged(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.compare(at, 2, "\r\n") == 0) {
            line += ' ';
            ++at;
        } else {
            line += text[at];
        }
    }
    logLine("write", line);
}

}  // namespace

RoutedServices::RoutedServices(WindowCalls& calls, const Services& window)
    : boxes_(calls, *window.messages),
      dialogs_(calls, *window.fileDialogs),
      chooser_(calls, *window.codecChooser) {}

Services RoutedServices::forWorker() {
    return Services{.messages = &boxes_, .fileDialogs = &dialogs_, .codecChooser = &chooser_};
}

void RoutedServices::Boxes::show(const std::string& text, MessageIcon icon) {
    if (!calls_.run([&] { window_.show(text, icon); })) {
        logged(text);
    }
}

bool RoutedServices::Dialogs::run(FileDialogKind kind, OpenFileName& record) {
    bool accepted = false;
    return calls_.run([&] { accepted = window_.run(kind, record); }) && accepted;
}

bool RoutedServices::Chooser::choose(WindowHandle owner, std::uint32_t icmfFlags,
                                     const std::vector<OfferedCodec>& offered, CompressOptions& options) {
    return choose(owner, icmfFlags, offered, {}, options);
}

bool RoutedServices::Chooser::choose(WindowHandle owner, std::uint32_t icmfFlags,
                                     const std::vector<OfferedCodec>& offered, const std::string& notOffered,
                                     CompressOptions& options) {
    bool accepted = false;
    return calls_.run([&] { accepted = window_.choose(owner, icmfFlags, offered, notOffered, options); }) &&
           accepted;
}

void RoutedMessages::show(const Message& message) {
    if (!calls_.run([&] { window_.show(message); })) {
        logged(message.text);
    }
}

void RoutedMessages::note(const Message& message) {
    if (!calls_.run([&] { window_.note(message); })) {
        logged(message.text);
    }
}

}  // namespace skorva
