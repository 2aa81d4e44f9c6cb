// "常に手前に表示" on a real X server with a window manager: the window's
// _NET_WM_STATE_ABOVE follows the clicks, and the window never moves, resizes
// or is replaced.
#include "support/panel_fixture.h"

#include <QProcess>

namespace {

QString window_state(WId window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_STATE")});
    xprop.waitForFinished(5000);
    return QString::fromLatin1(xprop.readAllStandardOutput());
}

bool managed(WId window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                          QStringLiteral("_NET_FRAME_EXTENTS")});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput().contains('=');
}

} // namespace

class OnTopTest : public QObject {
    Q_OBJECT
private slots:
    void clicks_toggle_always_on_top_in_place();
};

void OnTopTest::clicks_toggle_always_on_top_in_place() {
    PanelFixture panel;
    panel.start();
    Form1& form = *panel.form;
    const WId window = form.winId();
    QTRY_VERIFY_WITH_TIMEOUT(managed(window), 10000);
    QTRY_VERIFY(form.isActiveWindow());
    const QRect frame = form.frameGeometry();
    const QRect client = form.geometry();
    QVERIFY(!window_state(window).contains("_NET_WM_STATE_ABOVE"));
    for (int click = 1; click <= 4; ++click) {
        panel.click(form.Command7);
        const bool above = click % 2 == 1;
        QTRY_COMPARE_WITH_TIMEOUT(window_state(window).contains("_NET_WM_STATE_ABOVE"), above,
                                  5000);
        QVERIFY(form.isVisible());
        QCOMPARE(form.winId(), window);
        QCOMPARE(form.frameGeometry(), frame);
        QCOMPARE(form.geometry(), client);
    }
    QVERIFY(!window_state(window).contains("_NET_WM_STATE_ABOVE"));
}

QTEST_MAIN(OnTopTest)
#include "test_on_top.moc"
