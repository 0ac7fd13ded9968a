#pragma once

#include <QByteArray>

#include <functional>

class QObject;

// Which certificate authorities the process trusts: always the system's, plus those added here.
namespace TlsTrust {

// Every TLS connection opened by Qt after this call trusts the system's authorities plus the
// certificates in `pem`. Returns false, changing nothing, when `pem` holds no certificate.
bool trustInAddition(const QByteArray &pem);

// PEM text of every certificate trusted through trustInAddition(), in the order added; for the
// parts of the program that verify TLS without Qt.
QByteArray additionalAuthoritiesPem();

// Trusts the build's own authorities in `pem` (none when it is empty). Call once at start-up, on
// the main thread. Qt then needs every system authority listed, and reading them is slow, so
// that part runs on a worker; other parts of the program see the authorities at once.
void installBuildAuthority(const QByteArray &pem);

// Runs `then` on the main thread once Qt trusts what installBuildAuthority() adds: at once, unless
// that is still in progress. Nothing runs when `context` is gone by then.
void whenTrusted(const QObject *context, std::function<void()> then);

} // namespace TlsTrust
