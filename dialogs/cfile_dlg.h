#pragma once
// cFileDlg: the platform's open, open-with-preview and save dialogs behind a set of properties. A caller
// sets the properties it cares about, calls one dialog method with a proposed file name, and reads back
// the chosen name and, from the properties, the flags, filter and folder the dialog returned.
//
// Properties are read by `Name()` and written by `setName(value)`; InitDirectorySpecial can only be
// written and ReadOnly only read. The object holds no platform resources between calls.

#include <cstdint>
#include <string>

#include "core/types.h"
#include "platform/file_dialogs.h"

namespace skorva {

class cFileDlg {
  public:
    // OwnerHwnd's value for "no owner".
    static constexpr WindowHandle kNoOwner = static_cast<WindowHandle>(-1);
    // The sizes of the dialog's name and title buffers; longer names cannot be passed in.
    static constexpr std::size_t kMaxFile = 1024;
    static constexpr std::size_t kMaxFileTitle = 512;
    // The filter's length is counted in 16 bits.
    static constexpr std::size_t kMaxFilter = 32766;

    cFileDlg();

    WindowHandle OwnerHwnd() const { return ownerHwnd_; }
    void setOwnerHwnd(WindowHandle vHwnd) { ownerHwnd_ = vHwnd; }
    bool FileMustExist() const { return fileMustExist_; }
    void setFileMustExist(bool vNewValue) { fileMustExist_ = vNewValue; }
    bool MultiSelect() const { return multiSelect_; }
    void setMultiSelect(bool vNewValue) { multiSelect_ = vNewValue; }
    bool ReadOnly() const { return readOnly_; }
    bool HideReadOnly() const { return hideReadOnly_; }
    void setHideReadOnly(bool vNewValue) { hideReadOnly_ = vNewValue; }
    const std::string& Filter() const { return filter_; }
    void setFilter(const std::string& vFilterString) { filter_ = vFilterString; }
    std::int32_t FilterIndex() const { return filterIndex_; }
    void setFilterIndex(std::int32_t vIndex) { filterIndex_ = vIndex; }
    const std::string& InitDirectory() const { return initDirectory_; }
    void setInitDirectory(const std::string& DirPath) { initDirectory_ = DirPath; }
    void setInitDirectorySpecial(std::int32_t SpecialDirectory);
    const std::string& DlgTitle() const { return dlgTitle_; }
    void setDlgTitle(const std::string& title) { dlgTitle_ = title; }
    const std::string& DefaultExt() const { return defaultExt_; }
    void setDefaultExt(const std::string& fileExt) { defaultExt_ = fileExt; }
    std::uint32_t Flags() const { return flags_; }
    void setFlags(std::uint32_t vFlags) { flags_ = vFlags; }
    bool OverwritePrompt() const { return overwritePrompt_; }
    void setOverwritePrompt(bool vShowPrompt) { overwritePrompt_ = vShowPrompt; }

    // Each runs its modal dialog and returns true when the user accepted: `filename` then holds the
    // chosen full path and `FileTitle` its name without the folder. After a cancel both hold the
    // one-character text "\0". Throws std::invalid_argument for a filename over 1024 or a FileTitle over
    // 512 characters, and std::overflow_error for a Filter of 32,767 characters or more, before the
    // dialog opens.
    bool VBGetOpenFileName(std::string& filename, std::string& FileTitle);
    bool VBGetOpenFileNamePreview(std::string& filename, std::string& FileTitle);
    bool VBGetSaveFileName(std::string& filename, std::string& FileTitle);

    // True when the length of the file `sSpec` can be read; never throws.
    static bool ExistFile(const std::string& sSpec);
    // The name of `sFile` without its folder; empty when `sFile` names no file.
    static std::string VBGetFileTitle(const std::string& sFile);

    // The index-th (1-based) description/pattern pair of a NUL-separated filter, joined by its NUL;
    // empty when there is no such pair.
    static std::string GetFilterPair(const std::string& sFilter, std::int32_t index);

  private:
    bool runDialog(FileDialogKind kind, std::string& filename, std::string& FileTitle);
    std::string GetSpecialFolderPath(std::int32_t id) const;

    WindowHandle ownerHwnd_ = kNoOwner;
    bool fileMustExist_ = true;
    bool multiSelect_ = false;
    bool readOnly_ = false;
    bool hideReadOnly_ = true;
    std::string filter_;
    std::int32_t filterIndex_ = 0;
    std::string initDirectory_;
    std::string dlgTitle_;
    std::string defaultExt_;
    std::uint32_t flags_ = 0;
    bool overwritePrompt_ = true;
};

}  // namespace skorva
