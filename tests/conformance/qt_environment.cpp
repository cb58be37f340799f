// Linux only: the Qt layer's windows and dialogs need the QApplication that a program's main()
// would make. Made once, before the first test, so the test bodies stay the same on both sides.
#include <gtest/gtest.h>

#include "platform/qt_application.h"

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kvarlo::testing::qtApplication(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
