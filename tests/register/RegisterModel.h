// What a card register should hold, kept by the model test beside the real one: each row's
// life, the holder it was issued to, the card a re-issue replaces, which chip carries which
// card, and which holders left. The test asks it what a change must do (or which words must
// refuse it) before the register is asked, and applies what the register did.
#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "station/register/CardRegister.h"

namespace registertest {

class RegisterModel {
  public:
    // A row's state; Gone: released (the row is deleted, its events stay).
    enum class Life { Reserved, Written, Unverified, Replaced, Revoked, Gone };

    struct Card {
        std::int64_t number = 0;
        Life life = Life::Reserved;
        std::int64_t holder = 0;
        std::int64_t replaces = 0;    // the row a re-issue replaces once it reached its chip
        std::int64_t replacedBy = 0;  // the row that replaced this card
    };

    // What a change does to a card: its life afterwards, or the words that refuse it.
    struct Outcome {
        Life after = Life::Gone;
        QString refusal;  // empty: allowed
    };

    std::map<std::int64_t, Card> cards;     // by row
    std::map<QString, std::int64_t> chips;  // chip identification -> the row its card is
    std::map<std::int64_t, bool> holders;   // holder row -> has left

    void Add(std::int64_t row, const Card& card) { cards[row] = card; }
    // The rows of the number that hold it (every life but Gone), oldest first.
    std::vector<std::int64_t> RowsOf(std::int64_t number) const;
    bool Holds(std::int64_t number) const { return !RowsOf(number).empty(); }
    // The number's valid card (written or unverified); 0 when none.
    std::int64_t ValidOf(std::int64_t number) const;
    // The holder has a reserved, written or unverified card.
    bool HolderHasCard(std::int64_t holder) const;
    // The holder's valid card; 0 when none.
    std::int64_t HolderValidCard(std::int64_t holder) const;

    // What change does to row's card (replacement: the row that replaces it, for Replace).
    Outcome Expect(std::int64_t row, station::CardChange change,
                   std::int64_t replacement = 0) const;
    // Applies a change the register made: the card's new life, the card a re-issue replaces
    // once it reached a chip, and the chip of a card that is no longer valid is free again.
    void Apply(std::int64_t row, station::CardChange change, std::int64_t replacement = 0);
    // row reached its chip in place of earlier: a valid earlier card becomes replaced, a
    // revoked one is only linked; a reservation, and a card replaced or linked before, stay
    // as they are.
    void TakePlace(std::int64_t earlier, std::int64_t row);

    // The expected answer to a re-issue of number in place of row replaces.
    station::ReserveResult ExpectReissue(std::int64_t number, std::int64_t replaces) const;

    static bool Live(Life life) { return life == Life::Written || life == Life::Unverified; }
    static const char* Text(Life life);
    static Life FromText(const QString& state);
    // A card's life folded from its events (kind and reason), oldest first; nullopt with
    // problem set when an event does not fit.
    static std::optional<Life> Fold(const std::vector<std::pair<QString, QString>>& events,
                                    QString& problem);

  private:
    void ForgetChips(std::int64_t row);
};

}  // namespace registertest
