#include "dialogs/cfile_dlg.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "dialogs/special_folders.h"
#include "platform/message_box.h"
#include "platform/path_names.h"
#include "platform/services.h"

namespace skorva {
namespace {

std::string upToFirstNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::string padded(const std::string& text, std::size_t size, const char* what) {
    if (text.size() > size) {
        throw std::invalid_argument(std::string(what) + " is longer than the dialog's buffer");
    }
    return text + std::string(size - text.size(), '\0');
}

// Fields of the filter are separated by '|' or ':'; the dialog takes them separated by NUL and
// ended by two NULs.
std::string ConvertFilter(const std::string& sFilter) {
    if (sFilter.size() > cFileDlg::kMaxFilter) {
        throw std::overflow_error("the filter is too long");
    }
    std::string converted;
    converted.reserve(sFilter.size() + 2);
    for (const char c : sFilter) {
        converted += (c == '|' || c == ':') ? '\0' : c;
    }
    converted.append(2, '\0');
    return converted;
}

}  // namespace

cFileDlg::cFileDlg() : dlgTitle_(kAppTitle) {
    initDirectory_ = GetSpecialFolderPath(csidl::kPersonal);
}

void cFileDlg::setInitDirectorySpecial(std::int32_t SpecialDirectory) {
    initDirectory_ = GetSpecialFolderPath(SpecialDirectory);
}

std::string cFileDlg::GetSpecialFolderPath(std::int32_t id) const {
    return specialFolderPath(id);
}

std::string cFileDlg::GetFilterPair(const std::string& sFilter, std::int32_t index) {
    if (sFilter.empty() || sFilter == std::string(1, '\0') || index < 1) {
        return {};
    }
    std::size_t start = 0;
    for (;;) {
        const auto first = sFilter.find('\0', start);
        if (first == std::string::npos) {
            return {};
        }
        const auto second = sFilter.find('\0', first + 1);
        if (index == 1) {
            return sFilter.substr(start, second == std::string::npos ? std::string::npos : second - start);
        }
        if (second == std::string::npos) {
            return {};
        }
        start = second + 1;
        --index;
    }
}

bool cFileDlg::runDialog(FileDialogKind kind, std::string& filename, std::string& FileTitle) {
    const bool open = kind != FileDialogKind::Save;
    // Hooks and templates need code inside the dialog, which a caller cannot give here.
    std::uint32_t flags = flags_ & ~(ofn::kEnableHook | ofn::kEnableTemplate);
    if (open) {
        flags |= fileMustExist_ ? ofn::kFileMustExist : 0U;
        flags |= multiSelect_ ? ofn::kAllowMultiSelect : 0U;
        flags |= hideReadOnly_ ? ofn::kHideReadOnly : 0U;
        flags |= readOnly_ ? ofn::kReadOnly : 0U;
    } else {
        flags |= overwritePrompt_ ? ofn::kOverwritePrompt : 0U;
        flags |= ofn::kHideReadOnly;
    }

    OpenFileName record;
    record.owner = ownerHwnd_ == kNoOwner ? 0 : ownerHwnd_;
    const std::string filter = ConvertFilter(filter_);
    record.filter = filter;
    record.filterIndex = filterIndex_;
    record.file = padded(filename, kMaxFile, "the file name");
    record.fileTitle = padded(FileTitle, kMaxFileTitle, "the file title");
    record.initialDir = initDirectory_;
    record.title = dlgTitle_;
    record.flags = flags;
    record.defExt = defaultExt_;

    if (!services().fileDialogs->run(kind, record)) {
        const std::string nul(1, '\0');
        filename = nul;
        FileTitle = nul;
        flags_ = 0;
        filter_ = nul;
        filterIndex_ = open ? -1 : 0;
        return false;
    }

    filename = upToFirstNul(record.file);
    FileTitle = upToFirstNul(record.fileTitle);
    flags_ = record.flags;
    filterIndex_ = record.filterIndex;
    filter_ = GetFilterPair(filter, filterIndex_);
    if (open && (record.flags & ofn::kReadOnly) != 0) {
        readOnly_ = true;
    }
    // The next dialog of this object opens where this one ended.
    initDirectory_ = filename;
    return true;
}

bool cFileDlg::VBGetOpenFileName(std::string& filename, std::string& FileTitle) {
    return runDialog(FileDialogKind::Open, filename, FileTitle);
}

bool cFileDlg::VBGetOpenFileNamePreview(std::string& filename, std::string& FileTitle) {
    return runDialog(FileDialogKind::OpenPreview, filename, FileTitle);
}

bool cFileDlg::VBGetSaveFileName(std::string& filename, std::string& FileTitle) {
    return runDialog(FileDialogKind::Save, filename, FileTitle);
}

bool cFileDlg::ExistFile(const std::string& sSpec) {
    if (sSpec.empty() || sSpec.find('\0') != std::string::npos) {
        return false;
    }
    std::error_code error;
    const auto length = std::filesystem::file_size(sSpec, error);
    return !error && length != static_cast<std::uintmax_t>(-1);
}

std::string cFileDlg::VBGetFileTitle(const std::string& sFile) {
    if (sFile.empty() || fileNameStart(sFile) == sFile.size() || sFile.find('\0') != std::string::npos) {
        return {};
    }
    std::string title = sFile.substr(fileNameStart(sFile));
    if (title == "." || title == ".." || title.size() >= kMaxFile) {
        return {};
    }
    return title;
}

}  // namespace skorva
