#pragma once

#include <QByteArray>
#include <QString>

// The data made once per test run by make-fixtures (the test_data CTest fixture).
namespace TestFixtures {

// Absolute path of a fixture file ("tone-a.mp3", "ca.pem", ...).
QString path(const QString &name);
// The file's bytes; fails the running test when it cannot be read.
QByteArray read(const QString &name);

} // namespace TestFixtures
