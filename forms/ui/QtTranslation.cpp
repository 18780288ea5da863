#include "forms/ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool LoadQtTranslation()
{
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    auto *loaded = new QTranslator(QCoreApplication::instance());
    if (!loaded->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(loaded)) {
        delete loaded;
        return false;
    }
    translator = loaded;
    return true;
}
