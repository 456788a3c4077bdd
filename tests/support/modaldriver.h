#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

// Answers the modal dialogs that a test sets off, one after another, and records
// what each of them showed. Queue the answers first, then click: the static
// QMessageBox and QFileDialog functions block in their own event loop, where this
// driver's timer finds them through QApplication::activeModalWidget().
class ModalDriver final : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString kind; // "QMessageBox", "QFileDialog" or the dialog's class name
        QString title;
        QString text; // message boxes and progress dialogs
        QString directory; // folder dialogs only: the folder it opened in
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttonTexts; // as shown, without the '&' of the shortcut letter
    };
    using Answer = std::function<void(QWidget *dialog)>;

    explicit ModalDriver(QObject *parent = nullptr);
    ~ModalDriver() override;

    ModalDriver &then(Answer answer);
    // Queues answers written as words, for data tables: "ok", "yes", "no",
    // "cancel", "wait" (leaves it open), or "pick:<folder>" with the folder relative to baseDir.
    ModalDriver &thenAll(const QStringList &answers, const QString &baseDir);

    // Ready-made answers.
    static Answer press(QMessageBox::StandardButton button);
    static Answer chooseFolder(const QString &path);
    static Answer cancel();

    const QList<Seen> &seen() const { return m_seen; }
    // One line per dialog seen, "<kind> | <title> | <text> | <button texts>", for
    // comparisons that print readably when they fail.
    QStringList log() const;
    int unansweredCount() const { return int(m_answers.size()); }

private:
    void poll();

    QTimer m_timer;
    QList<Answer> m_answers;
    QList<Seen> m_seen;
    QPointer<QWidget> m_current;
};
