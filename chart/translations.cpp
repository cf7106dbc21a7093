#include "chart/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace
{

QString qtTranslations()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

void install(QCoreApplication &app, const QString &name, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(), name, QStringLiteral("_"), folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void installTranslations(QCoreApplication &app)
{
    // Built into a static library, the resource is linked only where it is asked for.
    Q_INIT_RESOURCE(chart_translations);
    install(app, QStringLiteral("qtbase"), qtTranslations());
    install(app, QStringLiteral("head-readout-chart"), QStringLiteral(":/translations"));
}
