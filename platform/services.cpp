#include "platform/services.h"

#include "core/log.h"

namespace skorva {
namespace {

// Null backends: a desktop without windows, messages on standard error, dialogs that are cancelled.
class NullDesktop final : public Desktop {
  public:
    void enumWindows(const std::function<bool(WindowHandle)>&) override {}
    std::string windowTitle(WindowHandle) override { return {}; }
    bool isIconic(WindowHandle) override { return false; }
    bool restoreWindow(WindowHandle) override { return false; }
    bool keepOnTop(WindowHandle) override { return false; }
    bool windowRect(WindowHandle, Rect&) override { return false; }
    Picture grabScreen(std::int32_t, std::int32_t, std::int32_t width, std::int32_t height) override {
        return Picture::black(width, height);
    }
};

class StderrMessages final : public MessageBoxes {
  public:
    // No window to show it in: it goes to the log.
    void show(const std::string& text, MessageIcon) override { logLine("message", text); }
};

class CancelledFileDialogs final : public FileDialogs {
  public:
    bool run(FileDialogKind, OpenFileName&) override { return false; }
};

class CancelledFolderBrowser final : public FolderBrowser {
  public:
    bool browse(WindowHandle, const std::string&, const std::string&, std::string&) override { return false; }
};

class CancelledCodecChooser final : public CodecChooser {
  public:
    bool choose(WindowHandle, std::uint32_t, const std::vector<OfferedCodec>&, CompressOptions&) override {
        return false;
    }
};

class RefusingClipboard final : public Clipboard {
  public:
    bool setBitmap(const Picture&) override { return false; }
};

Services& current() {
    static NullDesktop desktop;
    static StderrMessages messages;
    static CancelledFileDialogs fileDialogs;
    static CancelledFolderBrowser folderBrowser;
    static CancelledCodecChooser codecChooser;
    static RefusingClipboard clipboard;
    static Services installed{&desktop, &messages, &fileDialogs, &folderBrowser, &codecChooser, &clipboard};
    return installed;
}

// The calling thread's own services, where a ScopedThreadServices installed them.
thread_local const Services* threadServices = nullptr;

template <typename T>
void replaceIfSet(T*& slot, T* replacement) {
    if (replacement != nullptr) {
        slot = replacement;
    }
}

void replaceSetMembers(Services& now, const Services& replacement) {
    replaceIfSet(now.desktop, replacement.desktop);
    replaceIfSet(now.messages, replacement.messages);
    replaceIfSet(now.fileDialogs, replacement.fileDialogs);
    replaceIfSet(now.folderBrowser, replacement.folderBrowser);
    replaceIfSet(now.codecChooser, replacement.codecChooser);
    replaceIfSet(now.clipboard, replacement.clipboard);
}

}  // namespace

const Services& services() {
    return threadServices != nullptr ? *threadServices : current();
}

ScopedServices::ScopedServices(const Services& replacement) : previous_(current()) {
    replaceSetMembers(current(), replacement);
}

ScopedServices::~ScopedServices() {
    current() = previous_;
}

ScopedThreadServices::ScopedThreadServices(const Services& replacement)
    : replacement_(services()), previous_(threadServices) {
    replaceSetMembers(replacement_, replacement);
    threadServices = &replacement_;
}

ScopedThreadServices::~ScopedThreadServices() {
    threadServices = previous_;
}

void MsgBox(std::string_view text, MessageIcon icon) {
    services().messages->show(std::string(text), icon);
}

}  // namespace skorva
