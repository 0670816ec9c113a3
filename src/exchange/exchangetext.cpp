#include "exchangetext.h"

#include <QDir>

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}
