#include "support/WmiQuery.h"

#include <windows.h>
#include <wbemcli.h>

#include <new>

#include "core/BstrHolder.h"
#include "core/ComApartment.h"
#include "core/ComRef.h"
#include "core/KernelHandle.h"

namespace {

// What the look-up thread needs and gives back. Held by the caller and by
// the thread; the last of the two to let go frees it, so a caller that has
// stopped waiting never leaves the thread with freed texts.
struct WmiJob {
  volatile LONG holders = 2;
  WideString nameSpace, query, property, answer;
  int found = 0;
  void Release() {
    if (InterlockedDecrement(&holders) == 0) delete this;
  }
};

int Query(const wchar_t* nameSpace, const wchar_t* query, const wchar_t* property, WideString& out) {
  ComApartment apartment;
  if (!apartment.Init(COINIT_MULTITHREADED)) return 0;
  ComRef<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.OutVoid())))
    return 0;
  ComRef<IWbemServices> services;
  BstrHolder ns(nameSpace);
  if (FAILED(locator->ConnectServer(ns.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.Out())))
    return 0;
  CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                    RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  BstrHolder language(L"WQL");
  BstrHolder text(query);
  ComRef<IEnumWbemClassObject> rows;
  if (FAILED(services->ExecQuery(language.Get(), text.Get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 rows.Out())))
    return 0;
  ComRef<IWbemClassObject> row;
  ULONG count = 0;
  // Bounded too, so that a look-up its caller stopped waiting for ends.
  if (rows->Next(static_cast<long>(WmiPatienceMs), 1, row.Out(), &count) != WBEM_S_NO_ERROR || count != 1)
    return 0;
  VARIANT value;
  VariantInit(&value);
  int found = 0;
  if (SUCCEEDED(row->Get(property, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
      value.bstrVal) {
    found = out.Assign(value.bstrVal);
  }
  VariantClear(&value);
  return found;
}

DWORD WINAPI LookUp(void* parameter) {
  WmiJob* job = static_cast<WmiJob*>(parameter);
  job->found = Query(job->nameSpace.CStr(), job->query.CStr(), job->property.CStr(), job->answer);
  job->Release();
  return 0;
}

}  // namespace

int WmiFirstText(const wchar_t* nameSpace, const wchar_t* query, const wchar_t* property,
                 WideString& out, DWORD timeoutMs) {
  if (!nameSpace || !query || !property) return 0;
  WmiJob* job = new (std::nothrow) WmiJob;
  if (!job) return 0;
  if (!job->nameSpace.Assign(nameSpace) || !job->query.Assign(query) || !job->property.Assign(property)) {
    delete job;
    return 0;
  }
  KernelHandle thread(CreateThread(nullptr, 0, LookUp, job, 0, nullptr));
  if (!thread) {
    delete job;
    return 0;
  }
  // The thread's end makes everything it wrote visible here.
  int found = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0 && job->found && out.Assign(job->answer);
  job->Release();
  return found;
}
