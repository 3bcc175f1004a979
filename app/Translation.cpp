#include "Translation.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

std::unique_ptr<QTranslator> installTranslation(const QLocale& locale) {
    // The .qm files are built into the executable, so the bundle and the install tree carry them
    // without a search path.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, u"zeph_installer"_s, u"_"_s, u":/i18n"_s) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}
