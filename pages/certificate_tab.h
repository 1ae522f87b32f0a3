#pragma once
// The certificate page: the station's certificate file names as a checkable list (at most
// one row checked), "Refresh" and "Load", the loaded certificate as an on-screen
// calibration certificate, the two signature names, the address footer choice, "Print"
// and "Save as PDF". The engine runs the requests and fills the list and the panel through
// the main window; the record printed is the engine's, read through the host.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <optional>

#include "pages/page_host.h"
#include "records/certificate.h"
#include "report/certificate_page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace ql::pages {

class cDlgCertiTab : public QWidget {
  Q_OBJECT
 public:
  // Builds the page with its captions and a clear panel; "Refresh" starts disabled.
  explicit cDlgCertiTab(IPageHost& host, QWidget* parent = nullptr);

  // The panel's fields to " ", its table without rows or columns, the signature lines
  // from the inputs.
  void ClearPanel();
  void ClearList();
  // Appends one unchecked row showing `name` (the station's name, as sent).
  void AddRow(const QString& name);
  // Fills the panel from `certificate` (gas type not 0).
  void ShowCertificate(const records::CertificateRecord& certificate);
  void EnableRefresh(bool enabled);

  // The name of the first checked row in list order, or "" when none is checked.
  QString CheckedName() const;
  // Whether the printed page carries the address footer: "Merovane Addr" chosen, no text
  // typed over it.
  bool AddressFooter() const;

 private:
  void BuildPanel();
  void OnRowChanged(QTableWidgetItem* item);
  void OnRefresh();
  void OnLoad();
  void OnPrint();
  void OnSaveAsPdf();
  // The page to print or save, or nothing (with the reason shown) when there is none.
  std::optional<report::CertificatePage> PageToOutput();
  void UpdateSignature(const QLineEdit* input, QLineEdit* line);

  IPageHost& m_host;
  QTableWidget* m_list;                   // 1256
  QPushButton* m_refresh;                 // 1257
  QPushButton* m_load;                    // 1258
  QComboBox* m_footer;                    // 1281
  QLineEdit* m_calibratedBy;              // 1200
  QLineEdit* m_approvedBy;                // 1198
  QPushButton* m_print;                   // 1280
  QPushButton* m_savePdf;                 // 1282
  QLabel* m_title = nullptr;              // 1263
  QLineEdit* m_product = nullptr;         // 1268
  QLineEdit* m_serial = nullptr;          // 1269
  QLineEdit* m_lot = nullptr;             // 1270
  QLineEdit* m_result = nullptr;          // 1271
  QLineEdit* m_date = nullptr;            // 1273
  QTableWidget* m_values = nullptr;       // 1274
  QLineEdit* m_calibratedLine = nullptr;  // 1277
  QLineEdit* m_approvedLine = nullptr;    // 1278
  // The name of the certificate asked for last, and of the one shown: the PDF's file name.
  QString m_requestedName;
  QString m_shownName;
};

}  // namespace ql::pages
