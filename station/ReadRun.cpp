#include "station/ReadRun.h"

#include <QDateTime>

#include "station/CardFormatTable.h"

namespace station {

bool CReadRun::Read(int& readFacility, QString& readCustomer, int& readFixed, QString& readUid) {
    CardFields fields{readFacility, ParseNumber64(readCustomer), readFixed};
    if (!ReadTransponder(target, fields, readUid, m_lastError)) {
        m_view.ShowStatus(DescribeReadError(target.handle, m_lastError), m_lastError);
        return false;
    }
    readFacility = fields.facility;
    readCustomer = QString::number(static_cast<long long>(fields.number));
    readFixed = fields.fixed;
    return true;
}

void CReadRun::WriteLog() {
    if (logPath.isEmpty()) return;
    const QString line = BuildLogLine(target.format, facility, customer, QString(), target.chipType,
                                      uid, QDateTime::currentDateTime());
    if (!AppendLogLine(logPath, line, errorLog, fileErrorText)) m_view.ReportLogFailure();
}

ReadOutcome CReadRun::ReadOnce() {
    ReadOutcome outcome = ReadOutcome::NewCard;
    if (Read(facility, customer, fixed, uid)) {
        WriteLog();
        m_view.ShowStatus(StatusMessage::None, 0);
    } else {
        facility = 0;
        customer = QStringLiteral("0");
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
    m_view.ShowStatus(StatusMessage::None, 0);
    m_view.ShowFields();
    return ReadOutcome::NewCard;
}

}  // namespace station
