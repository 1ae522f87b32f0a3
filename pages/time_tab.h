#pragma once
// The date and time page: two pickers to set the station clock from, "CURRENT TIME" to fill
// them from the PC, the set and read requests, and the PC and station clocks side by side.
// The station clock is not polled: after an answer the window shows it as the PC clock
// minus the offset the engine keeps, refreshed with the PC clock every 500 ms.
//
// GUI thread only.

#include <QWidget>
#include <cstdint>
#include <ctime>
#include <optional>

#include "engine/wall_clock.h"
#include "pages/page_host.h"
#include "protocol/request_block.h"

class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace ql::pages {

class cDlgtTimeSetTab : public QWidget {
  Q_OBJECT
 public:
  // Builds the page with the station unavailable; the pickers start at the PC's time.
  // `clock` must outlive the page.
  cDlgtTimeSetTab(IPageHost& host, const engine::IWallClock& clock, QWidget* parent = nullptr);

  // A station is connected (the read) and its clock may be set (with Auto Sync off).
  void SetStationAvailable(bool available);
  // The docking page's Auto Sync option: while on, the station's clock follows the PC's
  // with every read and write, so the page sets nothing of its own.
  void SetAutoSync(bool on);
  // While the window is busy with a request (a transfer above all) the page sends nothing.
  void SetBusy(bool busy);

  // The PC clock, and the station clock as the PC clock minus `stationOffset` (seconds)
  // while the offset is known.
  void RefreshClock(std::optional<std::int64_t> stationOffset);
  // A clock answer: the station's own date and time.
  void ShowStationClock(const protocol::DateTime& station);
  // The port closed: the station fields stay empty until the next answer.
  void ClearStationClock();

  // What the pickers hold, as the set request sends it.
  protocol::DateTime PickedDateTime() const;
  void SetPickedDateTime(const protocol::DateTime& dateTime);

 private:
  void ApplyEnabling();
  void OnCurrentTime();
  void OnUpdate();
  void OnRead();

  IPageHost& m_host;
  const engine::IWallClock& m_clock;
  QGroupBox* m_setGroup;        // 1106
  QPushButton* m_currentTime;   // 1234
  QDateEdit* m_datePicker;      // 1241
  QTimeEdit* m_timePicker;      // 1242
  QPushButton* m_update;        // 1232
  QPushButton* m_read;          // 1233
  QLineEdit* m_pcHeading;       // 1037
  QLineEdit* m_pcDate;          // 1024
  QLineEdit* m_pcTime;          // 1026
  QLineEdit* m_stationHeading;  // 1040
  QLineEdit* m_stationDate;     // 1027
  QLineEdit* m_stationTime;     // 1028
  bool m_stationAvailable = false;
  bool m_autoSync = false;
  bool m_busy = false;
};

}  // namespace ql::pages
