#include "station/ReadRun.h"

#include "station/CardFormatTable.h"
#include "station/CardLog.h"

namespace station {

bool CReadRun::Read(int& readFacility, QString& readCustomer, int& readFixed, QString& readUid) {
    CardFields fields{readFacility, ParseNumber64(readCustomer), readFixed};
    if (!ReadTransponder(m_card.target, fields, readUid, m_lastError)) {
        // Error 0 leaves the status line as it is.
        StatusMessage message = DescribeReadError(m_card.target.handle, m_lastError);
        if (message == StatusMessage::NoTransponder && ChipAnswersWithoutCard(m_card.target))
            message = StatusMessage::BlankChip;
        if (message != StatusMessage::None) m_view.ShowStatus(Status{message, m_lastError});
        return false;
    }
    readFacility = fields.facility;
    readCustomer = QString::number(static_cast<long long>(fields.number));
    readFixed = fields.fixed;
    return true;
}

CardRecord CReadRun::FieldsCard() const {
    CardRecord card;
    card.format = m_card.target.format;
    card.chipType = m_card.target.chipType;
    card.fields = CardFields{m_card.facility, ParseNumber64(m_card.customer), m_card.fixed};
    card.customer = m_card.customer;
    card.uid = m_card.uid;
    return card;
}

void CReadRun::ReportCard() {
    const CardRecord card = FieldsCard();
    if (!logPath.isEmpty())
        LogCard(m_view, logPath, card, QString(), m_card.errorLog, m_card.fileErrorText);
    m_view.CardRead(card);
}

ReadOutcome CReadRun::ReadOnce() {
    ReadOutcome outcome = ReadOutcome::NewCard;
    if (Read(m_card.facility, m_card.customer, m_card.fixed, m_card.uid)) {
        ReportCard();
    } else {
        // The fields keep what the operator typed; only a card read copies its fields.
        m_card.uid.clear();
        outcome = ReadOutcome::Failed;
    }
    m_view.ShowFields();
    return outcome;
}

ReadOutcome CReadRun::ReadTick() {
    int readFacility = m_card.facility;
    QString readCustomer = m_card.customer;
    int readFixed = m_card.fixed;
    QString readUid;
    if (!Read(readFacility, readCustomer, readFixed, readUid)) {
        m_shownCard.reset();
        m_card.uid.clear();
        m_view.ShowFields();
        return ReadOutcome::Failed;
    }
    // The chip identification is not compared: the same card is still there.
    const ShownCard read{readFacility, readCustomer, readFixed};
    if (m_shownCard == read) return ReadOutcome::SameCard;
    m_shownCard = read;
    m_card.customer = readCustomer;
    m_card.fixed = readFixed;
    m_card.facility = readFacility;
    m_card.uid = readUid;
    ReportCard();
    m_view.ShowFields();
    return ReadOutcome::NewCard;
}

}  // namespace station
