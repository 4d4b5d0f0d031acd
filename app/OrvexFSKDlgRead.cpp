// The main window's read runs: read once and the cyclic read.
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cstdint>

#include "CardFormats.h"
#include "OrvexFSKDlg.h"
#include "StringTable.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrNoTransponder = 111;
constexpr int kStrReadTimeout = 137;
constexpr int kStrNoFskData = 107;
constexpr int kStrReadError = 106;
constexpr int kStrManchester = 148;
constexpr int kStrBiphase = 149;

constexpr int kErrTimeout = 7;
constexpr int kErrNoData = 14;
constexpr int kErrBadData = 25;
constexpr int kErrNotFsk = 21;

// Keeps painting while the operator sees the emptied fields, without taking input.
void WaitPainting(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

// The chip identification as 64-bit little-endian value (missing bytes 0).
std::uint64_t COrvexFSKDlg::ChipIdValue(const unsigned char* bytes) {
    std::uint64_t id = 0;
    for (int i = 7; i >= 0; --i) id = (id << 8) | bytes[i];
    return id;
}

int COrvexFSKDlg::ReadFormatFields(int& first, int& second, int& extra) {
    // Formats 1 and 7 are read in the standard layouts that carry their numbers.
    switch (m_nFormat) {
        case 0:
        case 1:
            return LfReadWiegand26(m_hPort, &first, &second);
        case 2:
            return LfReadWiegand34(m_hPort, &first, &second);
        case 3:
            return LfReadWiegand34NC(m_hPort, &first, &second);
        case 4:
            return LfReadWiegand35(m_hPort, &first, &second);
        case 5:
            return LfReadWiegand36(m_hPort, &first, &second, &extra);
        case 6:
        case 7:
            return LfReadWiegand37(m_hPort, &first, &second);
        default:
            return -1;
    }
}

bool COrvexFSKDlg::ReadTransponder(int& facility, QString& customer, int& fixed, QString& uid) {
    int a = 0;
    int b = 0;
    int c = 0;
    const int result = ReadFormatFields(a, b, c);
    if (result != 0) {
        ShowReadError(LfGetLastError(m_hPort));
        return false;
    }

    switch (m_nFormat) {
        case 1:
            // The huge formats spread one number over the standard layout's two fields.
            facility = 0;
            customer = QString::number(static_cast<std::int32_t>(
                (static_cast<std::uint32_t>(a) << 16) | static_cast<std::uint32_t>(b)));
            break;
        case 7:
            facility = 0;
            customer = QString::number(static_cast<long long>(
                (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 19) |
                static_cast<std::uint32_t>(b)));
            break;
        default:
            facility = a;
            customer = QString::number(b);
            if (m_nFormat == 5) fixed = c;
            break;
    }

    LfSetReceiveMode(m_hPort, 2);
    std::array<unsigned char, 8> id{};
    if (LfReadChipId(m_hPort, m_nChipType, id.data(), static_cast<int>(id.size())) >= 4)
        uid = QString::number(ChipIdValue(id.data()), 16).toUpper();
    LfResetField(m_hPort, 0);
    return true;
}

void COrvexFSKDlg::ShowReadError(int code) {
    switch (code) {
        case 0:
            return;
        case kErrTimeout:
            ShowStatusMsg(kStrReadTimeout);
            return;
        case kErrNoData:
        case kErrBadData:
            ShowStatusMsg(kStrNoFskData);
            return;
        case kErrNotFsk: {
            std::array<unsigned char, 16> raw{};
            if (LfReadRawData(m_hPort, 0, raw.data(), 8) != -1)
                ShowStatusMsg(kStrManchester);
            else if (LfReadRawData(m_hPort, 1, raw.data(), 16) != -1)
                ShowStatusMsg(kStrBiphase);
            else
                ShowStatusMsg(kStrNoTransponder);
            return;
        }
        default:
            ShowStatusText(FormatMessage(LoadString(kStrReadError), code));
            return;
    }
}

void COrvexFSKDlg::OnReadOnce() {
    if (IsBusy()) return;
    const BusyScope busy(*this);
    if (!ExchangeUnchecked()) return;
    if (!RequireReader()) return;
    for (QLineEdit* field :
         {m_ui->fixedEdit, m_ui->facilityEdit, m_ui->customerEdit, m_ui->uidEdit}) {
        field->clear();
        field->repaint();
    }
    WaitPainting(150);
    if (ReadTransponder(m_nFacilityCode, m_strCustomerNr, m_nFixedField, m_strUid)) {
        if (m_bReadLog != 0) WriteLogLine(m_strReadLogFile, "");
        ShowStatusText("");
    } else {
        // The fields show again what the operator typed; the status line says why the read
        // failed. Only a card read copies its fields.
        m_strUid.clear();
    }
    ExchangeData(false);
}

void COrvexFSKDlg::StopReadRun() {
    if (m_nReadTimer != 0) {
        killTimer(m_nReadTimer);
        m_nReadTimer = 0;
    }
    if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
    EnableControls(true);
}

void COrvexFSKDlg::OnReadCyclic() {
    if (DeferWhileBusy([this] { OnReadCyclic(); })) return;
    QPushButton* toggle = m_ui->readCyclicButton;
    if (!toggle->isChecked()) {
        // Stopping never passes the input checks of a start.
        if (m_nReadTimer == 0) {
            if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
            return;
        }
        StopReadRun();
        ShowErrorLog();
        return;
    }
    if (m_nReadTimer != 0) return;
    if (!ExchangeUnchecked() || !RequireReader()) {
        toggle->setChecked(false);
        return;
    }
    m_strErrorLog.clear();
    LfSetBackgroundMode(m_hPort, 1);
    m_nReadTimer = startTimer(m_nCycleTime, Qt::PreciseTimer);
    EnableControls(false);
    toggle->setEnabled(true);
}

void COrvexFSKDlg::OnReadTick() {
    int facility = m_nFacilityCode;
    QString customer = m_strCustomerNr;
    int fixed = m_nFixedField;
    QString uid;
    if (ReadTransponder(facility, customer, fixed, uid)) {
        if (customer == m_strCustomerNr && facility == m_nFacilityCode && fixed == m_nFixedField)
            return;
        m_strCustomerNr = customer;
        m_nFixedField = fixed;
        m_nFacilityCode = facility;
        m_strUid = uid;
        if (m_bReadLog != 0) WriteLogLine(m_strReadLogFile, "");
        ShowStatusText("");
        ExchangeData(false);
    } else {
        m_strCustomerNr = "0";
        m_nFacilityCode = 0;
        m_nFixedField = 0;
        m_strUid.clear();
        ExchangeData(false);
    }
}
