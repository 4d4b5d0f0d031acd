#include "station/WriteRun.h"

#include <QDateTime>
#include <chrono>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "vellf.h"

namespace station {

namespace {

// A chip must have been away longer than this before the same one counts as new again.
constexpr std::uint32_t kAbsentForgetMs = 2000;

const QString kVerifyError = QStringLiteral("Verify Error:");

std::uint32_t SteadyTickCount() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    // Never 0, which stands for "not set".
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now() - start).count() + 1);
}

QString LockText(bool lock) {
    return lock ? QStringLiteral("Locked") : QStringLiteral("not Locked");
}

QString DescribeFields(int format, const CardFields& fields) {
    QString text = QString::fromLatin1(kCardFormats[format].logName);
    if (FormatHasFacility(format)) text += QStringLiteral(",%1").arg(fields.facility);
    text += QStringLiteral(",%1").arg(fields.number);
    if (FormatHasFixedField(format)) text += QStringLiteral(",%1").arg(fields.fixed);
    return text;
}

}  // namespace

CWriteRun::CWriteRun(CRunView& view, TickClock clock)
    : m_view(view), m_clock(clock ? std::move(clock) : TickClock(SteadyTickCount)) {}

std::int64_t CWriteRun::Number() const {
    return ParseNumber64(customer);
}

CardFields CWriteRun::Fields() const {
    return CardFields{facility, Number(), fixed};
}

bool CWriteRun::WriteAndVerify(bool& verified) {
    verified = false;
    const CardFields fields = Fields();
    if (!WriteTransponder(target, fields, options.lock)) {
        m_view.ShowStatus(StatusMessage::NoTransponder, LfGetLastError(target.handle));
        return false;
    }
    if (!options.verify) return true;
    CardFields found;
    int code = 0;
    switch (VerifyTransponder(target, fields, found, code)) {
        case VerifyResult::Verified:
            verified = true;
            return true;
        case VerifyResult::Mismatch:
            AddErrorLog(errorLog, kVerifyError, 0,
                        DescribeFields(target.format, fields) + QStringLiteral(" -> ") +
                            DescribeFields(target.format, found),
                        QString());
            m_view.ShowStatus(StatusMessage::VerifyMismatch, 0);
            return false;
        case VerifyResult::ReadFailed:
            AddErrorLog(errorLog, kVerifyError, 0, DescribeFields(target.format, fields),
                        QString());
            m_view.ShowStatus(StatusMessage::VerifyReadFailed, code);
            return false;
    }
    return false;
}

void CWriteRun::WriteLog() {
    if (options.logPath.isEmpty()) return;
    // A format without a facility code never puts one on the card, so none is logged.
    const int loggedFacility = FormatHasFacility(target.format) ? facility : 0;
    const QString line =
        BuildLogLine(target.format, loggedFacility, customer, LockText(options.lock),
                     target.chipType, uid, QDateTime::currentDateTime());
    if (!AppendLogLine(options.logPath, line, errorLog, fileErrorText)) m_view.ReportLogFailure();
}

void CWriteRun::IncrementCustomerNr() {
    customer = QString::number(static_cast<long long>(Number() + 1));
}

WriteOutcome CWriteRun::WriteOnce() {
    lastId = 0;
    WriteOutcome outcome = WriteOutcome::Failed;
    switch (DetectTransponder(target, lastId, uid)) {
        case Detection::None:
            m_view.ShowStatus(StatusMessage::NoTransponder, LfGetLastError(target.handle));
            outcome = WriteOutcome::NoCard;
            break;
        case Detection::Protected:
            m_view.ShowStatus(StatusMessage::WriteProtected, 0);
            m_view.ShowFields();
            LfResetField(target.handle, 0);
            return WriteOutcome::Protected;
        default: {
            bool verified = false;
            if (!WriteAndVerify(verified)) break;
            m_view.ShowStatus(StatusMessage::WriteDone, 0);
            WriteLog();
            const WrittenCard card{Fields(), customer, uid, verified};
            ++count;
            if (options.autoIncrement) IncrementCustomerNr();
            m_view.SignalSuccess();
            m_view.CardWritten(card);
            outcome = WriteOutcome::Written;
            break;
        }
    }
    m_view.ShowFields();
    return outcome;
}

SeriesRefusal CWriteRun::CheckSeriesStart() const {
    if (options.stopAtEnd && ParseNumber64(options.endValue) < Number())
        return SeriesRefusal::EndBelowStart;
    if (options.stopAtCount && options.stopCount <= 0) return SeriesRefusal::CountZero;
    return SeriesRefusal::None;
}

void CWriteRun::StartSeries() {
    errorLog.clear();
    lastId = 0;
    absentSince = 0;
    count = 0;
    m_end = SeriesEnd::Running;
    m_view.ShowFields();
}

SeriesEnd CWriteRun::StopTest() const {
    if (options.stopAtCount) {
        if (count >= options.stopCount) return SeriesEnd::Count;
    } else if (options.stopAtEnd && Number() >= ParseNumber64(options.endValue)) {
        return SeriesEnd::EndValue;
    }
    // The next number would not fit the format: the SDK would cut it to the field's width
    // and put another number on the card than the one shown and logged.
    if (options.autoIncrement && IsCardFormat(target.format) &&
        Number() >= kCardFormats[target.format].maxCustomer)
        return SeriesEnd::Limit;
    return SeriesEnd::Running;
}

TickOutcome CWriteRun::SeriesTick() {
    const Detection detected = DetectTransponder(target, lastId, uid);
    if (detected == Detection::None) {
        if (absentSince != 0 && lastId != 0) {
            m_view.ShowLamps(LampState::Failed);
            if (m_clock() - absentSince > kAbsentForgetMs) {
                lastId = 0;
                absentSince = 0;
            }
        } else if (lastId != 0) {
            absentSince = m_clock();
        }
        return TickOutcome::Waiting;
    }
    absentSince = 0;
    if (detected == Detection::Protected) {
        m_view.ShowStatus(StatusMessage::WriteProtected, 0);
        m_view.ShowFields();
        LfResetField(target.handle, 0);
        return TickOutcome::Protected;
    }
    if (detected == Detection::Same) return TickOutcome::Held;

    m_view.ShowLamps(LampState::Writing);
    bool verified = false;
    if (!WriteAndVerify(verified)) {
        m_view.ShowLamps(LampState::Failed);
        m_view.SignalFailure();
        m_view.ShowFields();
        return TickOutcome::Failed;
    }
    m_view.ShowStatus(StatusMessage::WriteDone, 0);
    m_view.ShowLamps(LampState::Written);
    if (target.chipType == kChipAta5575M2) ReadFieldsForCheck(target, lastId);
    WriteLog();
    const WrittenCard card{Fields(), customer, uid, verified};
    ++count;
    m_view.SignalSuccess();
    m_end = StopTest();
    if (options.autoIncrement) IncrementCustomerNr();
    m_view.CardWritten(card);
    m_view.ShowFields();
    return TickOutcome::Written;
}

}  // namespace station
