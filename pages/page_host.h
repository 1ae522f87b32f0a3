#pragma once
// What the pages need from the main window, as narrow interfaces, so a page can be tested
// on its own with fakes and the window stays the only owner of the engine.
//
// All calls on the GUI thread.

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/certificate_output.h"
#include "protocol/request_block.h"
#include "records/certificate.h"
#include "records/firmware.h"
#include "rules/record_type.h"

class QWidget;

namespace ql::pages {

// The station operations the pages start in link mode. The window forwards them to the
// engine; the engine reports their ends to the window, which tells the pages.
class IStationLink {
 public:
  virtual ~IStationLink() = default;
  virtual bool PortOpen() const = 0;
  // A record page's own Read and Write (the engine asks the page for its values when the
  // station is ready to take them).
  virtual void PageRead(RecordType type) = 0;
  virtual void PageWrite(RecordType type) = 0;
  // A record page's firmware Write; `image` passed records::CheckFirmwareChoice.
  virtual void StartFirmwareWrite(RecordType page, records::FirmwareImage image) = 0;
  // Log page: "Refresh"; "Local Save" with the checked names in list order.
  virtual void RefreshLogList() = 0;
  virtual void SaveLogs(const std::vector<std::string>& names,
                        const std::filesystem::path& folder) = 0;
  // Certificate page: "Refresh"; "Load" with the checked row's name ("" when none is
  // checked: the engine refuses it); the certificate last loaded (gas type 0 when there is
  // none to print).
  virtual void RefreshCertificateList() = 0;
  virtual void LoadCertificate(std::string_view name) = 0;
  virtual const records::CertificateRecord& Certificate() const = 0;
  // Date and time page: the station clock read, and set to `dateTime`.
  virtual void ReadStationClock() = 0;
  virtual void SetStationClock(const protocol::DateTime& dateTime) = 0;
  // Service page. The engine refuses each with the port closed; the serial number is
  // refused when empty.
  virtual void WriteSerialNumber(std::string_view serialNumber) = 0;
  virtual void SelfTest() = 0;
  virtual void FactoryDefault() = 0;
  virtual void EraseFirmware() = 0;
  virtual void EthernetLinkTest() = 0;
  virtual void GetIpAddress() = 0;
};

// File and folder choosers. The window shows Qt's dialogs; tests answer with paths.
class IChoosers {
 public:
  virtual ~IChoosers() = default;
  // An existing file; the filter lists every file ("Binary File(*.bin)"). Nothing when
  // cancelled.
  virtual std::optional<std::filesystem::path> ChooseFile(QWidget* parent) = 0;
  // A folder, with `title` as the dialog's title. Nothing when cancelled.
  virtual std::optional<std::filesystem::path> ChooseFolder(QWidget* parent,
                                                            const QString& title) = 0;
  // A file to write, with `title` as the dialog's title and `suggestedName` proposed; the
  // dialog asks before an existing file is replaced. Nothing when cancelled.
  virtual std::optional<std::filesystem::path> ChooseSaveFile(QWidget* parent, const QString& title,
                                                              const QString& suggestedName) = 0;
};

// The main window as the pages see it.
class IPageHost {
 public:
  virtual ~IPageHost() = default;
  // The one message path: a modal box captioned "Quaylink" with one OK button.
  virtual void ShowMessage(std::string_view text) = 0;
  // All four progress bars; the main bar's range and the visible pages' bars.
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetProgressRange(int low, int high) = 0;
  // true in link mode (" IR"), false in USB disk mode.
  virtual bool LinkMode() const = 0;
  // The chosen drive root in USB disk mode.
  virtual std::filesystem::path UsbRoot() const = 0;
  virtual IStationLink& Station() = 0;
  virtual IChoosers& Choosers() = 0;
  virtual ICertificatePrinter& Printer() = 0;
};

}  // namespace ql::pages
