// Where the station's windows open: the stored position of the main window (its frame's),
// only while it lies on a screen, else the left edge; no drift over starts and a language
// switch; windows pulled back onto the screen when they grow past its edge; and the holders
// and register windows beside the station, never over it during a series over holders. Run
// on a screen of 1600×1000 and, as app.windowplacement.small, of 1024×600.
#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "HoldersWindow.h"
#include "OrvexFSKApp.h"
#include "OrvexFSKDlg.h"
#include "dialogs/RegisterDlg.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "Settings.h"
#include "WindowPlacement.h"
#include "support/AppTest.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"

class WindowPlacementTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { apptest::ClearSettings(); }

    void PositionIsRestoredWhileOnAScreenElseAtTheLeftEdge_data() {
        QTest::addColumn<bool>("store");
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<bool>("restored");
        QTest::newRow("on the screen") << true << QPoint(40, 30) << true;
        QTest::newRow("screen gone") << true << QPoint(30000, 30) << false;
        QTest::newRow("left of every screen") << true << QPoint(-500, 10) << false;
        QTest::newRow("nothing stored (first start)") << false << QPoint() << false;
    }

    // Not restored, the station opens at the left edge: the virtual reader's panel opens at
    // the right one.
    void PositionIsRestoredWhileOnAScreenElseAtTheLeftEdge() {
        QFETCH(bool, store);
        QFETCH(QPoint, stored);
        QFETCH(bool, restored);
        if (store) {
            QWidget first;
            first.move(stored);
            StoreWindowPosition(&first);
        }
        QWidget second;
        second.move(5, 6);
        RestoreWindowPosition(&second);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        const QPoint leftEdge = second.screen()->availableGeometry().topLeft();
        QCOMPARE(second.frameGeometry().topLeft(), restored ? stored : leftEdge);
    }

    // The position is the frame's both ways, so a window shown, stored and opened again
    // stands where it stood, even when its native window existed before it was placed.
    void FramePositionSurvivesStoreAndRestore_data() {
        QTest::addColumn<bool>("createdFirst");
        QTest::newRow("placed before its native window exists") << false;
        QTest::newRow("native window made before placing") << true;
    }

    void FramePositionSurvivesStoreAndRestore() {
        QFETCH(bool, createdFirst);
        QWidget first;
        first.move(120, 80);
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        StoreWindowPosition(&first);
        const QPoint frame = first.frameGeometry().topLeft();
        QVERIFY(first.geometry().topLeft() != frame);  // the platform draws a frame

        QWidget second;
        if (createdFirst) second.winId();
        RestoreWindowPosition(&second);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.frameGeometry().topLeft(), frame);
        StoreWindowPosition(&second);
        QCOMPARE(GetSettingInt("Fenster", "Y", -1), frame.y());
    }

    // Three starts of the station, the second with a language switch (a new window in the
    // other language): the stored position never moves, nor does the window.
    void StationKeepsItsPlaceOverStartsAndALanguageSwitch() {
        apptest::StationReader reader;
        PutSettingInt("Settings", "Sprache", 0);
        PutSettingInt("Settings", "SoundTyp", 0);
        PutSettingInt("Fenster", "X", 140);
        PutSettingInt("Fenster", "Y", 90);
        const QPoint place(140, 90);
        QList<QPoint> shown;
        QList<QPoint> stored;
        for (int start = 1; start <= 3; ++start) {
            int window = 0;
            COrvexFSKApp station;
            station.RunApplication([&] {
                COrvexFSKDlg dlg;
                const bool switchLanguage = start == 2 && ++window == 1;
                QTimer::singleShot(0, &dlg, [&] {
                    shown << dlg.frameGeometry().topLeft();
                    if (switchLanguage)
                        dlg.OnSystemCommand(COrvexFSKDlg::IDM_ENGLISH);
                    else
                        dlg.reject();
                });
                const int code = dlg.exec();
                stored << QPoint(GetSettingInt("Fenster", "X", -1),
                                 GetSettingInt("Fenster", "Y", -1));
                return code;
            });
        }
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown, QList<QPoint>(4, place));
        QCOMPARE(stored, QList<QPoint>(4, place));
    }

    // Both windows open beside the station as a series makes it (lamps shown), as ordinary
    // windows; a series over holders started from the holders window leaves the station's
    // lamps, banner and menu button in sight, and the station on the screen.
    void WindowsOpenBesideTheStationAndStayOffItDuringAHolderSeries() {
        PutSettingInt("Settings", "Sprache", 0);
        PutSettingInt("Settings", "SoundTyp", 0);
        PutSettingInt("Settings", "ZyklusZeit", 40);
        apptest::StationReader reader;
        {
            station::CCardRegister cardRegister(station::RegisterSettings{}, "test");
            QVERIFY2(cardRegister.Open(), qPrintable(cardRegister.LastError()));
            station::Holder holder;
            holder.personnelNumber = "1003";
            holder.name = QString::fromUtf8("Özlem Yilmaz-Wintergerst von Hohenberg");
            QVERIFY2(cardRegister.SaveHolder(holder), qPrintable(cardRegister.LastError()));
        }
        std::unique_ptr<COrvexFSKDlg> dlg = apptest::OpenStationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        const QRect area = dlg->screen()->availableGeometry();
        MoveFrameTo(dlg.get(), area.topLeft());
        QTRY_COMPARE(dlg->frameGeometry().topLeft(), area.topLeft());
        for (QAction* action : dlg->SystemMenu()->actions())
            if (action->data().toInt() == COrvexFSKDlg::IDM_HOLDERS ||
                action->data().toInt() == COrvexFSKDlg::IDM_REGISTER)
                action->trigger();
        QList<QWidget*> windows{dlg->HoldersWindow(), dlg->RegisterWindow()};
        for (QWidget* window : windows) {
            QVERIFY(window != nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(window));
            // Not the station's child, so the window system keeps it in front of nothing.
            QCOMPARE(window->parentWidget(), nullptr);
            QCOMPARE(window->windowHandle()->transientParent(), nullptr);
            QVERIFY(area.contains(window->frameGeometry()));
        }

        apptest::ModalWatcher watcher;
        QTest::mouseClick(ControlById<QPushButton>(dlg->HoldersWindow(), CHoldersWindow::IDC_SERIES),
                          Qt::LeftButton);
        QVERIFY(apptest::Find<QPushButton>(*dlg, 1007)->isChecked());
        QVERIFY(apptest::Find<QWidget>(*dlg, COrvexFSKDlg::IDC_NEXT_HOLDER)->isVisible());
        QTest::qWait(200);  // the lamps widen the station once its layout has run
        const QRect station = dlg->frameGeometry();
        const QString shown = QString("station %1,%2 %3x%4 on %5x%6")
                                  .arg(station.x()).arg(station.y())
                                  .arg(station.width()).arg(station.height())
                                  .arg(area.width()).arg(area.height());
        QVERIFY2(area.contains(station), qPrintable(shown));
        for (QWidget* window : windows) {
            const QRect frame = window->frameGeometry();
            QVERIFY2(!frame.intersects(station),
                     qPrintable(shown + QString(", window %1,%2 %3x%4")
                                            .arg(frame.x()).arg(frame.y())
                                            .arg(frame.width()).arg(frame.height())));
            QVERIFY(area.contains(frame));
        }
        QCOMPARE(watcher.Messages(), QStringList{});
        apptest::Find<QPushButton>(*dlg, 1007)->click();
    }

    void GrownWindowIsPulledBackOntoTheScreen_data() {
        QTest::addColumn<QRect>("geometry");
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("past the right edge") << QRect(area.right() - 100, 10, 300, 200);
        QTest::newRow("past the bottom") << QRect(10, area.bottom() - 50, 300, 200);
        QTest::newRow("above and left") << QRect(area.left() - 40, area.top() - 30, 300, 200);
        QTest::newRow("inside stays") << QRect(area.left() + 20, area.top() + 20, 300, 200);
    }

    void GrownWindowIsPulledBackOntoTheScreen() {
        QFETCH(QRect, geometry);
        QWidget window;
        window.setGeometry(geometry);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect area = window.screen()->availableGeometry();
        const QRect before = window.frameGeometry();
        KeepOnScreen(&window);
        QVERIFY2(area.contains(window.frameGeometry()),
                 qPrintable(QString("%1,%2 %3x%4").arg(window.x()).arg(window.y())
                                .arg(window.width()).arg(window.height())));
        QCOMPARE(window.size(), geometry.size());
        if (area.contains(before)) QCOMPARE(window.frameGeometry(), before);
    }
};

// The screen is 1600×1000, or the size ORVEX_TEST_SCREEN gives (such as 1024x600).
int main(int argc, char** argv) {
    apptest::PrepareEnvironment();
    const QString size = qEnvironmentVariable("ORVEX_TEST_SCREEN", "1600x1000");
    const QStringList parts = size.split('x');
    if (parts.size() != 2) qFatal("ORVEX_TEST_SCREEN %s is no WIDTHxHEIGHT", qPrintable(size));
    const QString screens = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/screen.json";
    QFile config(screens);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": %1, )"
                             R"("height": %2, "logicalDpi": 96, "dpr": 1}]})")
                         .arg(parts[0].toInt())
                         .arg(parts[1].toInt())
                         .toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(screens));
    config.close();
    qputenv("QT_QPA_PLATFORM", QFile::encodeName("offscreen:configfile=" + screens));
    QApplication app(argc, argv);
    WindowPlacementTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_windowplacement.moc"
