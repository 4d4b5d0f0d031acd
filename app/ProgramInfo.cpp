#include "ProgramInfo.h"

#include <QCoreApplication>
#include <QFileInfo>

QString GetProgramVersion() {
    const QString version = QStringLiteral(ORVEX_PRODUCT_VERSION);
    if (version.isEmpty() || version.size() >= 20) return QStringLiteral("1.xx");
    return version;
}

QString GetProgramDate() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.lastModified().toString("yyyy-MM-dd");
}

QString GetProgramDirectory() {
    return QCoreApplication::applicationDirPath();
}

QStringList GetDataDirectories() {
    return {GetProgramDirectory(), QStringLiteral(ORVEX_SHARE_DIR)};
}
