// Where the station's windows open: the stored position of the main window (its frame's),
// only while it lies on a screen, else the left edge; no drift over starts and a language
// switch; and windows pulled back onto the screen when they grow past its edge.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "OrvexFSKApp.h"
#include "OrvexFSKDlg.h"
#include "Settings.h"
#include "WindowPlacement.h"
#include "support/AppTest.h"
#include "support/StationReader.h"

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

ORVEX_APP_TEST_MAIN(WindowPlacementTest)
#include "tst_windowplacement.moc"
