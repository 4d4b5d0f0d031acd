// The main window's write runs: write once and the write series with its lamps and signals.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <limits>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "Settings.h"
#include "SettingsWriter.h"
#include "SignalOutput.h"
#include "StringTable.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrNoTransponder = 111;
constexpr int kStrWriteProtected = 128;
constexpr int kStrWriteDone = 119;
constexpr int kStrValueTooLarge = 136;
constexpr int kStrEndBelowStart = 10086;
constexpr int kStrCountZero = 10087;
constexpr int kStrReaderSilent = 11102;
constexpr int kStrChecksum = 11103;
constexpr int kStrWrongChip = 11104;
constexpr int kStrLocked = 11105;
constexpr int kStrNotWritable = 11106;
constexpr int kStrWriteError = 11107;
constexpr int kStrVerifyMismatch = 11108;
constexpr int kStrVerifyUnreadable = 11109;
constexpr int kStrCard = 11110;
constexpr int kStrCardNoFacility = 11111;
constexpr int kStrVerified = 11112;
constexpr int kStrSeriesDone = 11113;
constexpr int kStrLayAgain = 11114;

// SDK errors and reader status bytes a write can end with.
constexpr int kErrTimeout = 7;
constexpr int kErrNotPossible = 9;
constexpr int kErrChipNotSupported = 10;
constexpr int kErrChecksum = 14;
constexpr int kStatusNoTransponder = 0x04;
constexpr int kStatusWriteProtected = 0x05;
constexpr int kStatusAccessDenied = 0x0B;

constexpr int kLockFlags = 3;
// A chip must have been away longer than this before the same one counts as new again.
constexpr std::uint32_t kAbsentForgetMs = 2000;

enum Detection { kNone = 0, kNew = 1, kSame = 2, kProtected = 3 };

const char* LockText(int lock) {
    return lock != 0 ? "Locked" : "not Locked";
}

}  // namespace

std::uint32_t COrvexFSKDlg::TickCount() {
    // A millisecond counter that wraps at 32 bits, compared by unsigned difference.
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return static_cast<std::uint32_t>(clock.elapsed() + 1);
}

int COrvexFSKDlg::DetectTransponder() {
    if (m_nChipType != kChipAta5575M2) {
        std::array<unsigned char, 8> buffer{};
        if (LfReadChipId(m_hPort, m_nChipType, buffer.data(), static_cast<int>(buffer.size())) <
            4) {
            m_strUid.clear();
            return kNone;
        }
        const std::int64_t id = static_cast<std::int64_t>(ChipIdValue(buffer.data()));
        if (id == m_nLastId) return kSame;
        m_nLastId = id;
        m_strUid = QString::number(static_cast<std::uint64_t>(id), 16).toUpper();
        return kNew;
    }

    // The M2 chip has no identification; its configuration byte tells the receive mode it
    // answers in and whether it is write-protected.
    unsigned char config = 0;
    auto readConfigIn = [this, &config](int mode) {
        LfSetReceiveMode(m_hPort, mode);
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (LfReadBlocks(m_hPort, kChipAta5575M2, 16, &config, 1) == 1) return true;
            // A silent reader is not asked five more times within the same tick.
            if (LfGetLastError(m_hPort) == kErrTimeout) return false;
        }
        return false;
    };
    int mode = 2;
    if (!readConfigIn(mode)) {
        if (LfGetLastError(m_hPort) == kErrTimeout) return kNone;
        mode = 1;
        if (!readConfigIn(mode)) return kNone;
    }
    if ((config & 0xF0) != 0) return kProtected;
    if (mode == 1) return kNew;
    std::int64_t identity = 0;
    if (ReadFieldsForCheck(identity) && identity == m_nLastId) return kSame;
    return kNew;
}

bool COrvexFSKDlg::ReadFieldsForCheck(std::int64_t& identity) {
    if (!IsCardFormat(m_nFormat)) return false;
    int first = 0;
    int second = 0;
    int extra = 0;
    if (ReadFormatFields(first, second, extra) != 0) return false;
    identity = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32) |
        static_cast<std::uint32_t>(second));
    return true;
}

