// The program under a Russian desktop locale: creating the QApplication applies the user's
// locale to the C library, and the layer then puts numbers back into the C locale and gives
// Qt's own dialogs their Russian texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/qt/layer.h"

namespace {

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

QString russian(const char16_t* text) {
    return QString::fromUtf16(text);
}

TEST(RussianDesktop, NumbersKeepTheirPointAndQtsDialogsSpeakRussian) {
    setenv("LOCPATH", KVARLO_TEST_LOCALE_DIR, 1);
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    setenv("LANG", "ru_RU.UTF-8", 1);
    unsetenv("LANGUAGE");
    static int argc = 1;
    static char name[] = "kvarlo-test";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    // The Russian locale is in force, decimal comma and all.
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "ru_RU.UTF-8");
    ASSERT_EQ(format("%g", 25.02), "25,02");

    kvarlo::platform::adoptDesktopLocale();
    EXPECT_EQ(format(" Public Version %g", 25.02), " Public Version 25.02");
    EXPECT_EQ(format("%.5g", 1234.5678), "1234.6");
    EXPECT_EQ(format("%.1f", 2.5), "2.5");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "ru_RU.UTF-8");  // only numbers go back to C

    // The texts of the standard buttons and the file dialog.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), russian(u"Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Save"), russian(u"Сохранить"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"),
              QStringLiteral("File &name:"));
}

}  // namespace
