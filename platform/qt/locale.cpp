// The process's locale on a desktop: Qt's own words in the user's language, numbers as the
// program writes them.
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

#include "platform/qt/layer.h"

namespace kvarlo::platform {

void adoptDesktopLocale() {
    // Creating the QApplication applies the user's locale to the C library, decimal comma and
    // all; the program's texts ("25.02" in the title, the panel's figures) keep their point in
    // every language, as they do on Windows.
    std::setlocale(LC_NUMERIC, "C");

    // The dialogs Qt draws for us (the file dialogs, standard buttons) speak the desktop's
    // language, like every other word of the program; without a catalogue they stay English.
    static QTranslator* translator = nullptr;
    if (translator != nullptr || QCoreApplication::instance() == nullptr)
        return;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    }
}

}  // namespace kvarlo::platform
