#pragma once
// The firmware block of a record page: Browse (choose and check a file), Write (check it
// again, then upload it through the station link or copy it to the USB drive's firmware
// folder), and the emptying of the path field and its version label. One implementation
// for the three pages; what differs between them (accepted names, the multi-gas ".bin"
// check, the drive folder and renames, the messages) comes from the core's rules by page.
//
// GUI thread only.

#include <QObject>
#include <string>

#include "pages/page_host.h"
#include "records/firmware.h"
#include "rules/record_type.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QWidget;

namespace ql::pages {

struct FirmwareWidgets {
  QLabel* label = nullptr;      // version or failure text
  QLineEdit* path = nullptr;    // path of the accepted file
  QProgressBar* bar = nullptr;  // the page's own upload bar
};

class FirmwareBlock : public QObject {
  Q_OBJECT
 public:
  // `page` is the dialog parent of the file chooser. Emptying the path field empties the
  // label.
  FirmwareBlock(IPageHost& host, RecordType page, QWidget* pageWidget, FirmwareWidgets widgets);

  void Browse();
  void Write();
  // Empties the path field and the label (after a successful upload, on every page).
  void Clear();
  // The file name remembered by the last Browse (empty before any).
  const std::string& BrowsedName() const { return m_browsedName; }

 private:
  void CopyToDrive(const std::string& pathText);

  IPageHost& m_host;
  RecordType m_page;
  QWidget* m_pageWidget;
  FirmwareWidgets m_widgets;
  std::string m_browsedName;
  // The file last checked by Browse, as the page's buffer holds it.
  records::FirmwareImage m_image;
};

}  // namespace ql::pages
