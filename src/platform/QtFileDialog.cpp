// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtFileDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QStringList>

namespace k12 {

namespace {

// "PNG画像 (*.png)" -> "png"; empty for a filter without one plain extension.
QString FilterSuffix(const QString& qtFilter) {
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.(\\w+)[ )]"));
    return pattern.match(qtFilter).captured(1);
}

// start itself when it is a folder, else the nearest folder above it, else the home folder.
QString NearestFolder(const QString& start) {
    if (start.isEmpty()) {
        return QDir::homePath();
    }
    QString path = QDir::cleanPath(QFileInfo(start).absoluteFilePath());
    while (!QFileInfo(path).isDir()) {
        const QString up = QFileInfo(path).path();
        if (up == path) {
            return QDir::homePath();
        }
        path = up;
    }
    return path;
}

} // namespace

QString ToQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        QString qtPatterns = patterns;
        qtPatterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.endsWith(QLatin1Char(')')) &&
            description.contains(QLatin1Char('(') + qtPatterns + QLatin1Char(')'))) {
            out << description;
        } else {
            out << description + QStringLiteral(" (") + qtPatterns + QLatin1Char(')');
        }
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialog::runDialog(QWidget* parent, const QString& qtFilter, bool save,
                                               const QString& start) {
    QFileDialog dialog(parent);
    // The non-native dialog never appends a suffix when no default suffix is set; the
    // prompts are ours, so they are the same everywhere and go through the message box.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Opening takes only a file that exists; the dialog itself says when a typed name is not found.
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString());
    if (!qtFilter.isEmpty()) {
        const QStringList filters = qtFilter.split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        // The dialog simplifies the blanks of a filter; show the texts as given.
        if (auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            combo && combo->count() == filters.size()) {
            for (int i = 0; i < combo->count(); ++i) {
                combo->setItemText(i, filters[i]);
            }
        }
    }
    if (typeSuffix_ && save) {
        dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& f) { dialog.setDefaultSuffix(FilterSuffix(f)); });
    }
    if (!start.isEmpty()) {
        const QFileInfo info(start);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}

std::optional<QString> QtFileDialog::saveFileName(QWidget* parent, const QString& filter) {
    const QString qtFilter = ToQtFilter(filter);
    QString start;
    for (;;) {
        const std::optional<QString> path = runDialog(parent, qtFilter, true, start);
        if (!path) {
            return std::nullopt;
        }
        const QFileInfo info(*path);
        const QString text =
            info.exists()
                ? QCoreApplication::translate("FileDialog",
                                              "%1 は既に存在します。\n上書きしますか？")
                      .arg(*path)
                : QCoreApplication::translate("FileDialog", "%1 は存在しません。\n作成しますか？")
                      .arg(*path);
        if (messages_.show(text, QStringLiteral("Message"), MsgButtons::YesNo, MsgIcon::Question) ==
            MsgAnswer::Yes) {
            return path;
        }
        start = *path;
    }
}

std::optional<QString> QtFileDialog::saveFileNameOfType(QWidget* parent, const QString& filter) {
    const QScopedValueRollback<bool> typed(typeSuffix_, true);
    return saveFileName(parent, filter);
}

std::optional<QString> QtFileDialog::openFileName(QWidget* parent, const QString& filter) {
    return runDialog(parent, ToQtFilter(filter), false, QString());
}

std::optional<QString> QtFileDialog::existingFolderName(QWidget* parent, const QString& start) {
    QFileDialog dialog(parent);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(NearestFolder(start));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList folders = dialog.selectedFiles();
    if (folders.isEmpty() || folders.first().isEmpty()) {
        return std::nullopt;
    }
    return folders.first();
}

} // namespace k12
