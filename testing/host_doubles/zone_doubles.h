#pragma once
// Doubles of Vorlen's seller-zone connector and status manager, registered in this process under
// their class ids while a ZoneDoubles lives (the registered class objects win over the registry).
// The connector keeps one page configuration per account in memory; any call can be made to
// fail with error information; the calls are recorded.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/comobject.h"
#include "zone/vorlen.h"

namespace doubles {

struct ZoneState {
  struct Page {
    bool active = false, document = false, delivery = false;
    std::wstring description, www;
  };
  std::map<LONG, Page> pages;
  // "GetPageConfig", "SetPageConfig", "ForceSendAll": the HRESULT (with the description as error
  // information when not empty) that the method answers.
  std::map<std::wstring, std::pair<HRESULT, std::wstring>> failures;
  std::vector<std::wstring> calls;   // "SetPageConfig 5 active=1 document=0 delivery=1 www=..."
};

class ZoneDoubles {
 public:
  // `withConnector` false leaves the connector's class unserved (its creation fails).
  explicit ZoneDoubles(bool withConnector = true);
  ~ZoneDoubles();
  ZoneDoubles(const ZoneDoubles&) = delete;
  ZoneDoubles& operator=(const ZoneDoubles&) = delete;
  ZoneState& State() { return *m_state; }

 private:
  std::shared_ptr<ZoneState> m_state;
  std::vector<CFlgClassRegistration> m_classes;
};

}  // namespace doubles
