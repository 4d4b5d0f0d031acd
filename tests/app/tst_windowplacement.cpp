// Where the station's windows open: the stored position of the main window, only while it
// lies on a screen, and windows pulled back onto the screen when they grow past its edge.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "Settings.h"
#include "WindowPlacement.h"
#include "support/AppTest.h"

class WindowPlacementTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { apptest::ClearSettings(); }

    void PositionIsStoredAndRestoredWhileOnAScreen_data() {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<bool>("restored");
        QTest::newRow("on the screen") << QPoint(40, 30) << true;
        QTest::newRow("screen gone") << QPoint(30000, 30) << false;
        QTest::newRow("left of every screen") << QPoint(-500, 10) << false;
    }

    void PositionIsStoredAndRestoredWhileOnAScreen() {
        QFETCH(QPoint, stored);
        QFETCH(bool, restored);
        QWidget first;
        first.move(stored);
        StoreWindowPosition(&first);

        QWidget second;
        second.move(5, 6);
        RestoreWindowPosition(&second);
        QCOMPARE(second.pos(), restored ? stored : QPoint(5, 6));
    }

    void NothingStoredLeavesTheWindowAlone() {
        QWidget window;
        window.move(7, 8);
        RestoreWindowPosition(&window);
        QCOMPARE(window.pos(), QPoint(7, 8));
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
