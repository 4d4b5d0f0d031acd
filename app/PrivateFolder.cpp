#include "PrivateFolder.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

bool MakePrivateFolder(const QString& path) {
    QStringList missing;
    for (QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
         !QFileInfo::exists(folder); folder = QFileInfo(folder).path())
        missing.prepend(folder);
    // mkdir's mode, not a chmod afterwards: the folder is never open to others.
    for (const QString& folder : missing)
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return QFileInfo(path).isDir();
}

bool IsSystemFolder(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return clean == QStringLiteral("/usr") || clean.startsWith(QStringLiteral("/usr/"));
}
