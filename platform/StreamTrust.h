#pragma once

#include <gio/gio.h>

// The certificate database the stream's TLS connections verify against.
namespace StreamTrust {
// The system's authorities plus those added through TlsTrust, made on first use and shared by
// every connection of the process; remade when TlsTrust has added more since. Safe to call from
// any thread. Returns a new reference, or null when no database can be made.
GTlsDatabase *database();
} // namespace StreamTrust
