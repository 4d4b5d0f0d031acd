// The label, bitmap and error-view controls.
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>

#include "ControlId.h"
#include "MakerAddresses.h"
#include "ProgramInfo.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/ShowErrorLog.h"
#include "support/AppTest.h"
#include "widgets/BitmapStatic.h"
#include "widgets/Label.h"

namespace {

const QColor kBackground(0, 128, 0);

// A parent that paints a solid colour and counts the mouse presses that reach it.
class Backdrop : public QWidget {
  public:
    Backdrop() {
        QPalette colours = palette();
        colours.setColor(QPalette::Window, kBackground);
        setPalette(colours);
        setAutoFillBackground(true);
        resize(40, 20);
    }
    int m_nPresses = 0;

  protected:
    void mousePressEvent(QMouseEvent*) override { ++m_nPresses; }
};

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void cleanup() { CLabel::SetUrlOpener({}); }

    void transparentBitmapShowsBackgroundOnlyForPureWhite() {
        QImage image(3, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(255, 255, 255));
        image.setPixel(1, 0, qRgb(254, 255, 255));
        image.setPixel(2, 0, qRgb(10, 20, 30));
        Backdrop backdrop;
        CBitmapStatic bitmap(&backdrop);
        bitmap.setGeometry(0, 0, 10, 10);
        bitmap.SetBitmap(QPixmap::fromImage(image));
        bitmap.SetTransparent(true);

        const QImage shown = backdrop.grab().toImage();
        QCOMPARE(QColor(shown.pixel(0, 0)), kBackground);
        QCOMPARE(QColor(shown.pixel(1, 0)), QColor(254, 255, 255));
        QCOMPARE(QColor(shown.pixel(2, 0)), QColor(10, 20, 30));
        QCOMPARE(QColor(shown.pixel(5, 5)), kBackground);  // outside the bitmap

        bitmap.SetTransparent(false);
        QCOMPARE(QColor(backdrop.grab().toImage().pixel(0, 0)), QColor(Qt::white));
    }

    void transparentBitmapWithoutImagePaintsNothing() {
        Backdrop backdrop;
        CBitmapStatic bitmap(&backdrop);
        bitmap.setGeometry(0, 0, 10, 10);
        bitmap.SetTransparent(true);
        const QImage shown = backdrop.grab().toImage();
        for (int x = 0; x < 10; ++x) QCOMPARE(QColor(shown.pixel(x, x)), kBackground);
    }

    void scaledBitmapFillsTheControl() {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(qRgb(200, 0, 0));
        Backdrop backdrop;
        CBitmapStatic bitmap(&backdrop);
        bitmap.setGeometry(0, 0, 20, 20);
        bitmap.SetBitmap(QPixmap::fromImage(image));
        bitmap.SetScaled(true);
        QCOMPARE(QColor(backdrop.grab().toImage().pixel(18, 18)), QColor(200, 0, 0));
    }

    void fontSizeIsTheCharacterHeight() {
        CLabel label;
        label.SetFontSize(12).SetFontItalic(true);
        QCOMPARE(label.LogFont().pixelSize(), 12);
        QCOMPARE(label.font().pixelSize(), 12);
        QVERIFY(label.font().italic());
    }

    void clickOpensTheTextOnlyWhileALink() {
        QList<QUrl> opened;
        CLabel::SetUrlOpener([&opened](const QUrl& url) { opened << url; });
        Backdrop backdrop;
        CLabel label(&backdrop);
        label.setGeometry(0, 0, 40, 20);
        label.SetText("mailto:info@qor.example");
        QSignalSpy clicks(&label, &CLabel::clicked);

        label.SetLink(false);
        QTest::mouseClick(&label, Qt::LeftButton);
        QVERIFY(opened.isEmpty());
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(backdrop.m_nPresses, 1);

        label.SetLink(true);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl("mailto:info@qor.example")});
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(backdrop.m_nPresses, 1);
    }

    void errorLogShowsItsText() {
        CShowErrorLog dialog;
        dialog.m_strLog = "Zeile 1\nZeile 2";
        dialog.show();
        auto* edit = ControlById<QPlainTextEdit>(&dialog, CShowErrorLog::IDC_LOG);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->toPlainText(), QString("Zeile 1\nZeile 2"));
        QCOMPARE(dialog.windowTitle(), QString("Fehleranzeige"));

        // A long entry wraps: the card number at its end is seen without scrolling sideways.
        CShowErrorLog wide;
        wide.m_strLog = "Prüfung fehlgeschlagen: Der Transponder konnte nicht zurückgelesen "
                        "werden: 37 Bit Huge, Nummer 34359738367 ATA5577 E0123456789ABCDE";
        wide.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wide));
        auto* view = ControlById<QPlainTextEdit>(&wide, CShowErrorLog::IDC_LOG);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }

    void aboutShowsVersionsLogoAndLinks() {
        CAboutDlg dialog(nullptr);
        QCOMPARE(ControlById<QLabel>(&dialog, CAboutDlg::IDC_TITLE)->text(),
                 "Orvex FSK Programmer V " + GetProgramVersion() + " (" + GetProgramDate() + ")");
        QVERIFY(ControlById<QLabel>(&dialog, CAboutDlg::IDC_SDK_VERSION)
                    ->text()
                    .contains(QRegularExpression("^SDK Version \\d+\\.\\d\\d$")));
        QVERIFY(!ControlById<CBitmapStatic>(&dialog, CAboutDlg::IDC_LOGO)->Bitmap().isNull());
        QCOMPARE(ControlById<CLabel>(&dialog, CAboutDlg::IDC_MAIL)->text(),
                 QString(kMakerMailLink));
        QCOMPARE(ControlById<CLabel>(&dialog, CAboutDlg::IDC_WEB)->text(), QString(kMakerWebLink));
    }
};

ORVEX_APP_TEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