bool COrvexFSKDlg::WriteTransponder(int facility, const QString& customer, int fixed, bool lock) {
    const std::int64_t number = ParseNumber64(customer);
    // The SDK cuts every value to its field, so a number past the format's largest would
    // reach the chip as another number than the one shown and logged.
    if (!CardValuesFit(m_nFormat, facility, number, fixed)) {
        const std::int64_t largest =
            IsCardFormat(m_nFormat) ? kCardFormats[m_nFormat].maxCustomer : 0;
        ShowStatusText(
            FormatMessage(LoadString(kStrValueTooLarge), static_cast<long long>(largest)));
        return false;
    }
    const int flags = lock ? kLockFlags : 0;
    const CardValues values = SplitCardValues(m_nFormat, facility, number, fixed);
    int result = 0;
    switch (m_nFormat) {
        case 0:
        case 1:
            result = LfWriteWiegand26(m_hPort, m_nChipType, values.first, values.second, flags);
            break;
        case 2:
            result = LfWriteWiegand34(m_hPort, m_nChipType, values.first, values.second, flags);
            break;
        case 3:
            result = LfWriteWiegand34NC(m_hPort, m_nChipType, values.first, values.second, flags);
            break;
        case 4:
            result = LfWriteWiegand35(m_hPort, m_nChipType, values.first, values.second, flags);
            break;
        case 5:
            result = LfWriteWiegand36(m_hPort, m_nChipType, values.first, values.second,
                                      values.extra, flags);
            break;
        default:
            result = LfWriteWiegand37(m_hPort, m_nChipType, values.first, values.second, flags);
            break;
    }
    if (result == -1) {
        ShowWriteError(LfGetLastError(m_hPort));
        return false;
    }
    return true;
}

bool COrvexFSKDlg::VerifyWritten(int facility, const QString& customer, int fixed) {
    const CardValues expected =
        SplitCardValues(m_nFormat, facility, ParseNumber64(customer), fixed);
    CardValues found;
    if (ReadFormatFields(found.first, found.second, found.extra) != 0) {
        const int code = LfGetLastError(m_hPort);
        ShowStatusMsg(code == kErrTimeout ? kStrReaderSilent : kStrVerifyUnreadable);
    } else {
        if (m_nFormat != 5) found.extra = 0;
        if (found == expected) return true;
        ShowStatusMsg(kStrVerifyMismatch);
    }
    // The operator may have to redo this card by hand; the list names it.
    m_strErrorLog += m_strStatus + ": " + CardText(facility, customer) + ' ' +
                     ChipName(m_nChipType).trimmed() + ' ' + m_strUid + "\r\n";
    return false;
}

void COrvexFSKDlg::ShowWriteError(int code) {
    switch (code) {
        case kErrTimeout:
            ShowStatusMsg(kStrReaderSilent);
            return;
        case kErrChecksum:
            ShowStatusMsg(kStrChecksum);
            return;
        case kErrNotPossible:
        case kErrChipNotSupported:
            ShowStatusMsg(kStrWrongChip);
            return;
        case kStatusWriteProtected:
            ShowStatusMsg(kStrWriteProtected);
            return;
        case kStatusAccessDenied:
            ShowStatusMsg(kStrLocked);
            return;
        case kStatusNoTransponder:
            // The reader found no chip to write; the one just identified may still be there
            // but answer in no receive mode (a password, another system's configuration).
            ShowStatusMsg(ChipStillAnswers() ? kStrNotWritable : kStrNoTransponder);
            return;
        default:
            ShowStatusText(LoadString(kStrWriteError).arg(code));
            return;
    }
}

bool COrvexFSKDlg::ChipStillAnswers() {
    if (m_nChipType == kChipAta5575M2) {
        unsigned char config = 0;
        return LfReadBlocks(m_hPort, kChipAta5575M2, 16, &config, 1) == 1;
    }
    std::array<unsigned char, 8> buffer{};
    return LfReadChipId(m_hPort, m_nChipType, buffer.data(), static_cast<int>(buffer.size())) >= 4;
}

void COrvexFSKDlg::ShowNoTransponder() {
    ShowStatusMsg(LfGetLastError(m_hPort) == kErrTimeout ? kStrReaderSilent : kStrNoTransponder);
}

