#include "modaldriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QProgressDialog>
#include <QPushButton>

// Tests answer Qt's own folder dialog; the native one that Windows would show even
// on the offscreen platform cannot be driven. Set before any application object.
static void useQtDialogs()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}
Q_CONSTRUCTOR_FUNCTION(useQtDialogs)

ModalDriver::ModalDriver(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
    m_timer.start(5);
}

ModalDriver::~ModalDriver()
{
    m_timer.stop();
}

ModalDriver &ModalDriver::then(Answer answer)
{
    m_answers.append(std::move(answer));
    return *this;
}

ModalDriver &ModalDriver::thenAll(const QStringList &answers, const QString &baseDir)
{
    for (const QString &answer : answers) {
        if (answer == u"ok")
            then(press(QMessageBox::Ok));
        else if (answer == u"yes")
            then(press(QMessageBox::Yes));
        else if (answer == u"no")
            then(press(QMessageBox::No));
        else if (answer == u"cancel")
            then(cancel());
        else if (answer == u"wait")
            then([](QWidget *) {});
        else if (answer.startsWith(u"pick:"))
            then(chooseFolder(QDir(baseDir).filePath(answer.mid(5))));
        else
            qFatal("unknown answer %s", qPrintable(answer));
    }
    return *this;
}

ModalDriver::Answer ModalDriver::press(QMessageBox::StandardButton button)
{
    return [button](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box && box->button(button))
            box->button(button)->click();
        else if (auto *plain = qobject_cast<QDialog *>(dialog))
            plain->reject(); // the wrong kind of dialog: the recorded log shows it
    };
}

ModalDriver::Answer ModalDriver::chooseFolder(const QString &path)
{
    return [path](QWidget *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        if (!fileDialog) {
            if (auto *plain = qobject_cast<QDialog *>(dialog))
                plain->reject();
            return;
        }
        // With nothing selected and nothing typed, Qt's own folder dialog returns
        // the folder it shows. Clearing the selection may fill in a name again, so
        // the name goes last.
        fileDialog->setDirectory(path);
        if (auto *view = fileDialog->findChild<QListView *>(QStringLiteral("listView")))
            view->clearSelection();
        if (auto *edit = fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->clear();
        static_cast<QDialog *>(fileDialog)->accept(); // public in QDialog, virtual
    };
}

ModalDriver::Answer ModalDriver::cancel()
{
    return [](QWidget *dialog) {
        if (auto *progress = qobject_cast<QProgressDialog *>(dialog))
            progress->findChild<QPushButton *>()->click(); // as the player does
        else if (auto *plain = qobject_cast<QDialog *>(dialog))
            plain->reject();
        else
            dialog->close();
    };
}

QStringList ModalDriver::log() const
{
    QStringList lines;
    for (const Seen &seen : m_seen) {
        QString kind = seen.kind;
        if (seen.kind == u"QFileDialog") {
            lines.append(QStringLiteral("folder dialog | ") + seen.title);
            continue;
        }
        if (seen.kind == u"QProgressDialog")
            kind = QStringLiteral("progress");
        if (seen.kind == u"QMessageBox") {
            static const char *const icons[]
                = {"none", "information", "warning", "critical", "question"};
            kind = QString::fromLatin1(icons[seen.icon]);
        }
        lines.append(kind + QStringLiteral(" | ") + seen.title + QStringLiteral(" | ") + seen.text
                     + QStringLiteral(" | ") + seen.buttonTexts.join(u' '));
    }
    return lines;
}

void ModalDriver::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    // A message box keeps its address while it closes; QPointer forgets it once it
    // is destroyed, so the next box at the same address is seen as new.
    if (!modal || !modal->isVisible() || modal == m_current)
        return;
    m_current = modal;

    Seen seen;
    seen.kind = QString::fromLatin1(modal->metaObject()->className());
    seen.title = modal->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        seen.text = box->text();
        seen.icon = box->icon();
        // In a fixed order: where the buttons sit differs between platforms.
        for (const auto button :
             {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
            if (const QAbstractButton *shown = box->button(button))
                seen.buttonTexts.append(shown->text().remove(u'&'));
        }
    } else if (auto *fileDialog = qobject_cast<QFileDialog *>(modal)) {
        seen.directory = fileDialog->directory().absolutePath();
    } else if (auto *progress = qobject_cast<QProgressDialog *>(modal)) {
        seen.text = progress->labelText();
        seen.buttonTexts.append(progress->findChild<QPushButton *>()->text());
    }
    m_seen.append(seen);

    // One that no answer awaits is rejected, so the test goes on; the log shows it.
    (m_answers.isEmpty() ? cancel() : m_answers.takeFirst())(modal);
}
