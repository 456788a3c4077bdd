#pragma once

class QIcon;
class QString;

// The icon of an ICO file whose pictures are stored as PNG, each decoded only once a
// size near it is asked for: a platform that takes two sizes of the window's icon
// (Windows) pays for two, one that takes none (offscreen, Wayland before Qt 6.9) for none.
QIcon icoIcon(const QString &path);
