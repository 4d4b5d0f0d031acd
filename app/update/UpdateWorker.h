// The background thread of the update check: downloads the version file once and hands the
// text to its CUpdateCheck on the user-interface thread.
#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

class CUpdateCheck;

class UpdateWorker {
  public:
    explicit UpdateWorker(CUpdateCheck& owner);
    // Stops a running download and waits for the thread.
    ~UpdateWorker();

    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // Starts the thread; false if it could not be started. An empty url downloads nothing
    // and reports an empty text.
    bool Start(const QString& url);

    // True until the thread has handed over its result.
    std::atomic<bool> m_bRunning{true};
    // Set on the user-interface thread once the owner has the result.
    bool m_bDone = false;

  private:
    CUpdateCheck& m_owner;
    std::atomic<bool> m_bCancel{false};
    std::unique_ptr<QThread> m_thread;
};
