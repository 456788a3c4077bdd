#pragma once

#include <QDeadlineTimer>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

struct WorkProgress;

// How the program shows that it waits (the window's busy cursor and progress dialog).
// Every call comes on the GUI thread.
class WaitIndicator : public QObject
{
public:
    using QObject::QObject;
    // `progress` is null where there is nothing to show but that the program is busy.
    virtual void waitStarted(WorkProgress *progress) = 0;
    virtual void waitGoesOn() = 0; // every few milliseconds
    virtual void waitEnded() = 0;
    // Whether a click or key for `receiver` is let through meanwhile (a progress dialog's).
    virtual bool takesInput(const QObject *receiver) const = 0;
};

// The one place where work leaves the GUI thread: work that may wait on a volume runs on a
// thread of its own, and the GUI thread waits for it in a local event loop that paints and
// answers the desktop but passes no click, key or close to the program.
namespace OffThread {

struct Job
{
    std::atomic<bool> finished{false};
};

// Starts `work` on a thread of its own. The thread owns what `work` holds, so it may outlive
// the one who waits; the process ends without waiting for it.
std::shared_ptr<const Job> start(std::function<void()> work);

// Waits until every job has finished or `deadline` passes; true when all finished. Once
// `progress` asks to stop, it waits at most two seconds more for the work to notice.
bool waitFor(const std::vector<std::shared_ptr<const Job>> &jobs, QDeadlineTimer deadline,
             WaitIndicator *indicator = nullptr, WorkProgress *progress = nullptr);

} // namespace OffThread
