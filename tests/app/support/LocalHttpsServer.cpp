#include "support/LocalHttpsServer.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace apptest {

bool MakeLocalCertificate(const QString& folder, const QString& name) {
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1", "-keyout", folder + "/" + name + ".key",
                   "-out", folder + "/" + name + ".crt"});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        qWarning() << "openssl:" << openssl.errorString() << openssl.readAllStandardError();
        return false;
    }
    return true;
}

void TrustCertificate(const QString& certificateFile) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(certificateFile);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

LocalHttpsServer::LocalHttpsServer(const QString& certificateFile, const QString& keyFile) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(QSslCertificate::fromPath(certificateFile));
    QFile key(keyFile);
    if (key.open(QIODevice::ReadOnly))
        configuration.setPrivateKey(QSslKey(&key, QSsl::Ec, QSsl::Pem));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(configuration);
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this,
            &LocalHttpsServer::OnConnection);
}

bool LocalHttpsServer::Listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString LocalHttpsServer::BaseUrl() const {
    return QStringLiteral("https://127.0.0.1:%1/").arg(m_server.serverPort());
}

void LocalHttpsServer::SetRoute(const QByteArray& path, const QByteArray& body,
                                qsizetype cutAfter) {
    m_routes.insert(path, Route{body, cutAfter, {}, 0});
}

void LocalHttpsServer::SetRedirect(const QByteArray& path, const QString& location) {
    m_routes.insert(path, Route{{}, -1, location, 0});
}

void LocalHttpsServer::SetTrickle(const QByteArray& path, const QByteArray& body, int intervalMs) {
    m_routes.insert(path, Route{body, -1, {}, intervalMs});
}

void LocalHttpsServer::OnConnection() {
    while (m_server.hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(m_server.nextPendingConnection());
        if (socket == nullptr) continue;
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] {
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (!request.contains("\r\n\r\n")) return;
            const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
            Answer(socket, words.size() >= 2 ? words[1] : QByteArray());
        });
    }
}

void LocalHttpsServer::Answer(QSslSocket* socket, const QByteArray& path) {
    ++m_requests[path];
    const auto found = m_routes.constFind(path);
    if (found == m_routes.constEnd()) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const Route& route = *found;
    if (!route.redirect.isEmpty()) {
        socket->write("HTTP/1.1 302 Found\r\nContent-Length: 0\r\nConnection: close\r\nLocation: " +
                      route.redirect.toUtf8() + "\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                  "Connection: close\r\nContent-Length: " +
                  QByteArray::number(route.body.size()) + "\r\n\r\n");
    if (route.trickleMs > 0) {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, body = route.body, sent = qsizetype(0)]() mutable {
            if (sent < body.size()) socket->write(body.mid(sent++, 1));
            if (sent == body.size()) socket->disconnectFromHost();
        });
        timer->start(route.trickleMs);
        return;
    }
    socket->write(route.cutAfter >= 0 ? route.body.left(route.cutAfter) : route.body);
    socket->disconnectFromHost();
}

}  // namespace apptest
