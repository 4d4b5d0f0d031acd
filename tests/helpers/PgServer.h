// A real PostgreSQL server for tests and benchmarks: initdb into a temporary folder with a
// password-protected role, the server on a free loopback port with its socket folder inside
// that folder, started, stopped and started again on the same port, and everything removed
// at the end. Run as root (CI), the cluster belongs to "nobody" and the server runs as nobody,
// since PostgreSQL refuses to run as root. With UseTls the server takes connections over TLS
// only, with certificates the test makes with the openssl command. The server ends with the thread
// that started it (also when the test process is killed), so start it on a thread that outlives its
// use.
#pragma once

#include <sys/types.h>

#include <QString>
#include <string>
#include <vector>

namespace pgtest {

class PgServer {
  public:
    PgServer();
    // Stops the server by its process id and removes the folder.
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Creates the cluster and the database Database() on the first call, then starts the
    // server and waits (bounded) until it accepts connections. False with Error().
    bool Start();
    // Shuts the server down (bounded); its data stays for the next Start.
    bool Stop();
    bool Running() const { return m_pid > 0; }
    // The server's main process, for a test that stops it (its connections are its children).
    pid_t Pid() const { return m_pid; }

    QString Host() const { return QStringLiteral("127.0.0.1"); }
    int Port() const { return m_port; }
    QString Database() const { return QStringLiteral("orvex"); }
    QString User() const { return QStringLiteral("orvex"); }
    // The role's password, for PGPASSWORD or a .pgpass file; the server refuses any other.
    QString Password() const { return QString::fromStdString(m_password); }
    // Writes a .pgpass file (mode 0600) with this server's line into its folder; its path.
    // Its password serves every role, so a test gives the roles it makes Password().
    QString WritePassFile() const;
    // Another empty database on the running server.
    bool CreateDatabase(const QString& name);

    // Before the first Start: a certificate authority and a server certificate for 127.0.0.1
    // and localhost signed by it, and a server that refuses connections without TLS
    // (hostssl). False with Error().
    bool UseTls();
    // The authority that signed the server's certificate, and another that signed nothing of
    // this server (PEM files).
    QString CaFile() const { return QString::fromStdString(m_folder + "/tls/ca.crt"); }
    QString OtherCaFile() const { return QString::fromStdString(m_folder + "/tls/other.crt"); }
    // Runs SQL through psql as the owner role in Database(), stopping at the first error;
    // a file, or statements. False with Error() holding psql's output.
    bool RunSqlFile(const QString& file);
    bool RunSql(const QString& statements);

    QString Error() const { return QString::fromStdString(m_error); }
    // The server's log, for a failing test's message.
    QString LogTail() const;

  private:
    bool InitCluster();
    bool Launch();
    bool WaitUntilReady();
    // Runs a program to its end (bounded); its exit status, or -1.
    int RunProgram(std::vector<std::string> argv, bool asServerUser,
                   const std::vector<std::string>& environment = {});
    pid_t Spawn(std::vector<std::string> argv, bool asServerUser,
                const std::vector<std::string>& environment);
    bool GiveToServerUser(const std::string& path);
    bool MakeCertificates();
    bool RunPsql(const std::vector<std::string>& arguments);

    std::string m_binaries;  // /usr/lib/postgresql/<version>/bin
    std::string m_folder;
    std::string m_password;
    std::string m_error;
    bool m_root = false;
    uid_t m_serverUid = 0;
    gid_t m_serverGid = 0;
    bool m_initialised = false;
    bool m_tls = false;
    int m_port = 0;
    pid_t m_pid = -1;
};

}  // namespace pgtest
