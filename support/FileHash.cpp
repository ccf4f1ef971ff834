#include "support/FileHash.h"

#include <windows.h>
#include <wincrypt.h>
#include <zlib.h>

#include <cstdlib>

int Sha256OfFile(const wchar_t* path, WideString& out) {
  out.Assign(L"");
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
  BYTE digest[32];
  DWORD size = sizeof(digest);
  if (ok) ok = CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 32;
  if (hash) CryptDestroyHash(hash);
  if (provider) CryptReleaseContext(provider, 0);
  CloseHandle(file);
  if (!ok) return 0;
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
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
  CloseHandle(file);
  if (!ok) return 0;
  *crc = static_cast<DWORD>(sum);
  *size = total;
  return 1;
}
