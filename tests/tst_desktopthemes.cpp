// The themes on a real desktop, light or dark: the program starts light, "Темна" is
// dark and "Світла" light again, as the screen shows the window. Run once per desktop
// by tests/desktop.sh, which makes the desktop and names it in IVL_DESKTOP.
#include "theme.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleHints>
#include <QTest>

namespace {

QString desktop()
{
    return qEnvironmentVariable("IVL_DESKTOP");
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::WindowText).lightness()
        > palette.color(QPalette::Window).lightness();
}

// What the screen shows in the central area's margin, where no child widget is.
QColor paintedBackground(const MainWindow &window)
{
    const QPoint margin = window.centralWidget()->mapTo(&window, QPoint(3, 3));
    const QPixmap shot = window.screen()->grabWindow(window.winId(), margin.x(), margin.y(), 1, 1);
    return shot.isNull() ? QColor() : shot.toImage().pixelColor(0, 0);
}

QByteArray described(const QColor &colour)
{
    return colour.isValid() ? colour.name().toLatin1() : QByteArray("nothing grabbed");
}

} // namespace

class TestDesktopThemes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void lightDarkLight();

private:
    bool m_desktopDark = false;
};

void TestDesktopThemes::initTestCase()
{
    QVERIFY2(!desktop().isEmpty(), "run through tests/desktop.sh, which sets IVL_DESKTOP");
    QCOMPARE(QGuiApplication::platformName(), qEnvironmentVariable("IVL_EXPECT_PLATFORM"));
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (desktop() == u"win11")
        QCOMPARE(QApplication::style()->name(), "windows11");
#endif
    m_desktopDark = isDark(QApplication::palette());
    // Otherwise the dark desktops would test nothing.
    QCOMPARE(m_desktopDark, desktop() == u"kde" || desktop() == u"win11");
    Theme::applyLight(); // as main() does before the window exists
}

void TestDesktopThemes::cleanup()
{
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestDesktopThemes::lightDarkLight()
{
    WindowFixture app;
    const QString platformStyle = QApplication::style()->name();
    auto check = [&](const char *step, bool dark) {
        // The palette within seconds; then what the screen shows, after a slow start too.
        QTRY_VERIFY2(isDark(app.window.palette()) == dark,
                     step + QByteArray(dark ? ": a light palette" : ": a dark palette"));
        QColor seen;
        QTRY_VERIFY2_WITH_TIMEOUT((seen = paintedBackground(app.window)).isValid()
                                      && (dark ? seen.lightness() < 80 : seen.lightness() > 160),
                                  step + QByteArray(": the window shows ") + described(seen),
                                  60000);
        // The platform's style stays; only its colours follow the theme. (Under the
        // dark sheet the application's style is the sheet's, which wraps it.)
        if (!dark)
            QCOMPARE(QApplication::style()->name(), platformStyle);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        // Windows 11 draws the title bar in the colour scheme the program asks for.
        if (desktop() == u"win11") {
            QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::styleHints()->colorScheme(),
                                      dark ? Qt::ColorScheme::Dark : Qt::ColorScheme::Light, 60000);
        }
#endif
    };

    check("at start-up", false);
    app.action("Темна")->trigger();
    QCOMPARE(app.status(), "Застосовано темну тему.");
    check("after Темна", true);
    app.action("Світла")->trigger();
    QCOMPARE(app.status(), "Застосовано світлу тему.");
    QVERIFY(qApp->styleSheet().isEmpty());
    check("after Світла", false);
}

QTEST_MAIN(TestDesktopThemes)
#include "tst_desktopthemes.moc"
