// A database server made silent for a scope: its processes (the main one and the
// connections' children) are stopped with SIGSTOP, so that a call waits as it would for a
// server that no longer answers, and continued at the scope's end, also when a check fails.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <vector>

namespace pgtest {

class SilentServer {
  public:
    explicit SilentServer(pid_t server) : m_processes(Processes(server)) {
        for (const pid_t pid : m_processes) kill(pid, SIGSTOP);
    }
    ~SilentServer() {
        for (const pid_t pid : m_processes) kill(pid, SIGCONT);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

  private:
    // The server's main process and its children.
    static std::vector<pid_t> Processes(pid_t server) {
        std::vector<pid_t> processes{server};
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            bool number = false;
            const pid_t pid = entry.toInt(&number);
            if (!number) continue;
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly)) continue;
            // "pid (name) state ppid ...": the name may hold spaces, so read after its ')'.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields[1].toInt() == server) processes.push_back(pid);
        }
        return processes;
    }

    std::vector<pid_t> m_processes;
};

}  // namespace pgtest
