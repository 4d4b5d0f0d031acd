// The update server's version file: the INI text the station downloads, read as the update
// check reads it, and each offer's version and build judged against this program's.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "update/PrivateProfile.h"
#include "update/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CPrivateProfile profile;
    profile.ParseText(text);
    const QString section = QStringLiteral("Orvex-FSKProgrammer");
    const QString version = profile.GetValue(section, QStringLiteral("Version"));
    const QString build = profile.GetValue(section, QStringLiteral("Build"));
    const QString installer = profile.GetValue(section, QStringLiteral("Installer"));
    (void)profile.GetValue(section, QStringLiteral("SHA256"));
    (void)profile.GetValue(section, QStringLiteral("Size"));
    (void)profile.GetValue(section, QStringLiteral("Signature"));
    (void)CUpdateCheck::InstallerFileName(installer);
    // An offer always names a usable version and a build date, and never one older than
    // the program.
    for (const QString& local : {QStringLiteral("1.0"), QStringLiteral("-.--")}) {
        if (!CUpdateCheck::IsNewer(local, QStringLiteral("2026-01-10"), version, build)) continue;
        if (!CUpdateCheck::IsVersionText(version) || build.size() != 10) std::abort();
        if (CUpdateCheck::VersionNumber(version) < CUpdateCheck::VersionNumber(local)) std::abort();
        if (CUpdateCheck::VersionNumber(version) > 999999) std::abort();
    }
    return 0;
}
