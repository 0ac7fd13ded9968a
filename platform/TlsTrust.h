#pragma once

#include <QByteArray>

// Which certificate authorities the process trusts: always the system's, plus those added here.
namespace TlsTrust {

// PEM text of the certificate authority compiled into this build; empty when there is none.
QByteArray buildAuthorityPem();

// Every TLS connection opened by Qt after this call trusts the system's authorities plus the
// certificates in `pem`. Returns false, changing nothing, when `pem` holds no certificate.
bool trustInAddition(const QByteArray &pem);

// PEM text of every certificate trusted through trustInAddition(), in the order added; for the
// parts of the program that verify TLS without Qt.
QByteArray additionalAuthoritiesPem();

// Trusts the build's own authority, when it has one. Call once at start-up.
void installBuildAuthority();

} // namespace TlsTrust
