#include "RegisterChoice.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

#include "station/register/RegisterTls.h"

using station::RegisterSettings;

namespace {

// The station's own settings file, read as the station reads it.
RegisterSettings StationSettings() {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("Qor Applikationen"), QStringLiteral("Orvex-FSK"));
    return station::RegisterSettingsFrom([&settings](const QString& key, const QString& fallback) {
        return settings.value(QStringLiteral("Register/") + key, fallback).toString();
    });
}

// The URL's ?sslmode=...&sslrootcert=... into settings; false with the reason for another
// key, a word that is no sslmode or a value given twice.
bool ParseTlsQuery(const QUrl& url, RegisterSettings& settings, std::string& error) {
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto& [key, value] : items) {
        const bool twice = std::count_if(items.begin(), items.end(),
                                         [&](const auto& item) { return item.first == key; }) > 1;
        if (twice) {
            error = "--register gives " + key.toStdString() + " twice";
            return false;
        }
        if (key == QLatin1String("sslmode")) {
            settings.sslMode = station::SslModeFrom(value);
            if (settings.sslMode.isEmpty()) {
                error = "--register's sslmode=" + value.toStdString() + " is not one of " +
                        station::SslModes().join(QStringLiteral(", ")).toStdString();
                return false;
            }
        } else if (key == QLatin1String("sslrootcert")) {
            if (value.isEmpty()) {
                error = "--register's sslrootcert= names no file";
                return false;
            }
            settings.sslRootCert = QFileInfo(value).absoluteFilePath();
            if (const QString problem = station::SslRootCertProblem(settings.sslRootCert);
                !problem.isEmpty()) {
                error = "--register: " + problem.toStdString();
                return false;
            }
        } else {
            // Only the key: a password put here must not be echoed to a log.
            error = "--register takes sslmode= and sslrootcert=FILE after '?', not '" +
                    key.toStdString() + "'";
            return false;
        }
    }
    return true;
}

// postgresql://[user@]host[:port]/name[?sslmode=...&sslrootcert=FILE]; false with the reason
// for anything else.
bool ParsePostgresUrl(const std::string& text, RegisterSettings& settings, std::string& error) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const QString database = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || !url.path().startsWith(u'/') ||
        database.isEmpty() || database.contains(u'/') || url.hasFragment()) {
        error = "--register '" + text +
                "' is not postgresql://[user@]host[:port]/name[?sslmode=...&sslrootcert=FILE]";
        return false;
    }
    if (!ParseTlsQuery(url, settings, error)) return false;
    // A password on the command line shows in every process list; libpq reads it from
    // PGPASSWORD or ~/.pgpass instead.
    if (!url.password().isEmpty()) {
        error = "--register takes no password: put it in ~/.pgpass (or PGPASSWORD)";
        return false;
    }
    settings.kind = RegisterSettings::Kind::PostgreSQL;
    settings.host = url.host();
    settings.port = url.port(5432);
    settings.database = database;
    settings.user = url.userName();
    return true;
}

}  // namespace

int ChooseRegister(const CCommandLine& line, const COutput& out, RegisterSettings& settings) {
    const auto choice = line.Value("register");
    if (!choice) {
        settings = StationSettings();
    } else {
        // An explicit register stands alone: only --next-free asks for the next free number.
        settings = RegisterSettings();
        if (*choice == "off") {
            settings.enabled = false;
        } else if (choice->rfind("postgresql://", 0) == 0 || choice->rfind("postgres://", 0) == 0) {
            std::string error;
            if (!ParsePostgresUrl(*choice, settings, error)) return out.Fail(kExitUsage, error);
        } else if (choice->empty()) {
            return out.Fail(kExitUsage, "--register takes off, a file or postgresql://...");
        } else {
            settings.kind = RegisterSettings::Kind::SQLite;
            settings.file = QFileInfo(QString::fromStdString(*choice)).absoluteFilePath();
        }
    }
    if (line.Has("next-free")) {
        if (!settings.enabled)
            return out.Fail(kExitUsage,
                            "--next-free takes its numbers from the card register, "
                            "which is switched off");
        settings.nextFree = true;
    }
    return kExitSuccess;
}

int OpenRegister(const RegisterSettings& settings, const COutput& out,
                 std::unique_ptr<station::CCardRegister>& cardRegister) {
    cardRegister.reset();
    if (!settings.enabled) return kExitSuccess;
    auto opened = std::make_unique<station::CCardRegister>(
        settings, QStringLiteral("lfprog " LFPROG_VERSION));
    if (!opened->Open())
        return out.Fail(kExitRegister,
                        "the card register (" + DescribeRegister(settings) +
                            ") cannot be opened: " + opened->LastError().toStdString());
    if (const QString warning = opened->LastWarning(); !warning.isEmpty())
        out.Note(warning.toStdString());
    cardRegister = std::move(opened);
    return kExitSuccess;
}

std::string DescribeRegister(const RegisterSettings& settings) {
    if (!settings.enabled) return "switched off";
    if (settings.kind == RegisterSettings::Kind::SQLite) {
        return "SQLite file " + station::RegisterFile(settings).toStdString();
    }
    std::string text = "PostgreSQL ";
    if (!settings.user.isEmpty()) text += settings.user.toStdString() + "@";
    return text + settings.host.toStdString() + ":" + std::to_string(settings.port) + "/" +
           settings.database.toStdString();
}
