#include "station/CardLog.h"

#include <QDateTime>

namespace station {

bool LogCard(CRunView& view, const QString& path, const CardRecord& card, const QString& text,
             QString& errorLog, const FileErrorText& fileErrorText) {
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = BuildLogLine(card.format, card.fields.facility, card.customer, text,
                                      card.chipType, card.uid, now);
    if (AppendLogLine(path, line, errorLog, fileErrorText)) return true;
    // The card itself, readable, so that the operator can record it by hand.
    errorLog += view.NotLoggedEntry(card, now) + QStringLiteral("\r\n");
    view.ReportLogFailure();
    return false;
}

}  // namespace station
