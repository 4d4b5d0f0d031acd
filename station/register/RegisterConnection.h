// The card register's own Qt SQL connection: a uniquely named QSqlDatabase per register, opened
// on demand and closed after a failure, so that the next call connects again (a restarted
// server or a file that became writable is used again).
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include "station/register/CardRegister.h"
#include "station/register/RegisterSchema.h"

namespace station {

class CCardRegister::Connection {
  public:
    explicit Connection(const RegisterSettings& settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and prepares the schema when not open; false with error when it cannot.
    bool Open(QString& error);
    bool IsOpen() const { return m_ready; }
    // Closes the connection after a failure; the next Open connects anew.
    void Close();

    QSqlDatabase Database() const;
    RegisterDialect Dialect() const { return m_dialect; }
    // Where the register is, for messages: the file or host:port/database.
    QString Place() const;
    // What the last connect found amiss but could work with (a register other accounts can
    // read); empty when nothing.
    QString Warning() const { return m_warning; }

  private:
    bool Connect(QString& error);
    // Removes the Qt connection; no QSqlDatabase of it may be held then.
    void Remove();

    const RegisterSettings& m_settings;
    RegisterDialect m_dialect;
    QString m_name;
    Qt::HANDLE m_thread = nullptr;  // Qt SQL connections belong to the thread that made them
    bool m_ready = false;
    QString m_warning;
};

// The user's login name: the register's operator and PostgreSQL's default user.
QString LoginName();

// The database refused a row because its unique index already holds the number.
bool IsUniqueViolation(const QSqlError& error);

}  // namespace station
