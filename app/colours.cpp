#include "colours.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleHints>

namespace {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::WindowText).lightness()
        > palette.color(QPalette::Window).lightness();
}

// Back to the platform's own colours, if a light palette was set over them.
void dropOwnPalette()
{
    if (QCoreApplication::testAttribute(Qt::AA_SetPalette))
        QApplication::setPalette(QPalette());
}

} // namespace

void useLightColours()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Windows follows this request (its Windows 11 style and the title bar with it);
    // the other desktops here ignore it.
    QGuiApplication::styleHints()->setColorScheme(Qt::ColorScheme::Light);
#endif
    dropOwnPalette();
    if (!isDark(QApplication::palette()))
        return;
    QPalette light = QApplication::style()->standardPalette();
    if (isDark(light))
        light = QPalette(QColor(239, 239, 239));
    QApplication::setPalette(light);
}

void useDarkColours()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QGuiApplication::styleHints()->setColorScheme(Qt::ColorScheme::Dark);
#endif
    dropOwnPalette();
}
