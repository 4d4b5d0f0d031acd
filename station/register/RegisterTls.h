// TLS for a register on a PostgreSQL server: the client library's sslmode words and the
// file of the certificate authority that signed the server's certificate, checked when the
// settings are read and passed to the Qt PostgreSQL driver as connection options.
#pragma once

#include <QString>
#include <QStringList>

namespace station {

struct RegisterSettings;

// disable, allow, prefer, require, verify-ca, verify-full.
const QStringList& SslModes();
// The sslmode word of text (any case, spaces around ignored); empty when it is none of them.
QString SslModeFrom(const QString& text);
// Why a root certificate path cannot be passed to the driver (it splits options at ';');
// empty when it can.
QString SslRootCertProblem(const QString& path);
// "sslmode=...;sslrootcert='...'" for the settings, empty when they set neither.
QString TlsConnectOptions(const RegisterSettings& settings);

}  // namespace station
