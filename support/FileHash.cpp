#include "support/FileHash.h"

#include <windows.h>
#include <wincrypt.h>
#include <bcrypt.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/KernelHandle.h"
#include "core/LibraryHandle.h"

namespace {

int Sha256DigestOfFile(const wchar_t* path, BYTE digest[32]) {
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  int ok = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
           CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
  BYTE local[65536];
  DWORD got = 0;
  while (ok) {
    if (!ReadFile(file, local, sizeof(local), &got, nullptr)) {
      ok = 0;
      break;
    }
    if (got == 0) break;
    ok = CryptHashData(hash, local, got, 0);
  }
  DWORD size = 32;
  if (ok) ok = CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 32;
  if (hash) CryptDestroyHash(hash);
  if (provider) CryptReleaseContext(provider, 0);
  return ok;
}

}  // namespace

int Sha256OfFile(const wchar_t* path, WideString& out, BYTE* digestOut) {
  out.Assign(L"");
  BYTE digest[32];
  if (!Sha256DigestOfFile(path, digest)) return 0;
  if (digestOut) memcpy(digestOut, digest, 32);
  wchar_t hex[65];
  for (int i = 0; i < 32; ++i) {
    static const wchar_t digits[] = L"0123456789abcdef";
    hex[2 * i] = digits[digest[i] >> 4];
    hex[2 * i + 1] = digits[digest[i] & 15];
  }
  hex[64] = 0;
  return out.Assign(hex);
}

int Crc32OfFile(const wchar_t* path, DWORD* crc, ULONGLONG* size) {
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  BYTE* buffer = static_cast<BYTE*>(malloc(65536));
  uLong sum = crc32(0, nullptr, 0);
  ULONGLONG total = 0;
  DWORD got = 0;
  int ok = buffer != nullptr;
  while (ok && (ok = ReadFile(file, buffer, 65536, &got, nullptr) ? 1 : 0) && got) {
    sum = crc32(sum, buffer, got);
    total += got;
  }
  free(buffer);
  if (!ok) return 0;
  *crc = static_cast<DWORD>(sum);
  *size = total;
  return 1;
}

namespace {

// Exactly count bytes from 2 * count hexadecimal digits and nothing more.
bool HexBytes(const wchar_t* text, BYTE* out, unsigned count) {
  if (!text || wcslen(text) != 2 * count) return false;
  for (unsigned i = 0; i < 2 * count; ++i) {
    wchar_t c = text[i];
    unsigned v = (c >= L'0' && c <= L'9')   ? c - L'0'
                 : (c >= L'a' && c <= L'f') ? c - L'a' + 10
                 : (c >= L'A' && c <= L'F') ? c - L'A' + 10
                                            : 16;
    if (v == 16) return false;
    out[i / 2] = static_cast<BYTE>((i % 2) ? (out[i / 2] | v) : (v << 4));
  }
  return true;
}

}  // namespace

int VerifyDigestSignature(const BYTE digest[32], const wchar_t* publicKey,
                          const wchar_t* signature) {
  // The key as CNG imports it: the blob header, then X and Y.
  BYTE blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  BYTE raw[64];
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  memcpy(blob, &header, sizeof(header));
  if (!HexBytes(publicKey, blob + sizeof(header), 64) || !HexBytes(signature, raw, 64)) return 0;
  LibraryHandle cng;
  // From the system folder only: a bcrypt.dll beside the program must not
  // get to say which signatures are good.
  if (!cng.Load(L"bcrypt.dll", 1)) return 0;
  auto open = cng.ResolveAs<decltype(&::BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
  auto import = cng.ResolveAs<decltype(&::BCryptImportKeyPair)>("BCryptImportKeyPair");
  auto verify = cng.ResolveAs<decltype(&::BCryptVerifySignature)>("BCryptVerifySignature");
  auto destroy = cng.ResolveAs<decltype(&::BCryptDestroyKey)>("BCryptDestroyKey");
  auto close = cng.ResolveAs<decltype(&::BCryptCloseAlgorithmProvider)>(
      "BCryptCloseAlgorithmProvider");
  if (!open || !import || !verify || !destroy || !close) return 0;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(open(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return 0;
  BCRYPT_KEY_HANDLE key = nullptr;
  int ok = BCRYPT_SUCCESS(import(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob,
                                 sizeof(blob), 0)) &&
           BCRYPT_SUCCESS(verify(key, nullptr, const_cast<BYTE*>(digest), 32, raw, 64, 0));
  if (key) destroy(key);
  close(algorithm, 0);
  return ok;
}
