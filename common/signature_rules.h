// What the publisher check of an installer decides from the system's
// verdict and the signer's key, with no Windows call inside: shared by the
// upgrade assistant and the installer's helper (publisher_check.h).
#pragma once

// Whether the system's verification of a file's Authenticode signature
// (WinVerifyTrust's result) leaves the signature itself sound: verified,
// or verified up to a root this machine does not know. No signature, a
// bad digest and every other fault are refused. Trust in the signer comes
// from the pinned key, not from the machine's roots.
bool SignatureSound(long trustResult);

// Whether a verification that asked for revocation failed only because
// this machine could not learn whether a certificate was revoked (no
// revocation server reachable, or none named). The check is then made
// again without revocation, and logged. A revoked certificate is no such
// failure: it is refused.
bool RevocationUnanswered(long trustResult);

// Whether the SHA-256 of a signer's public key (32 bytes) is one of the
// pinned keys: hexadecimal SHA-256 values separated by spaces.
bool KeyIsPinned(const unsigned char *keyHash, const char *pinnedKeys);
