#include "tests/app_services/qt_environment.h"

namespace {
[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new kelvo::test::QtCoreEnvironment);
}
