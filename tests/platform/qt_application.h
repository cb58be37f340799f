// For tests of windows over the layer: one QApplication for a whole test program (widgets need
// it, and it must outlive every test).
#pragma once

#include <QApplication>

namespace kvarlo::testing {

inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "kvarlo-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace kvarlo::testing
