#include "waitfeedback.h"

#include "theme.h"
#include "workprogress.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QProgressDialog>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

// A quick install of a small mod shows nothing at all.
constexpr int busyCursorAfterMs = 100;
constexpr int dialogAfterMs = 1000;

// The dark sheet leaves a button no room around its text and the bar in the platform's
// white; the dialog dresses itself to match it.
const char darkDialogSheet[]
    = "QPushButton { padding: 4px 16px; }"
      "QProgressBar { background-color: #333333; color: #E0E0E0; border: 1px solid #555555;"
      " text-align: center; }"
      "QProgressBar::chunk { background-color: #0d47a1; }";

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
    const QString before = u"Встановлення мода '"_s, after = u"'..."_s;
    const QString &name = m_progress->subject;
    m_dialog = new QProgressDialog(QString(), u"Скасувати"_s, 0, 100, m_window);
    m_dialog->setWindowTitle(u"Встановлення мода"_s);
    if (Theme::darkApplied())
        m_dialog->setStyleSheet(QString::fromUtf8(darkDialogSheet));
    // No wider than the window: a long name is shortened in its middle, and a screen
    // reader still hears all of it.
    auto *label = new QLabel;
    label->setAccessibleName(before + name + after);
    const QFontMetrics metrics(label->font());
    const QStyle *style = m_dialog->style();
    const int room = m_window->width()
        - style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, m_dialog)
        - style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, m_dialog)
        - metrics.horizontalAdvance(before + after) - metrics.averageCharWidth();
    label->setText(before + metrics.elidedText(name, Qt::ElideMiddle, room) + after);
    label->setAlignment(Qt::Alignment(
        style->styleHint(QStyle::SH_ProgressDialog_TextLabelAlignment, nullptr, m_dialog)));
    m_dialog->setLabel(label);
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
