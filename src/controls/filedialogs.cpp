#include "controls/filedialogs.h"

#include "common/archive.h"
#include "controls/settings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTreeView>

#include <cstring>

namespace halyx {
namespace {

std::function<QString(const CFileRequest&)>& TestChooser() {
    static std::function<QString(const CFileRequest&)> chooser;
    return chooser;
}

} // namespace

QString QtFileFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the parentheses; add them when the description has none.
        if (description.contains(QLatin1Char('(')) || patterns.isEmpty()) {
            filters << description;
        } else {
            filters << QStringLiteral("%1 (%2)").arg(
                description, QString(patterns).replace(QLatin1Char(';'), QLatin1Char(' ')));
        }
    }
    return filters.join(QStringLiteral(";;"));
}

QString ChooseFile(QWidget* parent, const QString& dialogKey, CFileRequest request) {
    if (request.startFolder.isEmpty()) {
        request.startFolder = CSettings::LastFolder(dialogKey, QString());
    }
    if (TestChooser()) {
        return TestChooser()(request);
    }
    QString chosen;
    if (request.mode == CFileRequest::Mode::Folder) {
        chosen = QFileDialog::getExistingDirectory(parent, request.title, request.startFolder);
        if (!chosen.isEmpty()) {
            CSettings::SetLastFolder(dialogKey, chosen);
        }
        return chosen;
    }
    QFileDialog dialog(parent, request.title, request.startFolder, request.filter);
    dialog.setAcceptMode(request.mode == CFileRequest::Mode::Save ? QFileDialog::AcceptSave
                                                                  : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mode == CFileRequest::Mode::Save ? QFileDialog::AnyFile
                                                                : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // Qt's own dialog (where the desktop offers none) opens with columns that cut off the long
    // names of logs and scenarios and their dates: each column fits, the names get the rest.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        details->header()->setStretchLastSection(false);
        details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        dialog.resize(dialog.size().expandedTo(QSize(860, 500)));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    chosen = dialog.selectedFiles().constFirst();
    CSettings::SetLastFolder(dialogKey, QFileInfo(chosen).absolutePath());
    return chosen;
}

void SetFileChooserForTests(std::function<QString(const CFileRequest&)> chooser) {
    TestChooser() = std::move(chooser);
}

QString ChooseFormatFile(QWidget* parent, const QString& dialogKey, CFileRequest::Mode mode,
                         const char* filterPairs, const char* suffix) {
    CFileRequest request;
    request.mode = mode;
    request.filter = QtFileFilter(QString::fromLatin1(filterPairs));
    request.defaultSuffix = QString::fromLatin1(suffix);
    return ChooseFile(parent, dialogKey, request);
}

bool RunFileWork(QWidget* parent, const QString& caption, const QString& path,
                 const std::function<int()>& work) {
    QString problem;
    try {
        const int code = work();
        if (code != 0) {
            problem =
                QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
        }
    } catch (const ArchiveError& error) {
        problem = QString::fromStdString(error.what());
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(parent, caption, problem);
        return false;
    }
    return true;
}

QPushButton* FindButton(const QWidget* parent, const QString& text) {
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

} // namespace halyx
