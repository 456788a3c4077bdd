#pragma once

class QCoreApplication;

// Installs Qt's own Ukrainian texts (standard buttons such as "Так"/"Ні", context
// menus, Qt's folder dialog), compiled into the program, whatever the system's
// language. The translator belongs to `app`. False if the compiled-in file did not load.
bool installQtTranslation(QCoreApplication &app);
