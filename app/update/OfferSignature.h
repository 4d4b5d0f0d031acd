// The maker's Ed25519 signature over an update offer: the version, the installer's file
// name and its SHA256 digest, so that a changed version file on the server cannot point the
// station at another file.
#pragma once

#include <QByteArray>
#include <QString>

// The signed text: version, installer file name and lower-case hexadecimal digest, each on
// a line of its own ("\n" between them, none at the end).
QByteArray SignedOfferText(const QString& version, const QString& installerName,
                           const QString& sha256);

// publicKey: base64 of the DER public key (openssl pkey -pubout -outform DER); signature:
// base64 of the 64 signature bytes. False for any key or signature that does not parse.
bool IsOfferSignatureValid(const QByteArray& publicKey, const QByteArray& text,
                           const QByteArray& signature);
