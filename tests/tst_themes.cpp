// Themes, the settings dialog and the About box.
#include "modaldriver.h"
#include "theme.h"
#include "waitfeedback.h"
#include "windowfixture.h"
#include "workprogress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStatusBar>
#include <QStyle>
#include <QTest>

namespace {

// Widgets that a style sheet does not reach keep the plain platform style.
QStringList widgetsNotStyledBySheet(const QWidget &window)
{
    QStringList plain;
    QList<QWidget *> widgets = window.findChildren<QWidget *>();
    widgets.prepend(const_cast<QWidget *>(&window));
    for (const QWidget *w : widgets) {
        if (!w->style()->inherits("QStyleSheetStyle"))
            plain.append(QString::fromLatin1(w->metaObject()->className()));
    }
    return plain;
}

} // namespace

class TestThemes : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void darkThenLight();
    void settingsDialogIsAnEmptyShell();
    void aboutBox();
    void progressDialogReadsRight();
};

void TestThemes::cleanup()
{
    qApp->setStyleSheet(QString());
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestThemes::darkThenLight()
{
    WindowFixture app;
    QVERIFY(qApp->styleSheet().isEmpty()); // the platform look at start-up
    const QPalette platformPalette = app.window.palette();

    for (int twice = 0; twice < 2; ++twice) {
        app.window.statusBar()->showMessage("other");
        app.action("Темна")->trigger();
        QCOMPARE(app.status(), "Застосовано темну тему.");
    }
    QCOMPARE(qApp->styleSheet(), QString::fromUtf8(Theme::darkStyleSheet));
    QCOMPARE(qApp->styleSheet().size(), 670);
    QCOMPARE(widgetsNotStyledBySheet(app.window), QStringList{});
    QCOMPARE(app.window.palette().color(QPalette::Window), QColor("#212121"));
    QCOMPARE(app.modList()->palette().color(QPalette::Base), QColor("#333333"));

    for (int twice = 0; twice < 2; ++twice) {
        app.window.statusBar()->showMessage("other");
        app.action("Світла")->trigger();
        QCOMPARE(app.status(), "Застосовано світлу тему.");
    }
    QCOMPARE(qApp->styleSheet(), QString());
    // No dark rule survives: every widget is back on the platform style and colours.
    QCOMPARE(widgetsNotStyledBySheet(app.window).size(),
             app.window.findChildren<QWidget *>().size() + 1);
    QCOMPARE(app.window.palette(), platformPalette);
}

void TestThemes::settingsDialogIsAnEmptyShell()
{
    WindowFixture app({"a.zip"});
    app.setGamePath("/games/Ironvale_EU");
    app.modList()->setCurrentRow(0);
    app.window.statusBar()->showMessage("before the dialog");
    app.action("Темна")->trigger();
    app.window.statusBar()->showMessage("before the dialog");

    QStringList labels;
    int buttons = -1;
    QColor background;
    int width = 0;
    ModalDriver driver;
    driver.then([&](QWidget *dialog) {
        width = dialog->width();
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            labels.append(label->text());
        buttons = int(dialog->findChildren<QAbstractButton *>().size());
        background = dialog->palette().color(QPalette::Window);
        ModalDriver::cancel()(dialog); // as Escape does
    });
    app.action("Налаштування")->trigger();

    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen().first().kind, "QDialog");
    QCOMPARE(driver.seen().first().title, "Налаштування");
    QCOMPARE(labels, QStringList{"?"});
    QCOMPARE(buttons, 0);
    QCOMPARE(background, QColor("#212121")); // the dark theme reaches dialogs opened later
    QCOMPARE_GE(width, app.window.fontMetrics().horizontalAdvance("Налаштування") + 150);
    QCOMPARE(app.gamePath(), "/games/Ironvale_EU");
    QCOMPARE(app.modList()->currentRow(), 0);
    QCOMPARE(app.status(), "before the dialog");
}

void TestThemes::aboutBox()
{
    WindowFixture app;
    app.window.statusBar()->showMessage("before the box");
    ModalDriver driver;
    driver.then(ModalDriver::press(QMessageBox::Ok));
    app.action("Про розробника")->trigger();

    QCOMPARE(driver.seen().size(), 1);
    const ModalDriver::Seen box = driver.seen().first();
    QCOMPARE(box.title, "IVL Mod Installer");
    QVERIFY2(box.text.endsWith(u'\n') && !box.text.contains(u'\r'), qPrintable(box.text));
    const QStringList lines = box.text.chopped(1).split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(1), "Версія застосунку: 1.0");
    for (const QString &line : lines)
        QVERIFY2(!line.trimmed().isEmpty() && !line.contains(u'<'), qPrintable(line));
    QCOMPARE(app.status(), "before the box");
}

// A long mod name in the dark theme: the button's text whole, the bar dark, the dialog no
// wider than the window, the whole name for a screen reader.
void TestThemes::progressDialogReadsRight()
{
    WindowFixture app;
    app.action("Темна")->trigger();
    app.window.show();
    WorkProgress progress;
    progress.subject = QString(70, u'м') + ".zip";
    WaitFeedback feedback(&app.window);
    feedback.waitStarted(&progress);
    QTest::qWait(1000);
    feedback.waitGoesOn();
    const auto *dialog = app.window.findChild<QProgressDialog *>();
    const auto *button = dialog->findChild<QAbstractButton *>();
    const QImage bar = dialog->findChild<QProgressBar *>()->grab().toImage();
    QCOMPARE(dialog->findChild<QLabel *>()->accessibleName(),
             "Встановлення мода '" + progress.subject + "'...");
    QCOMPARE_LE(dialog->width(), app.window.width());
    QCOMPARE_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 12);
    QCOMPARE_LT(qGray(bar.pixel(bar.width() - 4, bar.height() / 2)), 128);
}

QTEST_MAIN(TestThemes)
#include "tst_themes.moc"
