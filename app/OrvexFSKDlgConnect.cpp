// The main window's reader connection and its title, and the reader found again after its
// line went away.
#include <QTimer>
#include <array>

#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "ProgramInfo.h"
#include "ReaderVersion.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/PortSelectDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrNoAnswer = 110;
constexpr int kStrBadTimeout = 135;
constexpr int kStrCannotOpen = 121;
constexpr int kStrUnknownError = 10002;
constexpr int kStrWrongVersionLength = 108;
constexpr int kStrUnsupportedDevice = 109;
constexpr int kStrFirmware = 124;
constexpr int kStrAppTitle = 57344;

constexpr int kOpenNoAnswer = LF_OPEN_NO_ANSWER;
constexpr int kOpenBadTimeout = LF_OPEN_BAD_TIMEOUT;
constexpr int kOpenFailed = LF_OPEN_FAILED;

constexpr int kStrTriedInterface = 11310;
constexpr int kStrReaderGone = 11916;
constexpr int kStrReaderBack = 11917;
// How often a reader that went away is looked for on its interface.
constexpr int kReopenIntervalMs = 2000;

// A connection message names the interface it tried: at the first start, or after the
// reader's line changed, the operator cannot guess which one that was. The device address
// the port string carries after its last colon is left off.
QString TriedInterface(const QString& openName) {
    const qsizetype colon = openName.lastIndexOf(':');
    const QString name = colon > 0 ? openName.left(colon) : openName;
    return "\n" + LoadString(kStrTriedInterface).arg(name);
}

void ShowOpenError(int result, const QString& openName) {
    QString text;
    switch (result) {
        case kOpenNoAnswer:
            text = LoadString(kStrNoAnswer);
            break;
        case kOpenBadTimeout:
            text = LoadString(kStrBadTimeout);
            break;
        case kOpenFailed:
            text = LoadString(kStrCannotOpen);
            break;
        default:
            text = FormatMessage(LoadString(kStrUnknownError), -result);
            break;
    }
    ShowMessage(text + TriedInterface(openName));
}

}  // namespace

bool COrvexFSKDlg::ConnectReader(bool silent) {
    // The reader to go back to when the operator cancels the interface dialog: only OK
    // changes the connection. The line is closed meanwhile, since the dialog's own actions
    // (switching a USB reader's mode) may need it.
    const bool hadReader = m_hPort != 0;
    const QString previousOpenName = m_strOpenName;
    const QString previousStoredName = m_strStoredName;
    const bool previousLan = m_bLanReader;
    if (m_hPort != 0) {
        LfClosePort(m_hPort);
        m_hPort = 0;
    }
    for (;;) {
        CPortSelectDlg portDialog(this);
        if (!silent && portDialog.exec() != QDialog::Accepted) {
            if (hadReader && OpenReader(previousOpenName, previousLan)) {
                m_strStoredName = previousStoredName;
                PutSettingString("Port", "Name", previousStoredName);
                return true;
            }
            m_strVersion.clear();
            m_strDeviceText.clear();
            return false;
        }
        if (OpenReader(portDialog.GetOpenName(), portDialog.m_bIsLan)) {
            m_strStoredName = GetSettingString("Port", "Name", "");
            return true;
        }
        silent = false;
    }
}

bool COrvexFSKDlg::OpenReader(const QString& openName, bool isLan) {
    const QByteArray name = openName.toUtf8();
    const int timeout = GetSettingInt("Port", "Timeout", 300);
    int result = LfOpenPort(name.constData(), 19200, 0, timeout);
    if (!isLan && result == kOpenNoAnswer) result = LfOpenPort(name.constData(), 9600, 0, timeout);
    m_bLanReader = isLan;
    m_hPort = result > 0 ? result : 0;

    if (result < 1) {
        ShowOpenError(result, openName);
    } else if (QueryReaderVersion(openName)) {
        LfSetDeviceMode(m_hPort, 0);
        m_strOpenName = openName;
        return true;
    } else {
        LfClosePort(m_hPort);
        m_hPort = 0;
    }
    m_strVersion.clear();
    m_strDeviceText.clear();
    return false;
}

