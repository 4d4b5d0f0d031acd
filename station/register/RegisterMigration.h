// Brings a register of an older schema version up to the current one, inside the transaction
// that PrepareRegisterSchema holds: rows, reservations and re-issues are kept.
#pragma once

#include <QSqlDatabase>
#include <QString>

#include "station/register/RegisterSchema.h"

namespace station {

bool MigrateRegister(QSqlDatabase& db, RegisterDialect dialect, int fromVersion, QString& error);

}  // namespace station
