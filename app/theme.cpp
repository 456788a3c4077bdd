#include "theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleHints>

const char Theme::darkStyleSheet[]
    = "QMainWindow, QWidget, QDialog { background-color: #212121; color: #E0E0E0; }"
      "QListWidget { background-color: #333333; color: #E0E0E0; border: 1px solid #555555; }"
      "QListWidget::item:selected { background-color: #0d47a1; color: #ffffff; }"
      "QLineEdit { background-color: #424242; color: #E0E0E0; border: 1px solid #555555; }"
      "QPushButton { background-color: #424242; color: #E0E0E0; border: 1px solid #555555; }"
      "QPushButton:hover { background-color: #555555; }"
      "QPushButton:pressed { background-color: #0d47a1; }"
      "QMenuBar, QMenu { background-color: #212121; color: #E0E0E0; }"
      "QMenu::item:selected { background-color: #0d47a1; }"
      "QStatusBar { background-color: #424242; color: #E0E0E0; }";

namespace {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::WindowText).lightness()
        > palette.color(QPalette::Window).lightness();
}

// The platform's colours of that scheme (Windows follows it), without a palette set over them.
void useColourScheme([[maybe_unused]] bool dark)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QGuiApplication::styleHints()->setColorScheme(dark ? Qt::ColorScheme::Dark
                                                       : Qt::ColorScheme::Light);
#endif
    if (QCoreApplication::testAttribute(Qt::AA_SetPalette))
        QApplication::setPalette(QPalette());
}

} // namespace

void Theme::applyLight()
{
    qApp->setStyleSheet(QString());
    useColourScheme(false);
    if (!isDark(QApplication::palette()))
        return;
    QPalette light = QApplication::style()->standardPalette();
    if (isDark(light))
        light = QPalette(QColor(239, 239, 239));
    QApplication::setPalette(light);
}

void Theme::applyDark()
{
    // The palette first: the sheet then draws over the platform's own colours.
    useColourScheme(true);
    qApp->setStyleSheet(QString::fromUtf8(darkStyleSheet));
}

bool Theme::darkApplied()
{
    return !qApp->styleSheet().isEmpty();
}
