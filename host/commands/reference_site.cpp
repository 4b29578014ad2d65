#include "host/commands/reference_site.h"

#include <filesystem>
#include <system_error>

#include "host/command.h"
#include "host/host.h"
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
#include "testing/site_connector/reference_connector.h"
#endif

namespace host {

std::wstring ReferenceSiteCopy(const std::wstring& database) {
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  return DatabaseFilesBase(database) + L"." + kReferenceSiteDataFile;
#else
  return DatabaseFilesBase(database) + L".reference-site.json";
#endif
}

bool MakeReferenceSiteCopy(const std::wstring& database, bool replace) {
#ifdef VANTOR_REFERENCE_SITE_DATA
  namespace fs = std::filesystem;
  const fs::path copy(ReferenceSiteCopy(database));
  std::error_code error;
  if (!replace && fs::exists(copy, error)) return true;
  fs::create_directories(copy.parent_path(), error);  // the folder of a database on a server
  fs::copy_file(fs::path(VANTOR_REFERENCE_SITE_DATA), copy, fs::copy_options::overwrite_existing, error);
  if (!error) return true;
  Write(stderr, L"vantor: nie można utworzyć pliku danych serwisu wzorcowego " + copy.wstring() + L": " +
                    Widen(error.message()) + L"\n");
  return false;
#else
  (void)database;
  (void)replace;
  return false;
#endif
}

HRESULT LoadReferenceSite(const std::wstring& database) {
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  // Without its copy the site cannot be reached: the connector is pointed at it all the same.
  MakeReferenceSiteCopy(database, false);
  const std::wstring copy = ReferenceSiteCopy(database);
  IReferenceConnectorControl* raw = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ReferenceConnector, nullptr, CLSCTX_ALL, __uuidof(IReferenceConnectorControl),
                                reinterpret_cast<void**>(&raw));
  IReferenceConnectorControlPtr control(raw, false);
  if (SUCCEEDED(hr)) hr = control->LoadSiteData(_bstr_t(copy.c_str()));
  if (FAILED(hr)) ReportFailure(L"nie można wczytać danych serwisu wzorcowego " + copy, hr);
  return hr;
#else
  (void)database;
  return E_NOTIMPL;
#endif
}

}  // namespace host
