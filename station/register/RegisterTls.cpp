#include "station/register/RegisterTls.h"

#include "station/register/CardRegister.h"

namespace station {

namespace {

// A connection-string value in quotes, so that a path with spaces stays one value.
QString Quoted(QString value) {
    value.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    value.replace(QLatin1String("'"), QLatin1String("\\'"));
    return u'\'' + value + u'\'';
}

}  // namespace

const QStringList& SslModes() {
    static const QStringList modes = {
        QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
        QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full"),
    };
    return modes;
}

QString SslModeFrom(const QString& text) {
    const QString word = text.trimmed().toLower();
    return SslModes().contains(word) ? word : QString();
}

QString SslRootCertProblem(const QString& path) {
    if (!path.contains(u';')) return QString();
    return QStringLiteral(
               "the root certificate path %1 holds a ';', which the PostgreSQL "
               "driver cannot pass; move the file")
        .arg(path);
}

QString TlsConnectOptions(const RegisterSettings& settings) {
    QStringList options;
    if (!settings.sslMode.isEmpty()) options << QStringLiteral("sslmode=") + settings.sslMode;
    if (!settings.sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert=") + Quoted(settings.sslRootCert);
    return options.join(u';');
}

}  // namespace station
