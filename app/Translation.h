#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>

// Installs the window's labels in the language `locale` prefers. The translation stays in effect
// for as long as the returned translator lives; nullptr means no translation matched and the
// labels stay in English. Windows built afterwards pick it up, so install it before the first one.
std::unique_ptr<QTranslator> installTranslation(const QLocale& locale);
