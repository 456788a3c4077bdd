#pragma once

#include <QString>

#include <atomic>

// How far work off the GUI thread has come, and the player's wish to stop it. The work
// writes the counts, the GUI thread reads them and may ask it to stop.
struct WorkProgress
{
    QString subject; // what is worked on, for whoever shows it (a mod's name)
    std::atomic<qint64> done{0}; // bytes so far
    std::atomic<qint64> total{0};
    std::atomic<bool> cancelRequested{false};
};