bool COrvexFSKDlg::QueryReaderVersion(const QString& openName) {
    std::array<unsigned char, 5> raw{};
    std::array<char, 30> text{};
    const int count = LfGetVersion(m_hPort, raw.data(), static_cast<int>(raw.size()), text.data(),
                                   static_cast<int>(text.size()));
    if (count == -1) {
        ShowMessage(LoadString(kStrNoAnswer) + TriedInterface(openName));
        return false;
    }
    if (count != 4) {
        ShowMessage(LoadString(kStrWrongVersionLength));
        return false;
    }
    // The designation text is cut at its terminator, and never read past the buffer.
    const QString designation = QString::fromLatin1(
        text.data(), static_cast<qsizetype>(qstrnlen(text.data(), text.size())));
    const char* version = reinterpret_cast<const char*>(raw.data());
    m_strVersion = QString::fromLatin1(version, static_cast<qsizetype>(qstrnlen(version, 4)));
    if (!IsSupportedDevice(m_strVersion)) {
        ShowMessage(
            FormatMessage(LoadString(kStrUnsupportedDevice), designation.toUtf8().constData()));
        return false;
    }
    m_strDeviceText = designation;
    return true;
}

void COrvexFSKDlg::UpdateTitle() {
    QString firmware;
    if (m_strVersion.size() == 4)
        firmware = FormatMessage(LoadString(kStrFirmware), 1, FirmwareDigitValue(m_strVersion[3]));
    QString title = LoadString(kStrAppTitle) + " V" + GetProgramVersion();
    // Without a reader there is nothing to name in the brackets.
    if (!m_strDeviceText.isEmpty() || !firmware.isEmpty())
        title += " <" + m_strDeviceText + "  " + firmware + ">";
    setWindowTitle(title);
}

void COrvexFSKDlg::OnLanConfig() {
    StopRuns();
    if (m_hPort != 0) {
        LfClosePort(m_hPort);
        m_hPort = 0;
    }
    if (m_bLanReader) {
        const CPortSelectDlg current(this);
        QString newAddress;
        if (RunLanConfigDialog(current.GetOpenName(), newAddress))
            PutSettingString("Port", "Name", "LAN: " + newAddress);
    }
    ConnectReader(true);
    // The window shows the reader it is connected to now, as after the interface command.
    ShowConnectedReader();
}

void COrvexFSKDlg::CheckReaderLine() {
    m_lineCheckQueued = false;
    if (m_hPort == 0 || m_strOpenName.isEmpty()) return;
    if (DeferWhileBusy([this] { CheckReaderLine(); })) return;
    {
        const BusyScope busy(*this);
        std::array<unsigned char, 5> raw{};
        std::array<char, 30> text{};
        if (LfGetVersion(m_hPort, raw.data(), static_cast<int>(raw.size()), text.data(),
                         static_cast<int>(text.size())) == 4)
            return;
    }
    // The line is dead (a restarted virtual reader, an unplugged USB reader, a network
    // reader gone): the runs end, and the interface is opened again, now or once it is back.
    StopRuns();
    LfClosePort(m_hPort);
    m_hPort = 0;
    if (ReopenReader()) {
        ShowStatusText(LoadString(kStrReaderBack));
        return;
    }
    ShowStatusText(LoadString(kStrReaderGone));
    if (m_reopenTimer == nullptr) {
        m_reopenTimer = new QTimer(this);
        connect(m_reopenTimer, &QTimer::timeout, this, &COrvexFSKDlg::RetryReader);
    }
    m_reopenTimer->start(kReopenIntervalMs);
}

void COrvexFSKDlg::RetryReader() {
    // The operator chose an interface meanwhile, or a run holds the station: not now.
    if (m_hPort != 0) {
        m_reopenTimer->stop();
        return;
    }
    if (IsBusy() || !ReopenReader()) return;
    m_reopenTimer->stop();
    ShowStatusText(LoadString(kStrReaderBack));
}

bool COrvexFSKDlg::ReopenReader() {
    const BusyScope busy(*this);
    const QByteArray name = m_strOpenName.toUtf8();
    const int timeout = GetSettingInt("Port", "Timeout", 300);
    int handle = LfOpenPort(name.constData(), 19200, 0, timeout);
    if (!m_bLanReader && handle == kOpenNoAnswer)
        handle = LfOpenPort(name.constData(), 9600, 0, timeout);
    if (handle < 1) return false;
    std::array<unsigned char, 5> raw{};
    std::array<char, 30> text{};
    if (LfGetVersion(handle, raw.data(), static_cast<int>(raw.size()), text.data(),
                     static_cast<int>(text.size())) != 4) {
        LfClosePort(handle);
        return false;
    }
    m_hPort = handle;
    LfSetDeviceMode(m_hPort, 0);
    return true;
}
