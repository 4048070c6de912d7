// Where the real files made by other software live (../shared/fixtures
// beside the checkout). Tests that need them skip when they are absent.
#pragma once

#include <QString>

namespace testsupport {

// Absolute path of a fixture (for example "access/fruit.mdb"), or an empty
// string when the fixtures folder is not there.
QString fixture(const QString& relative);

}  // namespace testsupport

// Skips the current test when the fixture is missing; otherwise declares
// `var` holding its path.
#define LUMBROOK_REQUIRE_FIXTURE(var, relative)                         \
  const QString var = ::testsupport::fixture(QStringLiteral(relative)); \
  if (var.isEmpty()) GTEST_SKIP() << "fixture not available: " << relative
