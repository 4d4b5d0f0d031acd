// The register's exports on a thread of their own with a register connection of its own
// (Qt SQL's connections belong to the thread that made them), so that a register of a million
// cards never holds the window up: the rows a page at a time into a file beside the target that
// replaces it only once it is complete, the progress told to the window, a cancel within a page.
#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

#include "station/register/CardRegister.h"

class CRegisterExportJob : public QObject {
    Q_OBJECT
  public:
    // The register's cards (with the filter), or for the access-control system its valid
    // cards with their holders or its block list of revoked cards.
    enum class Kind { Cards, ValidCards, BlockList };

    struct Job {
        station::RegisterSettings settings;
        station::RegisterFilter filter;
        station::CsvOptions options;
        QString path;
        Kind kind = Kind::Cards;
    };

    explicit CRegisterExportJob(QObject* parent = nullptr);
    // Cancels a running export and waits for its thread; the target stays as it was.
    ~CRegisterExportJob() override;

    // Starts the export; false when one runs already or the thread cannot start.
    bool Start(const Job& job);
    // Ends the export after the page being written; Finished then says cancelled.
    void Cancel() { m_bCancel = true; }
    bool IsRunning() const;

  Q_SIGNALS:
    // On the window's thread: rows written so far of total (0: not known).
    void Progress(qint64 rows, qint64 total);
    // written: the target holds the export; else error says why (empty when cancelled).
    void Finished(bool written, qint64 rows, const QString& error);

  private:
    void Run(const Job& job);

    std::atomic<bool> m_bCancel{false};
    std::unique_ptr<QThread> m_thread;
};