QString COrvexFSKDlg::CardText(int facility, const QString& customer) const {
    const QString format = IsCardFormat(m_nFormat) ? kCardFormats[m_nFormat].logName : "";
    if (!FormatHasFacility(m_nFormat)) return LoadString(kStrCardNoFacility).arg(format, customer);
    return LoadString(kStrCard).arg(format).arg(facility).arg(customer);
}

void COrvexFSKDlg::StoreNextNumber(const QString& number) {
    m_settingsWriter->PutString("Settings", "CustomerNr", number);
}

bool COrvexFSKDlg::WriteCurrentCard(bool inSeries) {
    const QString written = m_strCustomerNr;
    const std::int64_t number = ParseNumber64(written);
    // The next number is stored before the chip is written: a station killed during the
    // write starts again after this number, never with one that a chip may already hold.
    // The file is written meanwhile on a worker thread; the chip holds the new card only
    // once its configuration, the last block, is written, and the write is counted only
    // after the number is in the file.
    const bool raise =
        m_bAutoIncrement != 0 && number < kCardFormats[kCardFormatCount - 1].maxCustomer;
    StoreNextNumber(raise ? QString::number(static_cast<long long>(number + 1)) : written);
    bool ok = WriteTransponder(m_nFacilityCode, written, m_nFixedField, m_bLock != 0);
    m_settingsWriter->WaitUntilWritten();
    const bool verified = ok && m_bVerify != 0;
    if (verified) ok = VerifyWritten(m_nFacilityCode, written, m_nFixedField);
    if (!ok) {
        StoreNextNumber(written);
        // The failed chip is tried again only after it was away.
        if (inSeries) ShowStatusText(m_strStatus + " - " + LoadString(kStrLayAgain));
        return false;
    }
    // The number field already shows the next number, so the status names the card written.
    QString status = LoadString(kStrWriteDone) + ": " + CardText(m_nFacilityCode, written);
    if (verified) status += ", " + LoadString(kStrVerified);
    ShowStatusText(status);
    if (inSeries && m_nChipType == kChipAta5575M2) ReadFieldsForCheck(m_nLastId);
    if (m_bWriteLog != 0) WriteLogLine(m_strWriteLogFile, LockText(m_bLock));
    SignalSuccess();
    m_settingsWriter->PutInt("Settings", "Anzahl", m_nCount);
    return true;
}

void COrvexFSKDlg::ShowCount() {
    m_ui->countEdit->setText(QString::number(m_nCount));
}

void COrvexFSKDlg::SignalSuccess() {
    if (m_nSoundType == 2) {
        if (!m_strSoundSuccess.isEmpty()) m_signals->PlayWaveFile(m_strSoundSuccess, false);
    } else if (m_nSoundType == 1) {
        m_signals->PlayTone(440, m_nBeepTime);
    }
    ++m_nCount;
    ShowCount();
}

void COrvexFSKDlg::SignalFailure() {
    if (m_nSoundType == 2) {
        if (!m_strSoundFailure.isEmpty()) m_signals->PlayWaveFile(m_strSoundFailure, false);
    } else if (m_nSoundType == 1) {
        for (int frequency : {1000, 2000, 1000, 2000}) m_signals->PlayTone(frequency, 200);
    }
}

void COrvexFSKDlg::IncrementCustomerNr() {
    // Saturates rather than overflow on a number no format holds.
    const std::int64_t number = ParseNumber64(m_strCustomerNr);
    if (number < std::numeric_limits<std::int64_t>::max())
        m_strCustomerNr = QString::number(static_cast<long long>(number + 1));
    m_ui->customerEdit->setText(m_strCustomerNr);
}

void COrvexFSKDlg::OnWriteOnce() {
    if (IsBusy()) return;
    const BusyScope busy(*this);
    if (!ExchangeData(true)) return;
    if (!RequireReader()) return;
    m_nLastId = 0;
    switch (DetectTransponder()) {
        case kNone:
            ShowNoTransponder();
            break;
        case kProtected:
            ShowStatusMsg(kStrWriteProtected);
            ExchangeData(false);
            LfResetField(m_hPort, 0);
            return;
        default:
            if (WriteCurrentCard(false) && m_bAutoIncrement != 0) IncrementCustomerNr();
            break;
    }
    ExchangeData(false);
}

