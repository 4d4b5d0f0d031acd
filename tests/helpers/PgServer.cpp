#include "PgServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace pgtest {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The newest installed server's programs.
std::string FindBinaries() {
    std::string best;
    int bestVersion = -1;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        const fs::path bin = entry.path() / "bin";
        if (!fs::exists(bin / "postgres") || !fs::exists(bin / "initdb")) continue;
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion) {
            bestVersion = version;
            best = bin.string();
        }
    }
    return best;
}

std::string RandomPassword() {
    std::random_device device;
    std::ostringstream text;
    for (int i = 0; i < 4; ++i) text << std::hex << device();
    return text.str();
}

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// Waits for a child until the deadline; its exit status, or -1 when it still runs.
int WaitFor(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (done < 0) return 128;
        if (Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace

PgServer::PgServer() : m_binaries(FindBinaries()), m_password(RandomPassword()) {
    m_root = geteuid() == 0;
    if (m_root) {
        if (const passwd* nobody = getpwnam("nobody")) {
            m_serverUid = nobody->pw_uid;
            m_serverGid = nobody->pw_gid;
        }
    }
    char folder[] = "/tmp/orvex-pg-XXXXXX";
    if (mkdtemp(folder) != nullptr) {
        m_folder = folder;
        // The server user must reach its data and socket folders inside.
        chmod(folder, 0755);
    }
}

PgServer::~PgServer() {
    Stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

bool PgServer::GiveToServerUser(const std::string& path) {
    if (m_root && chown(path.c_str(), m_serverUid, m_serverGid) != 0) {
        m_error = "cannot give " + path + " to the server user";
        return false;
    }
    return true;
}

pid_t PgServer::Spawn(std::vector<std::string> argv, bool asServerUser,
                      const std::vector<std::string>& environment) {
    const std::string program = argv[0];
    // A test process that dies (a crash, a timeout) takes its server with it: the server
    // shuts down fast when its parent ends, instead of staying on the shared machine.
    std::vector<std::string> prefix = {"setpriv", "--pdeathsig", "INT"};
    if (asServerUser && m_root) {
        prefix.insert(prefix.end(), {"--reuid=" + std::to_string(m_serverUid),
                                     "--regid=" + std::to_string(m_serverGid), "--clear-groups"});
    }
    prefix.emplace_back("--");
    argv.insert(argv.begin(), prefix.begin(), prefix.end());
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    // The caller's environment, but for the variables given here (a test may have set
    // PGPASSWORD for another server).
    std::vector<std::string> envText = environment;
    envText.emplace_back("LC_ALL=C");
    auto overridden = [&](const std::string& entry) {
        return std::any_of(envText.begin(), envText.end(), [&](const std::string& own) {
            const auto name = own.substr(0, own.find('=') + 1);
            return entry.compare(0, name.size(), name) == 0;
        });
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) envText.emplace_back(*entry);
    }
    std::vector<char*> env;
    for (std::string& entry : envText) env.push_back(entry.data());
    env.push_back(nullptr);

    const std::string log = m_folder + "/server.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // The server user may not enter the caller's working folder.
    posix_spawn_file_actions_addchdir_np(&actions, m_folder.c_str());
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        m_error = "cannot start " + program;
        return -1;
    }
    return pid;
}

int PgServer::RunProgram(std::vector<std::string> argv, bool asServerUser,
                         const std::vector<std::string>& environment) {
    const std::string name = argv[0];
    const pid_t pid = Spawn(std::move(argv), asServerUser, environment);
    if (pid < 0) return -1;
    const int status = WaitFor(pid, Clock::now() + 120s);
    if (status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        m_error = name + " did not finish";
    }
    return status;
}

bool PgServer::InitCluster() {
    if (m_binaries.empty()) {
        m_error = "no PostgreSQL server under /usr/lib/postgresql (package postgresql)";
        return false;
    }
    if (m_folder.empty()) {
        m_error = "cannot create the server's temporary folder";
        return false;
    }
    if (m_root && m_serverUid == 0) {
        m_error = "no user nobody to run the server as";
        return false;
    }
    const std::string data = m_folder + "/data";
    const std::string sockets = m_folder + "/sockets";
    const std::string passwordFile = m_folder + "/initdb-password";
    if (mkdir(data.c_str(), 0700) != 0 || mkdir(sockets.c_str(), 0755) != 0) {
        m_error = "cannot create the server's folders";
        return false;
    }
    {
        std::ofstream out(passwordFile);
        out << m_password << '\n';
    }
    chmod(passwordFile.c_str(), 0600);
    const std::string log = m_folder + "/server.log";
    std::ofstream(log).flush();
    if (!GiveToServerUser(data) || !GiveToServerUser(sockets) || !GiveToServerUser(passwordFile) ||
        !GiveToServerUser(log)) {
        return false;
    }
    const int status =
        RunProgram({m_binaries + "/initdb", "-D", data, "-U", "orvex", "--pwfile=" + passwordFile,
                    "--auth=scram-sha-256", "-E", "UTF8", "--locale=C", "--no-sync"},
                   true);
    std::remove(passwordFile.c_str());
    if (status != 0) {
        if (status > 0) m_error = "initdb failed: " + LogTail().toStdString();
        return false;
    }
    if (m_tls) {
        // TCP connections over TLS only; the socket folder stays for the server's own tools.
        std::ofstream hba(data + "/pg_hba.conf", std::ios::trunc);
        hba << "local all all scram-sha-256\n"
               "hostssl all all 127.0.0.1/32 scram-sha-256\n";
        if (!hba) {
            m_error = "cannot write pg_hba.conf";
            return false;
        }
    }
    return true;
}

bool PgServer::Launch() {
    std::vector<std::string> argv = {
        m_binaries + "/postgres",     "-D", m_folder + "/data",     "-p",
        std::to_string(m_port),       "-k", m_folder + "/sockets",  "-c",
        "listen_addresses=127.0.0.1", "-c", "shared_buffers=16MB",  "-c",
        "max_connections=40",         "-c", "logging_collector=off"};
    if (m_tls) {
        argv.insert(argv.end(),
                    {"-c", "ssl=on", "-c", "ssl_cert_file=" + m_folder + "/tls/server.crt", "-c",
                     "ssl_key_file=" + m_folder + "/tls/server.key"});
    }
    m_pid = Spawn(std::move(argv), true, {});
    return m_pid > 0;
}

bool PgServer::MakeCertificates() {
    const std::string tls = m_folder + "/tls/";
    if (mkdir(tls.c_str(), 0755) != 0) {
        m_error = "cannot create the folder for the certificates";
        return false;
    }
    {
        std::ofstream extensions(tls + "server.ext");
        extensions << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    }
    const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt",
                                         "ec_paramgen_curve:prime256v1", "-nodes"};
    auto authority = [&](const std::string& name, const std::string& subject) {
        std::vector<std::string> argv = {"openssl", "req", "-x509"};
        argv.insert(argv.end(), ec.begin(), ec.end());
        argv.insert(argv.end(),
                    {"-keyout", tls + name + ".key", "-out", tls + name + ".crt", "-days", "2",
                     "-subj", "/CN=" + subject, "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
        return RunProgram(argv, false) == 0;
    };
    std::vector<std::string> request = {"openssl", "req", "-new"};
    request.insert(request.end(), ec.begin(), ec.end());
    request.insert(request.end(), {"-keyout", tls + "server.key", "-out", tls + "server.csr",
                                   "-subj", "/CN=localhost"});
    // Both authorities carry one name, so that only the key tells them apart.
    const bool made =
        authority("ca", "orvex test authority") && authority("other", "orvex test authority") &&
        RunProgram(request, false) == 0 &&
        RunProgram({"openssl", "x509", "-req", "-in", tls + "server.csr", "-CA", tls + "ca.crt",
                    "-CAkey", tls + "ca.key", "-set_serial", "1", "-days", "2", "-extfile",
                    tls + "server.ext", "-out", tls + "server.crt"},
                   false) == 0;
    if (!made) {
        m_error = "openssl could not make the certificates: " + LogTail().toStdString();
        return false;
    }
    // The server refuses a key others may read.
    chmod((tls + "server.key").c_str(), 0600);
    return GiveToServerUser(tls + "server.key");
}

bool PgServer::UseTls() {
    if (m_initialised) {
        m_error = "UseTls comes before the first Start";
        return false;
    }
    if (m_folder.empty()) {
        m_error = "cannot create the server's temporary folder";
        return false;
    }
    if (!MakeCertificates()) return false;
    m_tls = true;
    return true;
}

bool PgServer::RunPsql(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {m_binaries + "/psql",
                                     "-X",
                                     "-q",
                                     "-v",
                                     "ON_ERROR_STOP=1",
                                     "-h",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(m_port),
                                     "-U",
                                     "orvex",
                                     "-d",
                                     "orvex"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // psql writes into the server's log file (Spawn's output); what it adds is its message.
    const std::string logFile = m_folder + "/server.log";
    std::error_code ignored;
    const auto before = fs::file_size(logFile, ignored);
    if (RunProgram(argv, false, {"PGPASSWORD=" + m_password}) == 0) return true;
    std::ifstream in(logFile);
    in.seekg(static_cast<std::streamoff>(before == static_cast<std::uintmax_t>(-1) ? 0 : before));
    std::ostringstream said;
    said << in.rdbuf();
    m_error = "psql failed: " + said.str();
    return false;
}

bool PgServer::RunSqlFile(const QString& file) {
    return RunPsql({"-f", file.toStdString()});
}

bool PgServer::RunSql(const QString& statements) {
    return RunPsql({"-c", statements.toStdString()});
}

bool PgServer::WaitUntilReady() {
    const auto deadline = Clock::now() + 60s;
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "the server ended at its start: " + LogTail().toStdString();
            return false;
        }
        const pid_t probe = Spawn({m_binaries + "/pg_isready", "-q", "-h", "127.0.0.1", "-p",
                                   std::to_string(m_port), "-t", "2"},
                                  false, {});
        if (probe > 0 && WaitFor(probe, Clock::now() + 10s) == 0) return true;
        std::this_thread::sleep_for(100ms);
    }
    m_error = "the server did not accept connections in time: " + LogTail().toStdString();
    return false;
}

bool PgServer::Start() {
    if (Running()) return true;
    m_error.clear();
    const bool first = !m_initialised;
    if (first) {
        if (!InitCluster()) return false;
        m_initialised = true;
    }
    // A port another program takes between the probe and the server's bind is tried again
    // with a new one; a restart keeps its port, as clients know it.
    for (int attempt = 0; attempt < (m_port == 0 ? 5 : 1); ++attempt) {
        if (m_port == 0 || attempt > 0) m_port = FreeLoopbackPort();
        if (!Launch()) return false;
        if (WaitUntilReady()) break;
        Stop();
        if (!first) return false;
    }
    if (!Running()) return false;
    if (first) {
        if (RunProgram({m_binaries + "/createdb", "-h", "127.0.0.1", "-p", std::to_string(m_port),
                        "-U", "orvex", "orvex"},
                       false, {"PGPASSWORD=" + m_password}) != 0) {
            m_error = "cannot create the database orvex: " + LogTail().toStdString();
            return false;
        }
    }
    return true;
}

bool PgServer::Stop() {
    if (m_pid <= 0) return true;
    // Fast shutdown ends the sessions; an immediate one and then a kill only when it hangs.
    kill(m_pid, SIGINT);
    int status = WaitFor(m_pid, Clock::now() + 30s);
    if (status < 0) {
        kill(m_pid, SIGQUIT);
        status = WaitFor(m_pid, Clock::now() + 10s);
    }
    if (status < 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    return true;
}

bool PgServer::CreateDatabase(const QString& name) {
    if (RunProgram({m_binaries + "/createdb", "-h", "127.0.0.1", "-p", std::to_string(m_port), "-U",
                    "orvex", name.toStdString()},
                   false, {"PGPASSWORD=" + m_password}) == 0) {
        return true;
    }
    m_error = "cannot create the database " + name.toStdString();
    return false;
}

QString PgServer::WritePassFile() const {
    const std::string path = m_folder + "/pgpass";
    {
        std::ofstream out(path, std::ios::trunc);
        out << "127.0.0.1:" << m_port << ":*:*:" << m_password << '\n';
    }
    // The client library ignores a password file others may read.
    chmod(path.c_str(), 0600);
    return QString::fromStdString(path);
}

QString PgServer::LogTail() const {
    std::ifstream in(m_folder + "/server.log");
    std::ostringstream text;
    text << in.rdbuf();
    std::string log = text.str();
    if (log.size() > 2000) log = log.substr(log.size() - 2000);
    return QString::fromStdString(log);
}

}  // namespace pgtest
