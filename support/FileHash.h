// The SHA-256 of a file's contents through the system's crypto provider,
// its CRC-32 (as a ZIP archive records it), and the check of an ECDSA
// P-256 signature over a SHA-256 digest through CNG (bcrypt.dll, bound
// when used).
#pragma once

#include <windows.h>

#include "core/WideString.h"

// 1 with the 64 lower-case hexadecimal digits in out (and the 32 bytes of
// the digest in digest, when given); 0 when the file cannot be read or the
// provider offers no SHA-256.
int Sha256OfFile(const wchar_t* path, WideString& out, BYTE* digest = nullptr);
// 1 with the CRC-32 and size of the file's contents; 0 when it cannot be read.
int Crc32OfFile(const wchar_t* path, DWORD* crc, ULONGLONG* size);
// 1 when signature (128 hexadecimal digits: r and s, 32 bytes each,
// big-endian) is an ECDSA P-256 signature of the digest under publicKey
// (128 hexadecimal digits: X and Y of the uncompressed point); 0 for any
// other text, a signature that does not verify, and a platform without
// ECDSA.
int VerifyDigestSignature(const BYTE digest[32], const wchar_t* publicKey,
                          const wchar_t* signature);
