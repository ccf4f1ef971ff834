#include "support/WmiQuery.h"

#include <windows.h>
#include <wbemcli.h>

#include "core/BstrHolder.h"
#include "core/ComApartment.h"
#include "core/ComRef.h"

int WmiFirstText(const wchar_t* nameSpace, const wchar_t* query, const wchar_t* property,
                 WideString& out) {
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
  if (rows->Next(WBEM_INFINITE, 1, row.Out(), &count) != WBEM_S_NO_ERROR || count != 1) return 0;
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
