#pragma once
// The service page: the station's serial number, self test, factory default and firmware
// erase (both station versions), and the Ethernet link test and IP address (the second
// version only). Each button sends one request; the engine answers each with a message.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "pages/page_host.h"

class QLineEdit;
class QPushButton;

namespace ql::pages {

// The serial number input takes at most this many characters.
inline constexpr int kSerialNumberLength = 12;

class cDlgRNDTab : public QWidget {
  Q_OBJECT
 public:
  explicit cDlgRNDTab(IPageHost& host, QWidget* parent = nullptr);

  // "Get IpAdress" and the address field: usable while a station is connected.
  void EnableIpControls(bool enabled);
  // While the window is busy with a request (a transfer above all) the page sends nothing:
  // a factory default in the middle of an upload would break into its blocks.
  void SetBusy(bool busy);
  // The 0x43 answer, first octet first.
  void ShowIpAddress(const std::array<std::uint8_t, 4>& address);
  QString IpAddressText() const;

 private:
  void OnWriteSerialNumber();
  void OnGetIpAddress();

  IPageHost& m_host;
  QLineEdit* m_serialNumber;  // 1198
  QPushButton* m_write;       // 1226
  QPushButton* m_getIp;       // 1254
  QLineEdit* m_ipAddress;     // 1255
  std::vector<QPushButton*> m_requestButtons;
  bool m_ipEnabled = false;
  bool m_busy = false;
};

}  // namespace ql::pages
