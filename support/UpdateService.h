// The address of the maker's update service and the public key its files
// are signed with, fixed when the program is built (the CMake settings
// PELLTON_UPDATE_URL, an https address with the path "/common/update.php"
// and the query "p=pellton", and PELLTON_UPDATE_PUBLIC_KEY).
#pragma once

const wchar_t* UpdateServiceUrl();
// 128 hexadecimal digits: X and Y of the ECDSA P-256 release key; "" when
// the build set none (then no downloaded file verifies).
const wchar_t* UpdatePublicKey();
