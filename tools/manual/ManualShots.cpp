// manual-shots: takes the manuals' screenshots of the real windows, on the offscreen platform,
// in German and English: the station connected to an in-process virtual reader before and
// after a card was written and read, the card register's window and settings, the interface
// and signal dialogs, the language choice, and the virtual reader's panel.
// usage: manual-shots OUTPUT_FOLDER ENGLISH_LANGUAGE_FILE
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "CardFeeder.h"
#include "ControlId.h"
#include "FreshChip.h"
#include "HoldersWindow.h"
#include "LanguageResources.h"
#include "OrvexFSKDlg.h"
#include "ReaderAnnouncement.h"
#include "Settings.h"
#include "SimPanel.h"
#include "VirtualReader.h"
#include "dialogs/BeepTimeDlg.h"
#include "dialogs/PortSelectDlg.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "dialogs/SprachDlg.h"
#include "station/register/Holders.h"

namespace {

constexpr int kAta5577 = 9;

// Ends the program with the shot's name when a shot takes longer than its limit. A run that
// waits for ever (a question nobody answers, a number that does not advance) would otherwise
// hang the build; a thread of its own watches, since the hang may be in a nested event loop.
class ShotTimer {
  public:
    explicit ShotTimer(std::chrono::seconds limit) : m_limit(limit), m_thread([this] { Watch(); }) {}
    ~ShotTimer() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    ShotTimer(const ShotTimer&) = delete;
    ShotTimer& operator=(const ShotTimer&) = delete;

    // The shot named is prepared and taken from now on.
    void Start(const QString& name) {
        const std::lock_guard lock(m_mutex);
        m_name = name.toStdString();
        m_deadline = std::chrono::steady_clock::now() + m_limit;
        m_wake.notify_all();
    }

  private:
    void Watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (m_name.empty()) {
                m_wake.wait(lock);
            } else if (m_wake.wait_until(lock, m_deadline) == std::cv_status::timeout &&
                       !m_stop && std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "manual-shots: the shot %s did not finish within %lld s\n",
                             m_name.c_str(), static_cast<long long>(m_limit.count()));
                std::_Exit(1);
            }
        }
    }

    const std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_name;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_stop = false;
    std::thread m_thread;
};

ShotTimer* g_shotTimer = nullptr;

// Lets the window lay itself out and paint, and runs what the event loop has queued.
void Settle(int milliseconds = 150) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Starts the time limit of the shot name; what is prepared for it comes after.
void Begin(const QString& name) {
    if (g_shotTimer != nullptr) g_shotTimer->Start(name);
}

bool Shoot(QWidget& window, const QString& folder, const QString& name) {
    Begin(name);
    window.show();
    Settle();
    const QString path = QDir(folder).filePath(name + ".png");
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "manual-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    window.hide();
    return true;
}

void Click(QWidget& window, const char* objectName) {
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(objectName));
    if (button == nullptr) qFatal("manual-shots: no button %s", objectName);
    button->click();
    Settle(300);
}

