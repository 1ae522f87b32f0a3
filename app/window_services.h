#pragma once
// What the main window takes from outside: the message box, the choosers, the mount check,
// the clocks, the serial port and where ports are discovered. The program passes the real
// ones; tests pass recorders, prepared answers, a virtual clock and a fake port tree.

#include <QString>
#include <functional>
#include <memory>

#include "engine/timer_host.h"
#include "engine/wall_clock.h"
#include "link/clock.h"
#include "link/port_discovery.h"
#include "link/serial_port.h"
#include "pages/page_host.h"
#include "usbdisk/usb_drive.h"

class QWidget;

namespace ql::app {

// The one message path: a modal box captioned "Quaylink" with one OK button.
class IMessagePresenter {
 public:
  virtual ~IMessagePresenter() = default;
  virtual void Show(QWidget* parent, const QString& text) = 0;
};

struct WindowServices {
  // Null: the real ones (message boxes, Qt's file and folder dialogs, the printer, the system's
  // mount table, the PC clock, Qt timers, the platform's serial port).
  IMessagePresenter* messages = nullptr;
  pages::IChoosers* choosers = nullptr;
  // Null: Qt's print dialog and the chosen printer.
  pages::ICertificatePrinter* printer = nullptr;
  usbdisk::IMountCheck* mountCheck = nullptr;
  const engine::IWallClock* wallClock = nullptr;
  // A timer host the caller drives (tests: a virtual clock); the caller connects its
  // target to the window's engine.
  engine::ITimerHost* timers = nullptr;
  link::IClock* transferClock = nullptr;
  std::function<std::unique_ptr<link::ISerialPort>()> makePort;
  link::DiscoveryRoots discovery;
};

}  // namespace ql::app
