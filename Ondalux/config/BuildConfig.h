#pragma once

#include <QByteArray>
#include <QLatin1StringView>

// What a build compiles in about where it runs: the stations' hosts, and the certificate
// authority to trust besides the system's when its station has a private certificate. One
// source, built once for the program and once for the end-to-end tests' local station.
namespace BuildConfig {

QLatin1StringView streamHost();
QLatin1StringView softorbitHost();
QLatin1StringView radiobeatloomHost();

// PEM text; empty when the build trusts the system's authorities alone.
QByteArray extraAuthorityPem();

} // namespace BuildConfig
