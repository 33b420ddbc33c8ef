// The publisher check of a downloaded installer: the system verifies the
// signature (digest and form), and the signer's public key must be pinned.
// Windows would also accept any certificate that chains to one of the
// machine's roots; the pinned key is what says the file is ours, and
// under Wine, which checks no chain, it is the only check of the signer.
#include "publisher_check.h"

#include "installer_check.h"
#include "publisher_keys.h"

#include <bcrypt.h>
#include <imagehlp.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

namespace {

// The system's verdict on the file's embedded signature.
LONG VerifyTrust(HANDLE file, const char *path)
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
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    return result;
}

// The PKCS #7 signature embedded in the program file; empty without one.
std::vector<BYTE> EmbeddedSignature(HANDLE file)
{
    DWORD length = 0;
    ImageGetCertificateData(file, 0, NULL, &length);
    std::vector<BYTE> certificate(length);
    WIN_CERTIFICATE *header = (WIN_CERTIFICATE *)certificate.data();
    if (length < sizeof(WIN_CERTIFICATE) || !ImageGetCertificateData(file, 0, header, &length) ||
        header->wCertificateType != WIN_CERT_TYPE_PKCS_SIGNED_DATA || header->dwLength > length ||
        header->dwLength <= offsetof(WIN_CERTIFICATE, bCertificate))
        return {};
    return std::vector<BYTE>(header->bCertificate, (BYTE *)header + header->dwLength);
}

// The signer's certificate in the signature's message.
PCCERT_CONTEXT SignerCertificate(HCRYPTMSG message, HCERTSTORE store)
{
    DWORD size = 0;
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, NULL, &size))
        return NULL;
    std::vector<BYTE> buffer(size);
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size))
        return NULL;
    const CMSG_SIGNER_INFO *signer = (const CMSG_SIGNER_INFO *)buffer.data();
    CERT_INFO wanted = {};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    return CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT,
                                      &wanted, NULL);
}

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

// The SHA-256 of the signer's public key (DER SubjectPublicKeyInfo), as
// `openssl pkey -pubin -outform DER | sha256sum` gives it.
bool SignerKeyHash(HANDLE file, BYTE (&hash)[32])
{
    std::vector<BYTE> signature = EmbeddedSignature(file);
    if (signature.empty())
        return false;
    CERT_BLOB blob = {(DWORD)signature.size(), signature.data()};
    HCERTSTORE store = NULL;
    HCRYPTMSG message = NULL;
    PCCERT_CONTEXT signer = NULL;
    BYTE *key = NULL;
    DWORD keySize = 0;
    bool ok = CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                               CERT_QUERY_FORMAT_FLAG_BINARY, 0, NULL, NULL, NULL, &store, &message, NULL) &&
              (signer = SignerCertificate(message, store)) != NULL &&
              CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &signer->pCertInfo->SubjectPublicKeyInfo,
                                  CRYPT_ENCODE_ALLOC_FLAG, NULL, &key, &keySize) &&
              Sha256(key, keySize, hash);
    if (key)
        LocalFree(key);
    if (signer)
        CertFreeCertificateContext(signer);
    if (message)
        CryptMsgClose(message);
    if (store)
        CertCloseStore(store, 0);
    return ok;
}

} // namespace

bool SignedByPublisher(HANDLE file, const char *path)
{
    BYTE keyHash[32];
    return SignatureSound(VerifyTrust(file, path)) && SignerKeyHash(file, keyHash) &&
           KeyIsPinned(keyHash, TALVEX_PUBLISHER_KEYS);
}
