#include "AppTest.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

#include "station/register/CardRegister.h"

namespace apptest {

namespace {

QTemporaryDir& ScratchDir() {
    static QTemporaryDir dir;
    return dir;
}

}  // namespace

void PrepareEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString root = ScratchDir().path();
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/runtime");
    QDir().mkpath(root + "/data");
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/runtime"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + "/config");
}

QString SettingsFile() {
    return ScratchDir().path() + "/config/Qor Applikationen/Orvex-FSK.ini";
}

void ClearSettings() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Qor Applikationen",
                       "Orvex-FSK");
    settings.clear();
    settings.sync();
    ClearRegister();
}

void ClearRegister() {
    const QString file = station::DefaultRegisterFile();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(file + suffix);
}

ModalWatcher::ModalWatcher(QMessageBox::StandardButton answer) : m_answer(answer) {
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::Check);
    m_timer.start(5);
}

void ModalWatcher::Clear() {
    m_messages.clear();
    m_defaults.clear();
    m_dialogs.clear();
}

void ModalWatcher::Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_messages << box->text();
        m_defaults << box->standardButton(box->defaultButton());
        QAbstractButton* button = box->button(m_answer);
        if (button == nullptr)
            button = box->escapeButton() != nullptr
                         ? box->escapeButton()
                         : static_cast<QAbstractButton*>(box->defaultButton());
        if (button != nullptr)
            button->click();
        else
            box->reject();
        return;
    }
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (dialog == nullptr) return;
    // A dialog stays open while its handler is busy in a nested loop; see it only once.
    if (dialog == m_lastSeen) return;
    m_lastSeen = dialog;
    m_dialogs << dialog->windowTitle();
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
        if (m_lastSeen == dialog) m_lastSeen = nullptr;
    });
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (m_lastSeen == dialog) m_lastSeen = nullptr;
    });
    if (!m_handler || !m_handler(dialog)) dialog->reject();
}

}  // namespace apptest
