#pragma once

// What every picture program does first: settings of its own, never the user's, and numbers
// written with '.'; and, for those that run the console, a fresh scratch folder as its home.

#include "common/numericlocale.h"

#include <QCoreApplication>
#include <QDir>

inline void StartPicture(const char* name) {
    QCoreApplication::setOrganizationName(QStringLiteral("HalyxScreenshots"));
    QCoreApplication::setApplicationName(QString::fromLatin1(name));
    halyx::KeepNumbersInCLocale();
}

// An empty folder QDir::temp()/name, made HALYX_HOME.
inline QString ScratchHome(const char* name) {
    const QString work = QDir::temp().filePath(QString::fromLatin1(name));
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    qputenv("HALYX_HOME", work.toLocal8Bit());
    return work;
}
