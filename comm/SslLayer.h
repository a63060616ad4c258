// The SSL client layer of a FixApi connection: the library's one-time set-up, and the
// handshake with peer verification that wraps a link's freshly connected socket.
#pragma once

#include <string>

namespace NoltComm {

class CSocketLink;

// What the cipher string offers when no other is set: strong ciphers with a certificate.
// (TLS 1.3 suites are chosen by the library independently of this string.)
inline constexpr char kDefaultSslCiphers[] = "HIGH:!aNULL:!MD5";

struct SslSettings {
    // PEM file of the certificate authorities the server's certificate is checked against,
    // besides the system's default paths; empty: none.
    std::string caFile;
    // Client certificate and key (DER, PEM or PKCS #12); empty: none.
    std::string certificateFile;
    // Cipher string of the library's syntax; a string that selects nothing fails the start.
    std::string cipherList = kDefaultSslCiphers;
    // Allows TLS 1.0 and 1.1 and weak keys (1024-bit RSA) of old servers; off by default.
    bool legacyTls = false;
};

// The library's one-time set-up; a failed set-up is tried again by the next call.
// Thread-safe.
bool InitSslLibrary();

// Runs the SSL client handshake on the link's connected socket, bounded by the link's
// time-out, and verifies the server's certificate. True: the link reads and writes through
// SSL from now on and GetSslDescription gives the negotiated cipher and its key bits; the
// link's Close tears the SSL connection down. False: nothing of SSL stays on the link and
// `reason` says why. On success `reason` is empty, or tells why the configured client
// certificate was not used (the connection goes on without it; a server that demands one
// refuses the handshake).
bool StartSsl(CSocketLink& link, const SslSettings& settings, std::string& reason);

}  // namespace NoltComm
