#include "recentfiles.h"

#include "commandids.h"
#include "profile.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString Key(int i) {
    return QStringLiteral("File%1").arg(i + 1);
}

QStringList Read(QSettings& settings) {
    settings.beginGroup(kGroup);
    QStringList files;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString file = settings.value(Key(i)).toString();
        if (!file.isEmpty() && !files.contains(file))
            files.append(file);
    }
    settings.endGroup();
    return files;
}

} // namespace

QStringList LoadRecentFiles() {
    QSettings settings;
    settings.sync();
    return Read(settings);
}

QStringList AddRecentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files;
    // Merged with what another window wrote since; a profile that cannot be written keeps
    // its old list, and this window shows the new one all the same.
    QString error;
    const bool written = WriteProfile(
        [&](QSettings& settings) {
            files = Read(settings);
            files.removeAll(absolute);
            files.prepend(absolute);
            files = files.mid(0, kRecentFileCount);
            settings.beginGroup(kGroup);
            for (int i = 0; i < kRecentFileCount; ++i) {
                if (i < files.size())
                    settings.setValue(Key(i), files[i]);
                else
                    settings.remove(Key(i));
            }
            settings.endGroup();
        },
        &error);
    if (!written && files.isEmpty())
        files = {absolute};
    return files;
}
