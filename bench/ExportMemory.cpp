#include "ExportMemory.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QFile>
#include <QSqlDatabase>
#include <chrono>
#include <cstdio>
#include <string>

#include "RegisterFill.h"
#include "Statistics.h"

extern char** environ;

namespace bench {

namespace {

using station::RegisterSettings;

// lfprog's --register for the settings.
QString RegisterArgument(const RegisterSettings& settings) {
    if (settings.kind == RegisterSettings::Kind::SQLite) return settings.file;
    return QStringLiteral("postgresql://%1@%2:%3/%4")
        .arg(settings.user, settings.host)
        .arg(settings.port)
        .arg(settings.database);
}

bool Fill(const RegisterSettings& settings, std::int64_t rows) {
    {
        // The register makes its tables; the fill adds the rows beside it.
        station::CCardRegister cardRegister(settings, QStringLiteral("bench"));
        if (!cardRegister.Open()) {
            std::fprintf(stderr, "%s\n", qPrintable(cardRegister.LastError()));
            return false;
        }
    }
    const QString name = QStringLiteral("bench-export-fill");
    bool ok = false;
    QString error;
    {
        QSqlDatabase db = registerfill::PlainConnection(settings, name);
        ok = db.isOpen() && registerfill::FillRegister(db, rows, 0, error);
        if (!db.isOpen()) error = QStringLiteral("no connection");
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok) std::fprintf(stderr, "fill: %s\n", qPrintable(error));
    return ok;
}

// Runs lfprog's export of the register into file; its peak resident set in KiB.
bool Export(const RegisterSettings& settings, const QString& file, long& peakKiB, double& ms) {
    const std::string program = LFPROG_PATH;
    const std::string target = QFile::encodeName(file).toStdString();
    const std::string where = QFile::encodeName(RegisterArgument(settings)).toStdString();
    std::vector<std::string> words = {program, "--register", where, "register", "export", target};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("lfprog");
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    ms = Ms(std::chrono::steady_clock::now() - start);
    peakKiB = usage.ru_maxrss;
    QFile::remove(file);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "lfprog register export failed (status %d)\n", status);
        return false;
    }
    return true;
}

}  // namespace

bool RunExportMemory(const std::vector<ScaleTarget>& targets,
                     const std::vector<std::int64_t>& sizes, const QString& folder) {
    for (const ScaleTarget& target : targets) {
        std::vector<long> peaks;
        for (const std::int64_t rows : sizes) {
            RegisterSettings settings;
            if (!target.fresh(rows, settings) || !Fill(settings, rows)) return false;
            long peakKiB = 0;
            double ms = 0;
            if (!Export(settings, folder + QStringLiteral("/export.csv"), peakKiB, ms))
                return false;
            std::printf("%-10s %8lld rows: export peak resident memory %.1f MB (%.0f ms)\n",
                        target.name, static_cast<long long>(rows), peakKiB / 1024.0, ms);
            std::fflush(stdout);
            peaks.push_back(peakKiB);
        }
        if (peaks.size() < 2) continue;
        std::printf("%-10s export memory %lld rows - %lld rows: %+.1f MB\n", target.name,
                    static_cast<long long>(sizes.back()), static_cast<long long>(sizes.front()),
                    (peaks.back() - peaks.front()) / 1024.0);
    }
    return true;
}

}  // namespace bench
