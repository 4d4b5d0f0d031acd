// The About dialog: program and SDK versions, the logo, the maker's links, and the update
// line, which reports the update check and, while a newer version is offered, downloads and
// starts its installer on a click. The download shows its progress and can be cancelled.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}
class QColor;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 100;
    static constexpr int IDC_TITLE = 101;
    static constexpr int IDC_LOGO = 102;
    static constexpr int IDC_MAIL = 103;
    static constexpr int IDC_WEB = 104;
    static constexpr int IDC_SDK_VERSION = 105;
    static constexpr int IDC_UPDATE = 106;
    static constexpr int IDC_AUTO_UPDATE = 1058;
    static constexpr int IDC_DOWNLOAD_PROGRESS = 110;
    static constexpr int IDC_CANCEL_DOWNLOAD = 111;

    explicit CAboutDlg(QWidget* parent);
    ~CAboutDlg() override;

    // OK, Cancel and the close for the installer all store the automatic-check choice; a
    // running installer download is cancelled.
    void done(int result) override;

  protected:
    void customEvent(QEvent* event) override;

  private:
    void OnUpdateCheckDone();
    void OnUpdateLineClicked();
    void ShowUpdateLine(const QString& text, const QColor& colour, bool offer);
    void OnInstallerProgress(qint64 received, qint64 total);
    void OnInstallerDownloaded(const QString& path);

    std::unique_ptr<Ui::CAboutDlg> m_ui;
    // The offer's text while its installer is being downloaded; "" otherwise.
    QString m_strOffer;
};
