// The publisher check of a downloaded installer: the system verifies the
// signature (digest and form), and the signer's public key must be pinned.
// Windows would also accept any certificate that chains to one of the
// machine's roots; the pinned key is what says the file is ours, and
// under Wine, which checks no chain, it is the only check of the signer.
// Revocation is asked for, so that a withdrawn signing certificate is
// refused; where this machine cannot learn it (offline, no revocation
// server reachable) the check is made again without it, and the caller is
// told so (the assistant logs it). The installer's first stage and its
// helper check the installer's copy with the same rules.
//
// The verification's DLLs are loaded from the system folder by full path,
// never imported: the first stage runs elevated from a folder its user may
// change, where a DLL of one of their names could lie beside it.
#include "publisher_check.h"

#include "publisher_keys.h"
#include "scoped.h"
#include "signature_rules.h"
#include "system_library.h"
#include "wide_text.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace {

// The functions of wintrust.dll and crypt32.dll the check calls, from the
// system folder (system_library.h); loaded once, kept for the process.
struct TrustFunctions {
    ScopedLibrary wintrust{LoadSystemLibrary("wintrust.dll")};
    ScopedLibrary crypt32{LoadSystemLibrary("crypt32.dll")};
    decltype(&WinVerifyTrust) verifyTrust = Find<decltype(&WinVerifyTrust)>(wintrust, "WinVerifyTrust");
    decltype(&WTHelperProvDataFromStateData) providerData =
        Find<decltype(&WTHelperProvDataFromStateData)>(wintrust, "WTHelperProvDataFromStateData");
    decltype(&WTHelperGetProvSignerFromChain) signer =
        Find<decltype(&WTHelperGetProvSignerFromChain)>(wintrust, "WTHelperGetProvSignerFromChain");
    decltype(&WTHelperGetProvCertFromChain) certificate =
        Find<decltype(&WTHelperGetProvCertFromChain)>(wintrust, "WTHelperGetProvCertFromChain");
    decltype(&CryptEncodeObjectEx) encode = Find<decltype(&CryptEncodeObjectEx)>(crypt32, "CryptEncodeObjectEx");
    decltype(&CryptHashCertificate2) hash = Find<decltype(&CryptHashCertificate2)>(crypt32, "CryptHashCertificate2");

    bool complete() const { return verifyTrust && providerData && signer && certificate && encode && hash; }

    template <typename F>
    static F Find(const ScopedLibrary &library, const char *name)
    {
        return library ? (F)(void *)GetProcAddress(library.get(), name) : nullptr;
    }
};

const TrustFunctions &Trust()
{
    static const TrustFunctions functions;
    return functions;
}

// The SHA-256 of a certificate's public key (DER SubjectPublicKeyInfo), as
// `openssl pkey -pubin -outform DER | sha256sum` gives it.
bool KeyHash(PCCERT_CONTEXT certificate, BYTE (&hash)[32])
{
    // CRYPT_ENCODE_ALLOC_FLAG without allocation functions of ours: LocalAlloc.
    ScopedLocal<BYTE *> key;
    DWORD keySize = 0, hashSize = sizeof hash;
    return Trust().encode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &certificate->pCertInfo->SubjectPublicKeyInfo,
                          CRYPT_ENCODE_ALLOC_FLAG, NULL, key.out(), &keySize) &&
           Trust().hash(BCRYPT_SHA256_ALGORITHM, 0, NULL, key.get(), keySize, hash, &hashSize) &&
           hashSize == sizeof hash;
}

// The certificate the system verified the signature with: the first signer's
// own certificate, taken from the verification's state. Another certificate
// in the signature that merely names the same issuer and serial number is
// never the one whose key is pinned.
bool VerifiedSignerKeyHash(HANDLE stateData, BYTE (&hash)[32])
{
    CRYPT_PROVIDER_DATA *provider = Trust().providerData(stateData);
    CRYPT_PROVIDER_SGNR *signer = provider ? Trust().signer(provider, 0, FALSE, 0) : NULL;
    CRYPT_PROVIDER_CERT *certificate = signer ? Trust().certificate(signer, 0) : NULL;
    return certificate && certificate->pCert && KeyHash(certificate->pCert, hash);
}

// The system's verdict on the file's embedded signature and, while its
// state is open, the hash of the verified signer's key (false when none).
LONG VerifyTrust(HANDLE file, const wchar_t *path, bool revocation, BYTE (&keyHash)[32], bool &haveKey)
{
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path;
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
    LONG result = Trust().verifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    haveKey = data.hWVTStateData && VerifiedSignerKeyHash(data.hWVTStateData, keyHash);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    Trust().verifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    return result;
}

} // namespace

bool SignedByPublisher(HANDLE file, const wchar_t *path, unsigned long *unansweredRevocation)
{
    BYTE keyHash[32];
    bool haveKey = false;
    *unansweredRevocation = 0;
    // Without the system's verification nothing is taken for signed.
    if (!Trust().complete())
        return false;
    LONG result = VerifyTrust(file, path, true, keyHash, haveKey);
    if (RevocationUnanswered(result)) {
        *unansweredRevocation = (unsigned long)result;
        // The file is read again from its start by the second check.
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        result = VerifyTrust(file, path, false, keyHash, haveKey);
    }
    return SignatureSound(result) && haveKey && KeyIsPinned(keyHash, TALVEX_PUBLISHER_KEYS);
}

bool SignedByPublisher(HANDLE file, const char *path, unsigned long *unansweredRevocation)
{
    return SignedByPublisher(file, Wide(path).c_str(), unansweredRevocation);
}
