#ifndef TRANSLATIONS_H
#define TRANSLATIONS_H

class QCoreApplication;

// The chart's texts, and Qt's own (its dialogs, the command line's errors), in the
// language of the locale, where a translation is built in or installed; English
// otherwise. The translators belong to the application.
void installTranslations(QCoreApplication &app);

#endif
