#pragma once
// The main READ and WRITE: they act on the record of the selected tab (0 the docking
// station, 1 the detector of the current family), over the link in link mode and on the
// USB drive's configuration files in USB disk mode, where WRITE also copies the firmware
// file named on that page into the drive's firmware folder.
//
// GUI thread only.

#include <functional>

#include "pages/page_host.h"
#include "protocol/commands.h"
#include "rules/record_type.h"

namespace ql::pages {
class cDlgDockingTab;
class cDlgYBRTab;
class cDlgHWRTab;
}  // namespace ql::pages

namespace ql::app {

inline constexpr const char* kUsbReadSuccess = "USB file read success";
inline constexpr const char* kUsbReadFail = "USB file read fail";
inline constexpr const char* kUsbWriteSuccess = "USB file write success";

struct MainActionContext {
  bool linkMode = true;
  bool portOpen = false;
  int selectedTab = 0;
  protocol::DeviceType deviceType = protocol::DeviceType::None;
};

struct RecordPages {
  pages::cDlgDockingTab* docking;
  pages::cDlgYBRTab* singleGas;
  pages::cDlgHWRTab* multiGas;
};

// `linkAction` starts the link-mode request for the record (the engine's main READ, or
// a page Write).
void MainReadAction(pages::IPageHost& host, const MainActionContext& context,
                    const RecordPages& pages, const std::function<void(RecordType)>& linkAction);
void MainWriteAction(pages::IPageHost& host, const MainActionContext& context,
                     const RecordPages& pages, const std::function<void(RecordType)>& linkAction);

}  // namespace ql::app
