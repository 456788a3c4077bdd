#include "offthread.h"

#include "workprogress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <thread>

namespace {

constexpr int tickMs = 10;
constexpr int graceAfterCancelMs = 2000;

// While the program waits nothing may start a second search or install inside the first:
// no click, key, shortcut or close reaches it but what the indicator lets through.
class InputBlocker final : public QObject
{
public:
    explicit InputBlocker(const WaitIndicator *indicator)
        : m_indicator(indicator)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        // A window hands its input on to its widgets, which are judged here.
        if (receiver->isWindowType() || (m_indicator && m_indicator->takesInput(receiver)))
            return false;
        if (event->type() == QEvent::ShortcutOverride)
            event->accept(); // the focused control keeps the key: no shortcut fires
        else if (event->type() == QEvent::Close)
            event->ignore(); // a close that is filtered out would still close
        return true;
    }

private:
    const WaitIndicator *m_indicator;
};

} // namespace

std::shared_ptr<const OffThread::Job> OffThread::start(std::function<void()> work)
{
    auto job = std::make_shared<Job>();
    std::thread([job, work = std::move(work)] {
        work();
        job->finished.store(true, std::memory_order_release);
    }).detach();
    return job;
}

bool OffThread::waitFor(const std::vector<std::shared_ptr<const Job>> &jobs,
                        QDeadlineTimer deadline, WaitIndicator *indicator, WorkProgress *progress)
{
    auto allFinished = [&jobs] {
        return std::all_of(jobs.begin(), jobs.end(), [](const std::shared_ptr<const Job> &job) {
            return job->finished.load(std::memory_order_acquire);
        });
    };
    if (allFinished())
        return true;

    InputBlocker blocker(indicator);
    if (indicator)
        indicator->waitStarted(progress);
    QEventLoop loop;
    QTimer tick;
    bool cancelSeen = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (progress && !cancelSeen && progress->cancelRequested.load()) {
            cancelSeen = true; // a copy stuck on a volume that stopped answering never notices
            deadline = std::min(deadline, QDeadlineTimer(graceAfterCancelMs));
        }
        if (allFinished() || deadline.hasExpired())
            loop.quit();
        else if (indicator)
            indicator->waitGoesOn();
    });
    tick.start(tickMs);
    // Ends early only when the program quits meanwhile.
    loop.exec();
    if (indicator)
        indicator->waitEnded();
    return allFinished();
}
