#include "station/ReadRun.h"

#include "station/CardFormatTable.h"
#include "station/CardLog.h"

namespace station {

bool CReadRun::Read(int& readFacility, QString& readCustomer, int& readFixed, QString& readUid) {
    CardFields fields{readFacility, ParseNumber64(readCustomer), readFixed};
    if (!ReadTransponder(target, fields, readUid, m_lastError)) {
        m_view.ShowStatus(Status{DescribeReadError(target.handle, m_lastError), m_lastError});
        return false;
    }
    readFacility = fields.facility;
    readCustomer = QString::number(static_cast<long long>(fields.number));
    readFixed = fields.fixed;
    return true;
}

void CReadRun::WriteLog() {
    if (logPath.isEmpty()) return;
    CardRecord card;
    card.format = target.format;
    card.chipType = target.chipType;
    card.fields = CardFields{facility, ParseNumber64(customer), fixed};
    card.customer = customer;
    card.uid = uid;
    LogCard(m_view, logPath, card, QString(), errorLog, fileErrorText);
}

ReadOutcome CReadRun::ReadOnce() {
    ReadOutcome outcome = ReadOutcome::NewCard;
    if (Read(facility, customer, fixed, uid)) {
        WriteLog();
        m_view.ShowStatus(Status{});
    } else {
        // The fields keep what the operator typed; only a card read copies its fields.
        uid.clear();
        outcome = ReadOutcome::Failed;
    }
    m_view.ShowFields();
    return outcome;
}

ReadOutcome CReadRun::ReadTick() {
    int readFacility = facility;
    QString readCustomer = customer;
    int readFixed = fixed;
    QString readUid;
    if (!Read(readFacility, readCustomer, readFixed, readUid)) {
        customer = QStringLiteral("0");
        facility = 0;
        fixed = 0;
        uid.clear();
        m_view.ShowFields();
        return ReadOutcome::Failed;
    }
    // The chip identification is not compared: the same card is still there.
    if (readCustomer == customer && readFacility == facility && readFixed == fixed)
        return ReadOutcome::SameCard;
    customer = readCustomer;
    fixed = readFixed;
    facility = readFacility;
    uid = readUid;
    WriteLog();
    m_view.ShowStatus(Status{});
    m_view.ShowFields();
    return ReadOutcome::NewCard;
}

}  // namespace station
