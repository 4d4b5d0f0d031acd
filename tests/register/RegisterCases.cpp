#include "RegisterCases.h"

#include <gtest/gtest.h>

using namespace station;

namespace registertest {

std::vector<RegisterEntry> All(CCardRegister& cardRegister) {
    auto entries = cardRegister.List({});
    EXPECT_TRUE(entries) << cardRegister.LastError().toStdString();
    return entries.value_or(std::vector<RegisterEntry>{});
}

std::int64_t ReserveOk(CCardRegister& cardRegister, const CardRecord& card) {
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(card, false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    return rowId;
}

std::int64_t WrittenOk(CCardRegister& cardRegister, const CardRecord& card, const QString& uid) {
    const std::int64_t rowId = ReserveOk(cardRegister, card);
    EXPECT_TRUE(cardRegister.Confirm(rowId, true, uid)) << cardRegister.LastError().toStdString();
    return rowId;
}

std::int64_t ReissuedOk(CCardRegister& cardRegister, const CardRecord& card, std::int64_t replaces,
                        const QString& reason) {
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.ReserveReissue(card, false, replaces, reason, rowId, earlier),
              ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_TRUE(cardRegister.Confirm(rowId, true, QString()))
        << cardRegister.LastError().toStdString();
    return rowId;
}

RegisterEntry Row(CCardRegister& cardRegister, std::int64_t rowId) {
    for (const RegisterEntry& entry : All(cardRegister))
        if (entry.id == rowId) return entry;
    ADD_FAILURE() << "no row " << rowId;
    return {};
}

std::vector<std::int64_t> Ids(const std::vector<RegisterEntry>& entries) {
    std::vector<std::int64_t> ids;
    for (const RegisterEntry& entry : entries) ids.push_back(entry.id);
    return ids;
}

std::vector<QString> Kinds(const std::optional<std::vector<RegisterEvent>>& events) {
    std::vector<QString> kinds;
    for (const RegisterEvent& event : events.value_or(std::vector<RegisterEvent>{}))
        kinds.push_back(event.kind);
    return kinds;
}

CardRecord Huge26(std::int64_t number) {
    CardRecord card = Card(number, 0);
    card.format = 1;
    return card;
}
}  // namespace registertest
