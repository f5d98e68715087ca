#pragma once
// The platform services in force. main() installs the real backends; tests install fakes with
// ScopedServices. Every slot always holds a usable object: a null backend until one is installed.

#include "platform/clipboard.h"
#include "platform/codec_chooser.h"
#include "platform/desktop.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"

namespace skorva {

struct Services {
    Desktop* desktop = nullptr;
    MessageBoxes* messages = nullptr;
    FileDialogs* fileDialogs = nullptr;
    FolderBrowser* folderBrowser = nullptr;
    CodecChooser* codecChooser = nullptr;
    Clipboard* clipboard = nullptr;
};

// The services in force for the calling thread; never null members.
const Services& services();

// Installs the non-null members of `replacement` and puts back what was there before on destruction.
class ScopedServices {
  public:
    explicit ScopedServices(const Services& replacement);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

  private:
    Services previous_;
};

// Installs the non-null members of `replacement` for the calling thread alone, over what is in force for
// every thread: a worker whose dialogs and boxes must run on the window's thread routes them there. Made
// and destroyed on the same thread.
class ScopedThreadServices {
  public:
    explicit ScopedThreadServices(const Services& replacement);
    ~ScopedThreadServices();
    ScopedThreadServices(const ScopedThreadServices&) = delete;
    ScopedThreadServices& operator=(const ScopedThreadServices&) = delete;

  private:
    Services replacement_;
    const Services* previous_;
};

}  // namespace skorva