bool ShootLanguage(const QString& folder, const QString& language, vsim::VirtualReader& reader) {
    bool ok = true;
    {
        Begin("station-" + language);
        COrvexFSKDlg station;
        station.OnInitDialog();
        ok &= Shoot(station, folder, "station-" + language);
        Begin("station-written-" + language);
        reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        station.show();
        Click(station, "writeOnceButton");
        Click(station, "readOnceButton");
        ok &= Shoot(station, folder, "station-written-" + language);
        reader.Engine().RemoveTransponder();
        if (station.Register() == nullptr) {
            std::fprintf(stderr, "manual-shots: the station has no card register\n");
            return false;
        }
        Begin("register-" + language);
        CRegisterDlg registerWindow(*station.Register());
        registerWindow.show();
        Settle();
        // The card written above selected, so that its history shows below the table.
        auto* table = ControlById<QTableView>(&registerWindow, CRegisterDlg::IDC_TABLE);
        if (table == nullptr) qFatal("manual-shots: the register window has no table");
        table->selectRow(0);
        ok &= Shoot(registerWindow, folder, "register-" + language);

        // Cards for people: three holders.
        Begin("holders-" + language);
        const QStringList names{"Anna Berg", "Bert Carl", "Carla Dorn"};
        for (int index = 0; index < names.size(); ++index) {
            station::Holder holder;
            holder.personnelNumber = QString("P%1").arg(100 + index);
            holder.name = names[index];
            holder.department = index < 2 ? QStringLiteral("Werk 1") : QStringLiteral("Werk 2");
            std::optional<station::Holder> stored;
            if (station.Register()->FindHolder(holder.personnelNumber, stored) && stored) continue;
            if (!station.Register()->SaveHolder(holder)) qFatal("manual-shots: holder not saved");
        }
        // The holder field with a holder chosen for the next card.
        std::optional<station::Holder> anna;
        if (station.Register()->FindHolder(QStringLiteral("P100"), anna) && anna)
            station.ChooseHolder(*anna);
        ok &= Shoot(station, folder, "holder-field-" + language);
        CHoldersWindow holdersWindow(*station.Register());
        holdersWindow.show();
        Settle();
        ControlById<QTableWidget>(&holdersWindow, CHoldersWindow::IDC_HOLDERS)->selectRow(0);
        ok &= Shoot(holdersWindow, folder, "holders-" + language);
    }
    {
        Begin("register-settings-" + language);
        CRegisterSettingsDlg dialog;
        dialog.show();
        // The default file an installed station shows, not the build's scratch folder.
        const QString file = QStringLiteral(
            "/home/operator/.local/share/Qor Applikationen/Orvex-FSK/register.sqlite");
        ControlById<QLabel>(&dialog, CRegisterSettingsDlg::IDC_DEFAULT_FILE)->setText(file);
        ControlById<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_FILE)->setPlaceholderText(file);
        ok &= Shoot(dialog, folder, "register-settings-" + language);
    }
    {
        CPortSelectDlg dialog;
        ok &= Shoot(dialog, folder, "interface-" + language);
    }
    {
        CBeepTimeDlg dialog;
        ok &= Shoot(dialog, folder, "signals-" + language);
    }
    {
        CSprachDlg dialog;
        ok &= Shoot(dialog, folder, "language-" + language);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: manual-shots OUTPUT_FOLDER ENGLISH_LANGUAGE_FILE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The station's settings go to a folder of their own, never the user's.
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(profile.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(profile.path() + "/data"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(profile.path()));
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Qor Applikationen");
    QApplication::setApplicationName("Orvex-FSK");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, profile.path() + "/config");
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // Each shot takes about a second, under the address sanitizer a few.
    ShotTimer shotTimer(std::chrono::seconds(60));
    g_shotTimer = &shotTimer;

    vsim::VirtualReader reader;
    reader.Engine().SetVersion("243c");
    if (!reader.Start()) {
        std::fprintf(stderr, "manual-shots: cannot start the virtual reader\n");
        return 1;
    }
    // Announced as the virtual reader program does, so the interface choice shows it by
    // name, picked, as a trainee sees it.
    vsim::ReaderAnnouncement announcement;
    if (!announcement.Announce(reader.Path(), "Virtual reader")) {
        std::fprintf(stderr, "manual-shots: cannot announce the virtual reader\n");
        return 1;
    }
    PutSettingString("Port", "Name", QString::fromStdString(reader.Path()) + " [Virtual reader]");
    PutSettingInt("Settings", "SoundTyp", 0);
    PutSettingInt("Version", "Update", 0);
    PutSettingString("Settings", "CustomerNr", "1001");
    // The log paths an installed station shows, not the build folder's.
    const QString logDir =
        QStringLiteral("/home/operator/.local/share/Qor Applikationen/Orvex-FSK/");
    PutSettingString("Protokoll", "ReadLogFileName", logDir + "Protokoll_L.txt");
    PutSettingString("Protokoll", "WriteLogFileName", logDir + "Protokoll_S.txt");

    bool ok = true;
    CLanguageResources language;
    for (const QString& code : {QStringLiteral("de"), QStringLiteral("en")}) {
        PutSettingInt("Settings", "Sprache", code == "en" ? 1 : 0);
        if (code == "en") {
            CLanguageResources::SetFileOverride(QString::fromLocal8Bit(argv[2]));
            if (!language.Load()) {
                std::fprintf(stderr, "manual-shots: cannot load %s\n", argv[2]);
                return 1;
            }
        }
        ok &= ShootLanguage(folder, code, reader);
    }

    vsim::CardFeeder feeder(reader.Engine());
    reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    vsim::panel::SimPanel panel(reader.Engine(), feeder, QString::fromStdString(reader.Path()));
    ok &= Shoot(panel, folder, "reader-panel");
    feeder.Stop();
    reader.Stop();
    return ok ? 0 : 1;
}
