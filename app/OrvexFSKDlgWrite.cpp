// The main window's write runs: write once and the write series with its lamps and signals.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPushButton>
#include <array>
#include <cstdint>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "SignalOutput.h"
#include "StringTable.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrNoTransponder = 111;
constexpr int kStrWriteProtected = 128;
constexpr int kStrWriteDone = 119;
constexpr int kStrEndBelowStart = 10086;
constexpr int kStrCountZero = 10087;

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
        }
        return false;
    };
    int mode = 2;
    if (!readConfigIn(mode)) {
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
    const int flags = lock ? kLockFlags : 0;
    const int low32 = static_cast<int>(static_cast<std::uint32_t>(number));
    int result = 0;
    switch (m_nFormat) {
        case 0:
            result = LfWriteWiegand26(m_hPort, m_nChipType, facility, low32, flags);
            break;
        case 1:
            result = LfWriteWiegand26(m_hPort, m_nChipType, static_cast<int>((number >> 16) & 0xFF),
                                      static_cast<int>(number & 0xFFFF), flags);
            break;
        case 2:
            result = LfWriteWiegand34(m_hPort, m_nChipType, facility, low32, flags);
            break;
        case 3:
            result = LfWriteWiegand34NC(m_hPort, m_nChipType, facility, low32, flags);
            break;
        case 4:
            result = LfWriteWiegand35(m_hPort, m_nChipType, facility, low32, flags);
            break;
        case 5:
            result = LfWriteWiegand36(m_hPort, m_nChipType, facility, low32, fixed, flags);
            break;
        case 6:
            result = LfWriteWiegand37(m_hPort, m_nChipType, facility, low32, flags);
            break;
        case 7:
            result =
                LfWriteWiegand37(m_hPort, m_nChipType, static_cast<int>((number >> 19) & 0xFFFF),
                                 static_cast<int>(number & 0x7FFFF), flags);
            break;
        default:
            return true;
    }
    if (result == -1) {
        ShowStatusMsg(kStrNoTransponder);
        return false;
    }
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
    m_strCustomerNr = QString::number(static_cast<long long>(ParseNumber64(m_strCustomerNr) + 1));
    m_ui->customerEdit->setText(m_strCustomerNr);
}

void COrvexFSKDlg::OnWriteOnce() {
    if (!ExchangeData(true)) return;
    m_nLastId = 0;
    switch (DetectTransponder()) {
        case kNone:
            ShowStatusMsg(kStrNoTransponder);
            break;
        case kProtected:
            ShowStatusMsg(kStrWriteProtected);
            ExchangeData(false);
            LfResetField(m_hPort, 0);
            return;
        default:
            if (WriteTransponder(m_nFacilityCode, m_strCustomerNr, m_nFixedField, m_bLock != 0)) {
                ShowStatusMsg(kStrWriteDone);
                if (m_bWriteLog != 0) WriteLogLine(m_strWriteLogFile, LockText(m_bLock));
                if (m_bAutoIncrement != 0) IncrementCustomerNr();
                SignalSuccess();
            }
            break;
    }
    ExchangeData(false);
}

void COrvexFSKDlg::OnWriteCyclic() {
    QPushButton* toggle = m_ui->writeCyclicButton;
    if (!ExchangeData(true)) {
        toggle->setChecked(false);
        return;
    }
    if (!toggle->isChecked()) {
        LfSetBackgroundMode(m_hPort, 0);
        if (m_nWriteTimer != 0) {
            killTimer(m_nWriteTimer);
            m_nWriteTimer = 0;
            EnableControls(true);
            ShowErrorLog();
        }
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
    m_dwAbsentSince = 0;
    if (detected == kProtected) {
        ShowStatusMsg(kStrWriteProtected);
        ExchangeData(false);
        LfResetField(m_hPort, 0);
        return;
    }
    if (detected == kSame) return;

    ShowLamps(2);
    if (!WriteTransponder(m_nFacilityCode, m_strCustomerNr, m_nFixedField, m_bLock != 0)) {
        ShowLamps(1);
        SignalFailure();
        ExchangeData(false);
        return;
    }
    ShowStatusMsg(kStrWriteDone);
    ShowLamps(3);
    if (m_nChipType == kChipAta5575M2) ReadFieldsForCheck(m_nLastId);
    if (m_bWriteLog != 0) WriteLogLine(m_strWriteLogFile, LockText(m_bLock));
    SignalSuccess();

    bool stop = false;
    if (m_bStopAtCount != 0)
        stop = m_nCount >= m_nStopCount;
    else if (m_bStopAtEnd != 0)
        stop = ParseNumber64(m_strCustomerNr) >= ParseNumber64(m_strEndValue);
    if (stop && m_nWriteTimer != 0) {
        killTimer(m_nWriteTimer);
        m_nWriteTimer = 0;
        EnableControls(true);
        m_ui->writeCyclicButton->setChecked(false);
    }
    if (m_bAutoIncrement != 0) IncrementCustomerNr();
    ExchangeData(false);
    if (stop) {
        // A series that ends by itself leaves the reader as the operator's toggle does: out
        // of background mode, so a following single write cannot be started twice during
        // its wait, and with the log failures shown before the next series would drop them.
        LfSetBackgroundMode(m_hPort, 0);
        ShowErrorLog();
    }
}
