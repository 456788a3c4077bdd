; The setup program's own Ukrainian texts (UTF-8), beside those of NSIS's
; Ukrainian language file. Message-box buttons are the system's own words.
LangString IvlCloseProgram ${LANG_UKRAINIAN} "Програма Ironvale Mod Installer зараз відкрита.$\n$\nЗакрийте її вікно й натисніть «Повторити» (Retry), щоб продовжити. «Скасувати» (Cancel) завершує роботу, нічого не змінивши."
LangString IvlNeedsWindows10 ${LANG_UKRAINIAN} "Для Ironvale Mod Installer потрібна Windows 10 версії 1809 (збірка 17763) або новіша, чи Windows 11. На цій версії Windows програма не запуститься, тому нічого не встановлено."
LangString IvlRemovingOld ${LANG_UKRAINIAN} "Видалення встановленої версії..."
LangString IvlOldNotRemoved ${LANG_UKRAINIAN} "Не вдалося видалити встановлену версію Ironvale Mod Installer. Нічого не змінено."
!define IVL_SETUP_DESCRIPTION "Встановлення Ironvale Mod Installer"
