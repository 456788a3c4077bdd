#pragma once

#include "offthread.h"

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;
class QWidget;

// How the window shows a wait: a busy cursor once it lasts, and an install still running
// after a second gets a modal progress dialog with its share of bytes and "Скасувати".
class WaitFeedback final : public WaitIndicator
{
public:
    explicit WaitFeedback(QWidget *window);
    ~WaitFeedback() override;

    void waitStarted(WorkProgress *progress) override;
    void waitGoesOn() override;
    void waitEnded() override;
    bool takesInput(const QObject *receiver) const override;

private:
    void showDialog();

    QWidget *m_window;
    WorkProgress *m_progress = nullptr;
    QElapsedTimer m_waited;
    bool m_busyCursor = false;
    bool m_updating = false; // a modal dialog's setValue handles events itself
    QPointer<QProgressDialog> m_dialog;
};
