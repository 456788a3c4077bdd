#include "waitfeedback.h"

#include "workprogress.h"

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>

using namespace Qt::StringLiterals;

namespace {

// A quick install of a small mod shows nothing at all.
constexpr int busyCursorAfterMs = 100;
constexpr int dialogAfterMs = 1000;

} // namespace

WaitFeedback::WaitFeedback(QWidget *window)
    : WaitIndicator(window)
    , m_window(window)
{ }

WaitFeedback::~WaitFeedback()
{
    waitEnded();
}

void WaitFeedback::waitStarted(WorkProgress *progress)
{
    m_progress = progress;
    m_waited.start();
}

void WaitFeedback::waitGoesOn()
{
    if (m_updating)
        return;
    m_updating = true;
    const qint64 waited = m_waited.elapsed();
    if (!m_busyCursor && waited >= busyCursorAfterMs) {
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        m_busyCursor = true;
    }
    if (m_progress && !m_dialog && waited >= dialogAfterMs)
        showDialog();
    if (m_dialog && !m_dialog->wasCanceled()) {
        // The bytes take the bar to 99 %; the final sync is the last step.
        const qint64 total = m_progress->total.load();
        const int percent = total > 0 ? int(99 * m_progress->done.load() / total) : 0;
        if (percent != m_dialog->value())
            m_dialog->setValue(percent);
    }
    m_updating = false;
}

void WaitFeedback::showDialog()
{
    m_dialog = new QProgressDialog(u"Встановлення мода '"_s + m_progress->subject + u"'..."_s,
                                   u"Скасувати"_s, 0, 100, m_window);
    m_dialog->setWindowTitle(u"Встановлення мода"_s);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    WorkProgress *progress = m_progress;
    auto cancel = [progress] { progress->cancelRequested.store(true); };
    QObject::connect(m_dialog, &QProgressDialog::canceled, this, cancel);
    QObject::connect(m_dialog, &QDialog::rejected, this, cancel);
    m_dialog->setValue(0);
    m_dialog->show();
}

void WaitFeedback::waitEnded()
{
    delete m_dialog;
    m_progress = nullptr;
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
    m_busyCursor = false;
}

bool WaitFeedback::takesInput(const QObject *receiver) const
{
    for (const QObject *o = receiver; o && m_dialog; o = o->parent()) {
        if (o == m_dialog)
            return true;
    }
    return false;
}
