// The publisher check of a downloaded installer: the system verifies the
// signature (digest and form), and the signer's public key must be pinned.
// Windows would also accept any certificate that chains to one of the
// machine's roots; the pinned key is what says the file is ours, and
// under Wine, which checks no chain, it is the only check of the signer.
// Revocation is asked for, so that a withdrawn signing certificate is
// refused; where this machine cannot learn it (offline, no revocation
// server reachable) the check is made again without it, and the caller is
// told so (the assistant logs it). The installer's helper checks its own
// copy of the installer with the same rules.
#include "publisher_check.h"

#include "publisher_keys.h"
#include "scoped.h"
#include "signature_rules.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace {

bool Sha256(const BYTE *data, DWORD size, BYTE (&hash)[32])
{
    BCRYPT_ALG_HANDLE algorithm = NULL;
    BCRYPT_HASH_HANDLE state = NULL;
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0) == 0 &&
              BCryptCreateHash(algorithm, &state, NULL, 0, NULL, 0, 0) == 0 &&
              BCryptHashData(state, (PUCHAR)data, size, 0) == 0 && BCryptFinishHash(state, hash, 32, 0) == 0;
    if (state)
        BCryptDestroyHash(state);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}

// The SHA-256 of a certificate's public key (DER SubjectPublicKeyInfo), as
// `openssl pkey -pubin -outform DER | sha256sum` gives it.
bool KeyHash(PCCERT_CONTEXT certificate, BYTE (&hash)[32])
{
    // CRYPT_ENCODE_ALLOC_FLAG without allocation functions of ours: LocalAlloc.
    ScopedLocal<BYTE *> key;
    DWORD keySize = 0;
    return CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &certificate->pCertInfo->SubjectPublicKeyInfo,
                               CRYPT_ENCODE_ALLOC_FLAG, NULL, key.out(), &keySize) &&
           Sha256(key.get(), keySize, hash);
}

// The certificate the system verified the signature with: the first signer's
// own certificate, taken from the verification's state. Another certificate
// in the signature that merely names the same issuer and serial number is
// never the one whose key is pinned.
bool VerifiedSignerKeyHash(HANDLE stateData, BYTE (&hash)[32])
{
    CRYPT_PROVIDER_DATA *provider = WTHelperProvDataFromStateData(stateData);
    CRYPT_PROVIDER_SGNR *signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : NULL;
    CRYPT_PROVIDER_CERT *certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : NULL;
    return certificate && certificate->pCert && KeyHash(certificate->pCert, hash);
}

// The system's verdict on the file's embedded signature and, while its
// state is open, the hash of the verified signer's key (false when none).
LONG VerifyTrust(HANDLE file, const char *path, bool revocation, BYTE (&keyHash)[32], bool &haveKey)
{
    wchar_t widePath[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH);
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = widePath;
    fileInfo.hFile = file; // the handle held since the download: nothing can change the file meanwhile
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = revocation ? WTD_REVOKE_WHOLECHAIN : WTD_REVOKE_NONE;
    if (revocation)
        data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    haveKey = data.hWVTStateData && VerifiedSignerKeyHash(data.hWVTStateData, keyHash);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    return result;
}

} // namespace

bool SignedByPublisher(HANDLE file, const char *path, unsigned long *unansweredRevocation)
{
    BYTE keyHash[32];
    bool haveKey = false;
    *unansweredRevocation = 0;
    LONG result = VerifyTrust(file, path, true, keyHash, haveKey);
    if (RevocationUnanswered(result)) {
        *unansweredRevocation = (unsigned long)result;
        // The file is read again from its start by the second check.
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        result = VerifyTrust(file, path, false, keyHash, haveKey);
    }
    return SignatureSound(result) && haveKey && KeyIsPinned(keyHash, TALVEX_PUBLISHER_KEYS);
}
