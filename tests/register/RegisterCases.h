// The register's contract cases, each run on a new, empty register of every kind, and the
// small steps they share.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "RegisterDatabases.h"
#include "station/register/CardRegister.h"

namespace registertest {

using Case = std::function<void(RegisterDatabases&, const station::RegisterSettings&)>;

inline const QString kVersion = QStringLiteral("9.8.7");

void CardLife(RegisterDatabases& databases, const station::RegisterSettings& settings);
void LookupsAndHistory(RegisterDatabases& databases, const station::RegisterSettings& settings);
void MigrationFromVersion1(RegisterDatabases& databases, const station::RegisterSettings& settings);
void HolderListAndSave(RegisterDatabases& databases, const station::RegisterSettings& settings);
void HolderImport(RegisterDatabases& databases, const station::RegisterSettings& settings);
void HolderCardsAndExports(RegisterDatabases& databases, const station::RegisterSettings& settings);
void HoldersWhoLeft(RegisterDatabases& databases, const station::RegisterSettings& settings);
void RacingForOneHolder(RegisterDatabases& databases, const station::RegisterSettings& settings);
void MigrationFromVersion2(RegisterDatabases& databases, const station::RegisterSettings& settings);
void DatabaseRules(RegisterDatabases& databases, const station::RegisterSettings& settings);
void ConfirmReplacesInOneTransaction(RegisterDatabases& databases,
                                     const station::RegisterSettings& settings);
void MigrationFromVersion3(RegisterDatabases& databases, const station::RegisterSettings& settings);

std::vector<station::RegisterEntry> All(station::CCardRegister& cardRegister);
// The row, empty with a test failure when there is none.
station::RegisterEntry Row(station::CCardRegister& cardRegister, std::int64_t rowId);
std::int64_t ReserveOk(station::CCardRegister& cardRegister, const station::CardRecord& card);
// Reserved and confirmed (verified, with uid).
std::int64_t WrittenOk(station::CCardRegister& cardRegister, const station::CardRecord& card,
                       const QString& uid = QString());
// A re-issue of the card in row replaces, confirmed.
std::int64_t ReissuedOk(station::CCardRegister& cardRegister, const station::CardRecord& card,
                        std::int64_t replaces, const QString& reason = QStringLiteral("broken"));

std::vector<std::int64_t> Ids(const std::vector<station::RegisterEntry>& entries);
std::vector<QString> Kinds(const std::optional<std::vector<station::RegisterEvent>>& events);

// A card of the 26-bit Huge format on an ATA5577.
station::CardRecord Huge26(std::int64_t number);

}  // namespace registertest
