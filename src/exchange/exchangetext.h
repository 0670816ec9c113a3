// The exchange's words: one translation context for every message of its files, and the way
// they name paths.
#pragma once

#include <QCoreApplication>
#include <QString>

struct ExchangeText {
    Q_DECLARE_TR_FUNCTIONS(Exchange)
};

/// A path as the user's system writes it.
QString Native(const QString& path);

/// A message made one line, for the command line's one line on standard error.
QString OneLine(QString text);
