#include "qttranslation.h"

#include <QCoreApplication>
#include <QTranslator>

using namespace Qt::StringLiterals;

bool installQtTranslation(QCoreApplication &app)
{
    // The players read Ukrainian; the system's language says nothing about that.
    auto *translator = new QTranslator(&app);
    if (!translator->load(u":/i18n/qtbase_uk.qm"_s)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
