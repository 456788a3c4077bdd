#pragma once

// The two themes, applied application-wide so that dialogs opened later follow.
// Light is the platform's look; on a dark desktop (Windows 11 in dark mode, a dark KDE
// or GTK theme) that look would be dark, so a light palette is set over it. Dark is a
// style sheet; the frame follows it where the system lets a program choose (Windows 11).
namespace Theme {

extern const char darkStyleSheet[];

void applyLight(); // at start-up, before any window exists, and for "Світла"
void applyDark(); // for "Темна"
bool darkApplied();

} // namespace Theme
