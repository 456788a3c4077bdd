// Renders the main window in the light and the dark theme, with a few mods
// listed and a game path set, and the installation's confirmation question over
// the light window, to PNG files for the README and the players' guide:
//   ivl-screenshot <output folder>
#include "icoicon.h"
#include "mainwindow.h"
#include "modinstallerapp.h"
#include "qttranslation.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

static void trigger(QMainWindow &window, const QString &text)
{
    for (QAction *action : window.menuBar()->findChildren<QAction *>()) {
        if (action->text() == text)
            action->trigger();
    }
}

static bool save(const QPixmap &picture, const QDir &out, const char *name)
{
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// Presses the install button and answers what the program asks: the folder dialog
// with `destination`, then the confirmation question, which is painted over the
// window before it is answered No.
static QPixmap confirmationOver(MainWindow &window, const QString &destination)
{
    QPixmap picture;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            // Qt's own folder dialog returns the folder it shows when nothing is selected.
            dialog->setDirectory(destination);
            dialog->findChild<QListView *>(QStringLiteral("listView"))->clearSelection();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->clear();
            static_cast<QDialog *>(dialog)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal); box && box->isVisible()) {
            picture = window.grab();
            // Offscreen windows have no frame: draw a plain title bar so the box reads
            // as the dialog a player sees.
            const QPixmap body = box->grab();
            const int titleHeight = box->fontMetrics().height() + 10;
            QPixmap question(body.width(), body.height() + titleHeight);
            question.fill(QColor(0xDD, 0xE3, 0xEA));
            QPainter inner(&question);
            inner.drawPixmap(0, titleHeight, body);
            inner.setPen(Qt::black);
            inner.drawText(QRect(10, 0, body.width() - 20, titleHeight), Qt::AlignVCenter,
                           box->windowTitle());
            inner.end();
            QPainter painter(&picture);
            const QPoint at((picture.width() - question.width()) / 2,
                            (picture.height() - question.height()) / 2);
            painter.drawPixmap(at, question);
            painter.setPen(QColor(0x55, 0x55, 0x55));
            painter.drawRect(QRect(at, question.size()).adjusted(-1, -1, 0, 0));
            box->button(QMessageBox::No)->click();
        }
    });
    poll.start(10);
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("Встановити вибраний мод"))
            button->click();
    }
    return picture;
}

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ivl-screenshot <output folder>\n");
        return 2;
    }
    installQtTranslation(app);
    const QDir out(QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    QGuiApplication::setWindowIcon(icoIcon(QStringLiteral(":/icon.ico")));

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QDir().mkdir(QStringLiteral("Mods"));
    for (const char *name : {"Приціл_Снайпер_2.1.zip", "HD-текстури_броні.zip", "minimap-plus.zip",
                             "Звуки_бою_v3.ivlmod", "damage-log.zip"}) {
        QFile file(QStringLiteral("Mods/") + QString::fromUtf8(name));
        file.open(QIODevice::WriteOnly);
    }
    // On Linux "D:" is an ordinary folder name, so the path shown can look like a player's.
    const QString versionDir = QStringLiteral("D:/Games/Ironvale_EU/res_mods/1.4.2");
    QDir().mkpath(versionDir);

    ModInstallerApp installer;
    MainWindow window(&installer);
    window.resize(640, 460);
    window.show();
    emit installer.ivlDirsFound({QStringLiteral("D:/Games/Ironvale_EU")});
    window.findChild<QListWidget *>()->setCurrentRow(2);

    const std::pair<const char *, const char *> shots[]
        = {{"Темна", "screenshot-dark.png"}, {"Світла", "screenshot-light.png"}};
    for (const auto &[theme, file] : shots) {
        trigger(window, QString::fromUtf8(theme));
        QApplication::processEvents();
        if (!save(window.grab(), out, file))
            return 1;
    }

    const QPixmap question = confirmationOver(window, QDir::current().absoluteFilePath(versionDir));
    if (question.isNull()) {
        std::fprintf(stderr, "the confirmation question did not appear\n");
        return 1;
    }
    return save(question, out, "screenshot-question.png") ? 0 : 1;
}