void COrvexFSKDlg::StopWriteSeries(bool showSummary) {
    if (m_nWriteTimer != 0) {
        killTimer(m_nWriteTimer);
        m_nWriteTimer = 0;
    }
    // Out of background mode, so that a following single run cannot be started twice
    // during its wait.
    if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
    EnableControls(true);
    if (showSummary) ShowStatusText(LoadString(kStrSeriesDone).arg(m_nCount));
}

void COrvexFSKDlg::OnWriteCyclic() {
    if (DeferWhileBusy([this] { OnWriteCyclic(); })) return;
    QPushButton* toggle = m_ui->writeCyclicButton;
    if (!toggle->isChecked()) {
        // Stopping never passes the input checks of a start: a value refused there must
        // not keep a series running.
        if (m_nWriteTimer == 0) {
            if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
            return;
        }
        StopWriteSeries(true);
        ShowErrorLog();
        return;
    }
    if (m_nWriteTimer != 0) return;
    if (!ExchangeData(true) || !RequireReader()) {
        toggle->setChecked(false);
        return;
    }
    if (m_bStopAtEnd != 0 && ParseNumber64(m_strEndValue) < ParseNumber64(m_strCustomerNr)) {
        toggle->setChecked(false);
        ShowMessage(LoadString(kStrEndBelowStart));
        m_ui->endValueEdit->setFocus();
        return;
    }
    if (m_bStopAtCount != 0 && m_nStopCount <= 0) {
        toggle->setChecked(false);
        ShowMessage(LoadString(kStrCountZero));
        m_ui->stopCountEdit->setFocus();
        return;
    }
    m_strErrorLog.clear();
    m_nLastId = 0;
    m_nCount = 0;
    m_bReaderSilent = false;
    ShowCount();
    LfSetBackgroundMode(m_hPort, 1);
    m_nWriteTimer = startTimer(m_nCycleTime, Qt::PreciseTimer);
    SetLampView(true);
    EnableControls(false);
    toggle->setEnabled(true);
}

void COrvexFSKDlg::OnWriteTick() {
    const int detected = DetectTransponder();
    if (detected == kNone) {
        // A reader that stopped answering is reported at once, not after the last success.
        const bool silent = LfGetLastError(m_hPort) == kErrTimeout;
        if (silent && !m_bReaderSilent) ShowStatusMsg(kStrReaderSilent);
        if (!silent && m_bReaderSilent) ShowStatusText("");
        m_bReaderSilent = silent;
        if (m_dwAbsentSince != 0 && m_nLastId != 0) {
            ShowLamps(1);
            if (TickCount() - m_dwAbsentSince > kAbsentForgetMs) {
                m_nLastId = 0;
                m_dwAbsentSince = 0;
            }
        } else if (m_nLastId != 0) {
            m_dwAbsentSince = TickCount();
        }
        return;
    }
    if (m_bReaderSilent) {
        m_bReaderSilent = false;
        ShowStatusText("");
    }
    m_dwAbsentSince = 0;
    if (detected == kProtected) {
        ShowStatusMsg(kStrWriteProtected);
        ExchangeData(false);
        LfResetField(m_hPort, 0);
        return;
    }
    if (detected == kSame) return;

    ShowLamps(2);
    if (!WriteCurrentCard(true)) {
        ShowLamps(1);
        SignalFailure();
        ExchangeData(false);
        return;
    }
    ShowLamps(3);

    const std::int64_t written = ParseNumber64(m_strCustomerNr);
    bool stop = false;
    if (m_bStopAtCount != 0)
        stop = m_nCount >= m_nStopCount;
    else if (m_bStopAtEnd != 0)
        stop = written >= ParseNumber64(m_strEndValue);
    // The next number would not fit the format: the series ends here, as at an end value.
    const std::int64_t largest = kCardFormats[m_nFormat].maxCustomer;
    const bool pastLimit = m_bAutoIncrement != 0 && written >= largest;
    if (m_bAutoIncrement != 0) IncrementCustomerNr();
    ExchangeData(false);
    if (stop || pastLimit) {
        StopWriteSeries(true);
        m_ui->writeCyclicButton->setChecked(false);
        if (pastLimit)
            ShowMessage(
                FormatMessage(LoadString(kStrValueTooLarge), static_cast<long long>(largest)));
        ShowErrorLog();
    }
}
