// The signal and cycle settings dialog: how the station signals a finished transponder
// operation (nothing, a tone of a given length, or wave files for success and failure) and
// the period of the cyclic reads and writes. Reads its keys from section "Settings" when it
// opens and stores them on OK.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class CSignalOutput;
class QLineEdit;

namespace Ui {
class CBeepTimeDlg;
}

class CBeepTimeDlg : public QDialog {
    Q_OBJECT
  public:
    // Control ids.
    static constexpr int IDC_BEEPTIME = 1002;
    static constexpr int IDC_ZYKLUSZEIT = 1003;
    static constexpr int IDC_SOUND_NONE = 1033;
    static constexpr int IDC_SOUND_SPEAKER = 1034;
    static constexpr int IDC_SOUND_FILE = 1035;
    static constexpr int IDC_SOUND_ERFOLG = 1036;
    static constexpr int IDC_BROWSE_ERFOLG = 1037;
    static constexpr int IDC_SOUND_FEHLER = 1038;
    static constexpr int IDC_BROWSE_FEHLER = 1039;
    static constexpr int IDC_PLAY_ERFOLG = 1040;
    static constexpr int IDC_PLAY_FEHLER = 1041;

    // The play buttons sound through output, which must outlive the dialog.
    explicit CBeepTimeDlg(QWidget* parent = nullptr);
    explicit CBeepTimeDlg(CSignalOutput& output, QWidget* parent = nullptr);
    ~CBeepTimeDlg() override;

    // Loads the settings and fills the fields; runs once, when the window first shows.
    void OnInitDialog();

    // Fields to members (save, with range checks; false when a value is refused, which
    // has been reported and has the focus) or members to fields. Either way the controls
    // are then enabled for the sound type.
    bool UpdateData(bool save);

    // Signal kind: 0 none, 1 tone, 2 wave files; -1 (or any other value) when no radio
    // button is checked.
    int m_nSoundTyp = -1;
    unsigned int m_nBeepTime = 0;
    QString m_strSoundNameErfolg;
    QString m_strSoundNameFehler;
    unsigned int m_nZyklusZeit = 0;

  public Q_SLOTS:
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void EnableForSoundTyp();
    void OnPlay(bool success);
    void OnBrowse(QLineEdit* edit);

    std::unique_ptr<Ui::CBeepTimeDlg> m_ui;
    CSignalOutput& m_output;
    bool m_bInitialised = false;
};
