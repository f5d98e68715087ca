#include "platform/qt/qt_file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

namespace skorva {
namespace {

constexpr int kPreviewSize = 200;

QString fromText(const std::string& text) {
    return QString::fromStdString(text.substr(0, text.find('\0')));
}

std::string toText(const QString& text) {
    return text.toStdString();
}

QWidget* ownerWidget(WindowHandle owner) {
    return owner != 0 ? QWidget::find(static_cast<WId>(owner)) : nullptr;
}

// Opens in the initial folder, or in the folder of a full file name given there (a dialog run before
// leaves the chosen file's name as the next initial folder).
void setInitialFolder(QFileDialog& dialog, const std::string& initialDir) {
    const QString initial = fromText(initialDir);
    if (initial.isEmpty()) {
        return;
    }
    const QFileInfo info(initial);
    if (info.isDir()) {
        dialog.setDirectory(initial);
    } else if (QFileInfo(info.absolutePath()).isDir()) {
        dialog.setDirectory(info.absolutePath());
    }
}

void showPreview(QLabel& preview, const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!size.isValid()) {
        preview.clear();
        return;
    }
    if (size.width() > kPreviewSize || size.height() > kPreviewSize) {
        size.scale(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        preview.clear();
        return;
    }
    preview.setPixmap(QPixmap::fromImage(image));
}

// A picture preview beside the file list, fed from the file under the cursor.
void addPreview(QFileDialog& dialog) {
    auto* preview = new QLabel(&dialog);  // owned by the dialog
    preview->setObjectName(QStringLiteral("skorvaPreview"));
    preview->setFixedSize(kPreviewSize, kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(preview, 1, grid->columnCount(), 1, 1);
    }
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { showPreview(*preview, path); });
}

// The platform's answer for several chosen files: the folder, then each name, each ended by NUL, and
// one more NUL.
std::string multipleSelection(const QStringList& files) {
    std::string text = toText(QFileInfo(files.first()).absolutePath());
    text += '\0';
    for (const QString& file : files) {
        text += toText(QFileInfo(file).fileName());
        text += '\0';
    }
    text += '\0';
    return text;
}

}  // namespace

// "mp4" of a name filter "MP4 Files (*.mp4)"; empty for a filter of several patterns or a wildcard.
QString singleExtensionOf(const QString& filter) {
    const auto open = filter.lastIndexOf(QStringLiteral("(*."));
    const auto close = filter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close <= open + 3) {
        return {};
    }
    const QString suffix = filter.mid(open + 3, close - open - 3);
    const bool plain =
        std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.isLetterOrNumber(); });
    return plain ? suffix : QString();
}

QStringList qtNameFilters(const std::string& filter) {
    QStringList result;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        const auto descEnd = std::min(filter.find('\0', pos), filter.size());
        const std::string description = filter.substr(pos, descEnd - pos);
        if (description.empty()) {
            break;
        }
        pos = std::min(descEnd + 1, filter.size());
        const auto patternEnd = std::min(filter.find('\0', pos), filter.size());
        QString patterns = QString::fromStdString(filter.substr(pos, patternEnd - pos));
        pos = std::min(patternEnd + 1, filter.size());
        // The record separates patterns by ';', Qt by spaces.
        QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : list) {
            pattern = pattern.trimmed();
        }
        list.removeAll(QString());
        if (list.isEmpty()) {
            list.append(QStringLiteral("*"));
        }
        result.append(QString::fromStdString(description) + QStringLiteral(" (") +
                      list.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return result;
}

bool QtFileDialogs::run(FileDialogKind kind, OpenFileName& record) {
    QFileDialog dialog(ownerWidget(record.owner), QString::fromStdString(record.title));
    // Qt's own dialog everywhere, so that it looks and behaves the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, (record.flags & ofn::kOverwritePrompt) == 0);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if ((record.flags & ofn::kAllowMultiSelect) != 0) {
            dialog.setFileMode(QFileDialog::ExistingFiles);
        } else if ((record.flags & ofn::kFileMustExist) != 0) {
            dialog.setFileMode(QFileDialog::ExistingFile);
        } else {
            dialog.setFileMode(QFileDialog::AnyFile);
        }
        if (kind == FileDialogKind::OpenPreview) {
            addPreview(dialog);
        }
    }

    const QStringList filters = qtNameFilters(record.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        // Index 0 or one beyond the list preselects the first pair.
        const int index =
            record.filterIndex >= 1 && record.filterIndex <= filters.size() ? record.filterIndex : 1;
        dialog.selectNameFilter(filters.at(index - 1));
    }
    dialog.setDefaultSuffix(QString::fromStdString(record.defExt));
    if (kind == FileDialogKind::Save) {
        // As the system's save dialog does: a name typed without an extension gets that of the file type
        // chosen, where the type names one extension.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            const QString suffix = singleExtensionOf(filter);
            if (!suffix.isEmpty()) {
                dialog.setDefaultSuffix(suffix);
            }
        });
        if (!filters.isEmpty()) {
            const QString suffix = singleExtensionOf(dialog.selectedNameFilter());
            if (!suffix.isEmpty()) {
                dialog.setDefaultSuffix(suffix);
            }
        }
    }
    setInitialFolder(dialog, record.initialDir);
    const QString proposed = fromText(record.file);
    if (QFileInfo(proposed).isDir()) {
        dialog.setDirectory(proposed);
    } else if (!proposed.isEmpty()) {
        dialog.selectFile(proposed);
    }

    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return false;
    }
    if (files.size() == 1) {
        record.file = toText(files.first());
        record.fileTitle = toText(QFileInfo(files.first()).fileName());
    } else {
        record.file = multipleSelection(files);
        record.fileTitle.clear();
    }
    const auto selected = filters.indexOf(dialog.selectedNameFilter());
    if (selected >= 0) {
        record.filterIndex = static_cast<std::int32_t>(selected + 1);
    }
    return true;
}

}  // namespace skorva
