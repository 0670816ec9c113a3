#include "profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

constexpr char kOldOrganization[] = "Local AppWizard-Generated Applications";

} // namespace

void UseProfileFolder(const QString& configFolder) {
    const QString name = QStringLiteral("/KesV.conf");
    const QString folder = configFolder + QStringLiteral("/KesV");
    const QString oldFolder = configFolder + QLatin1Char('/') + QLatin1String(kOldOrganization);
    if (!QFile::exists(folder + name) && QFile::exists(oldFolder + name) && QDir().mkpath(folder) &&
        QFile::rename(oldFolder + name, folder + name))
        QDir().rmdir(oldFolder); // only when empty
    QCoreApplication::setOrganizationName(QStringLiteral("KesV"));
    QCoreApplication::setApplicationName(QStringLiteral("KesV"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder);
}
