// Where the real files made by other software live (../shared/fixtures
// beside the checkout, or LUMBROOK_FIXTURES). Tests that need them skip when
// the folder is absent; when it is there, a file it lacks fails the test.
#pragma once

#include <QString>

namespace testsupport {

// Absolute path of a fixture (for example "access/fruit.mdb"), or an empty
// string when the fixtures folder is not there (said once on stderr) or
// lacks the file (the current test then fails).
QString fixture(const QString& relative);

}  // namespace testsupport

// Skips the current test when the fixtures folder is missing (and fails it
// when only the file is); otherwise declares `var` holding its path.
#define LUMBROOK_REQUIRE_FIXTURE(var, relative)                         \
  const QString var = ::testsupport::fixture(QStringLiteral(relative)); \
  if (var.isEmpty()) GTEST_SKIP() << "fixture not available: " << relative
