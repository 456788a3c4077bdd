#pragma once

// The colours under the themes. The light theme is the platform's look, but a dark
// desktop (Windows 11 in dark mode, a dark KDE or GTK theme) would hand the
// platform style its dark colours, and the program would start dark and stay dark
// after "Світла". The dark theme is a style sheet; the frame around it follows the
// platform's colour scheme where the system lets a program choose (Windows 11).
void useLightColours(); // at start-up, before any window exists, and for "Світла"
void useDarkColours(); // for "Темна", before its style sheet is applied
