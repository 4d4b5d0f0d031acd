// The people of a series over holders: the register's holders without a valid card, in the
// holder list's order, optionally of one department. The queue is read once when the series
// starts; since it holds only people without a card, a series stopped and started again goes
// on with the first person not served yet. A card that failed or did not verify keeps its
// holder current for the next chip; a holder whom another station served meanwhile is skipped.
#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "station/register/Holders.h"

namespace station {

class CCardRegister;

class CHolderQueue {
  public:
    // The holders of department (empty: all) who have no valid card.
    CHolderQueue(CCardRegister& cardRegister, QString department = {});
    // A queue of the given holders, in this order (a single holder for one card).
    explicit CHolderQueue(std::vector<Holder> holders);

    // Reads the holders from the register; false with LastError when it cannot answer.
    bool Load();
    QString LastError() const { return m_lastError; }

    // The holder the next card is for; nullptr once every holder is served.
    const Holder* Current() const;
    // The current holder received a card.
    void Next();
    // The current holder got a card elsewhere (another station was faster): passed over.
    void Skip();

    int Served() const { return m_served; }
    int Skipped() const { return m_skipped; }
    // The holders still waiting, the current one included.
    int Remaining() const { return static_cast<int>(m_holders.size() - m_position); }

  private:
    CCardRegister* m_register = nullptr;
    QString m_department;
    std::vector<Holder> m_holders;
    std::size_t m_position = 0;
    int m_served = 0;
    int m_skipped = 0;
    QString m_lastError;
};

}  // namespace station
