#include "platform/qt/qt_folder_browser.h"

#include <QFileDialog>
#include <QWidget>

namespace skorva {

bool QtFolderBrowser::browse(WindowHandle owner, const std::string& title, const std::string& root,
                             std::string& chosen) {
    QWidget* parent = owner != 0 ? QWidget::find(static_cast<WId>(owner)) : nullptr;
    QFileDialog dialog(parent, QString::fromStdString(title), QString::fromStdString(root));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Directory mode refuses a typed name that is not an existing folder.
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList folders = dialog.selectedFiles();
    if (folders.isEmpty()) {
        return false;
    }
    QString path = folders.first();
    // The root keeps its slash, other folders come without one.
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    chosen = path.toStdString();
    return true;
}

}  // namespace skorva
