#include "support/UpdateService.h"

#ifndef PELLTON_UPDATE_URL
#error "PELLTON_UPDATE_URL is set by the build"
#endif
#ifndef PELLTON_UPDATE_PUBLIC_KEY
#error "PELLTON_UPDATE_PUBLIC_KEY is set by the build"
#endif

const wchar_t* UpdateServiceUrl() { return L"" PELLTON_UPDATE_URL; }
const wchar_t* UpdatePublicKey() { return L"" PELLTON_UPDATE_PUBLIC_KEY; }
