// A small HTTPS server on 127.0.0.1 for the update check's tests: serves fixed bodies by
// path, counts the requests, and can cut a body short. Its certificate is made by openssl
// for 127.0.0.1; a test trusts it by adding it as an authority.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSslCertificate>
#include <QSslServer>
#include <QString>

namespace apptest {

// Writes a new self-signed certificate for 127.0.0.1 and its key into folder as
// name.crt and name.key; false (with a warning) when openssl fails.
bool MakeLocalCertificate(const QString& folder, const QString& name);

// Adds the certificate file to the authorities every TLS connection of the process trusts.
void TrustCertificate(const QString& certificateFile);

class LocalHttpsServer : public QObject {
    Q_OBJECT
  public:
    LocalHttpsServer(const QString& certificateFile, const QString& keyFile);

    bool Listen();
    // "https://127.0.0.1:port/"
    QString BaseUrl() const;

    // Serves body at path; with cutAfter >= 0 the connection closes after that many bytes
    // of the body, although the header announced all of it.
    void SetRoute(const QByteArray& path, const QByteArray& body, qsizetype cutAfter = -1);
    // Answers path with a 302 to location.
    void SetRedirect(const QByteArray& path, const QString& location);
    // Serves body at path one byte every intervalMs.
    void SetTrickle(const QByteArray& path, const QByteArray& body, int intervalMs);
    int Requests(const QByteArray& path) const { return m_requests.value(path); }

  private:
    struct Route {
        QByteArray body;
        qsizetype cutAfter = -1;
        QString redirect;
        int trickleMs = 0;
    };
    void OnConnection();
    void Answer(QSslSocket* socket, const QByteArray& path);

    QSslServer m_server;
    QHash<QByteArray, Route> m_routes;
    QHash<QByteArray, int> m_requests;
};

}  // namespace apptest
