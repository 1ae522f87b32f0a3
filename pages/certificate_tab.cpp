#include "pages/certificate_tab.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QVBoxLayout>
#include <cctype>
#include <string>
#include <utility>

#include "engine/messages.h"
#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/field_widgets.h"
#include "records/certificate_view.h"
#include "report/certificate_pdf.h"

namespace ql::pages {

namespace {

constexpr int kNameColumnWidth = 150;
constexpr int kNameRole = Qt::UserRole;
constexpr int kTitlePointSize = 15;

constexpr std::string_view kDataEmpty = "Data Empty !!";
constexpr std::string_view kSuccess = "Success";
constexpr std::string_view kPrintFailed =
    "The certificate was not printed:\nthe printer could not be started";
// A signature line with no name: room to sign by hand.
const QString kBlankSignature = QStringLiteral("____________________");

QLineEdit* ReadOnlyField(QWidget* parent) {
  auto* field = new QLineEdit(QStringLiteral(" "), parent);
  field->setReadOnly(true);
  field->setFrame(false);
  return field;
}

// A label with its field: the label's text (trimmed) names the field for screen readers.
QLabel* LabelFor(const QString& caption, int labelId, QLineEdit* field, int fieldId,
                 QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(field);
  SetControlId(label, labelId);
  SetControlId(field, fieldId, caption.trimmed());
  return label;
}

bool EndsWithPdf(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".pdf";
}

// A file name proposed for the PDF from a name the station sent: it is only a name, so
// anything that could make it a path (separators, leading dots) goes.
QString SuggestedPdfName(const std::string& stationName) {
  std::string name;
  for (char ch : stationName) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = std::isalnum(c) != 0 || c == ' ' || c == '-' || c == '_' || c == '.';
    name.push_back(plain ? ch : '_');
  }
  const auto first = name.find_first_not_of(". ");
  name = first == std::string::npos ? std::string() : name.substr(first);
  if (name.empty()) name = "certificate";
  if (!EndsWithPdf(name)) name += ".pdf";
  return FromLatin1(name);
}

}  // namespace

cDlgCertiTab::cDlgCertiTab(IPageHost& host, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_list(new QTableWidget(0, 1, this)),
      m_refresh(new QPushButton(QStringLiteral("Refresh"), this)),
      m_load(new QPushButton(QStringLiteral("Load"), this)),
      m_footer(new QComboBox(this)),
      m_calibratedBy(new QLineEdit(this)),
      m_approvedBy(new QLineEdit(this)),
      m_print(new QPushButton(QStringLiteral("Print"), this)),
      m_savePdf(new QPushButton(QStringLiteral("Save as PDF"), this)) {
  SetControlId(this, 163);
  SwallowDialogKeys(this);
  SetControlId(m_list, 1256, QStringLiteral("Certi File Name"));
  SetControlId(m_refresh, 1257, m_refresh->text());
  SetControlId(m_load, 1258, m_load->text());
  SetControlId(m_footer, 1281, QStringLiteral("Address footer"));
  SetControlId(m_print, 1280, m_print->text());
  SetControlId(m_savePdf, 1282, m_savePdf->text());

  auto* header = new QTableWidgetItem(QStringLiteral("Certi File Name"));
  header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_list->setHorizontalHeaderItem(0, header);
  m_list->setColumnWidth(0, kNameColumnWidth);
  m_list->horizontalHeader()->setStretchLastSection(false);
  m_list->verticalHeader()->setVisible(false);
  m_list->setShowGrid(true);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setWordWrap(false);

  // Typed text is allowed and means "no footer"; it never becomes an item.
  m_footer->setEditable(true);
  m_footer->setInsertPolicy(QComboBox::NoInsert);
  m_footer->addItem(QStringLiteral("Merovane Addr"));
  m_footer->addItem(QStringLiteral("No Addr"));
  m_footer->setCurrentIndex(0);

  auto* calibratedLabel = new QLabel(QStringLiteral("Calibrated By : "), this);
  calibratedLabel->setBuddy(m_calibratedBy);
  SetControlId(calibratedLabel, 1260);
  SetControlId(m_calibratedBy, 1200, QStringLiteral("Calibrated By"));
  auto* approvedLabel = new QLabel(QStringLiteral("Approved By : "), this);
  approvedLabel->setBuddy(m_approvedBy);
  SetControlId(approvedLabel, 1259);
  SetControlId(m_approvedBy, 1198, QStringLiteral("Approved By"));

  for (QPushButton* button : {m_refresh, m_load, m_print, m_savePdf}) {
    button->setAutoDefault(false);
  }

  BuildPanel();

  // Left: the list and its buttons, the signature names, the footer choice and the outputs.
  auto* listButtons = new QHBoxLayout;
  listButtons->addWidget(m_refresh);
  listButtons->addWidget(m_load);
  auto* names = new QGridLayout;
  names->addWidget(calibratedLabel, 0, 0);
  names->addWidget(m_calibratedBy, 0, 1);
  names->addWidget(approvedLabel, 1, 0);
  names->addWidget(m_approvedBy, 1, 1);
  auto* outputs = new QHBoxLayout;
  outputs->addWidget(m_footer, 1);
  outputs->addWidget(m_print);
  outputs->addWidget(m_savePdf);
  auto* left = new QVBoxLayout;
  left->addWidget(m_list, 1);
  left->addLayout(listButtons);
  left->addLayout(names);
  left->addLayout(outputs);

  auto* panel = findChild<QFrame*>(QStringLiteral("certificatePanel"));
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 2);
  layout->addWidget(panel, 5);

  connect(m_list, &QTableWidget::itemChanged, this, &cDlgCertiTab::OnRowChanged);
  connect(m_refresh, &QPushButton::clicked, this, &cDlgCertiTab::OnRefresh);
  connect(m_load, &QPushButton::clicked, this, &cDlgCertiTab::OnLoad);
  connect(m_print, &QPushButton::clicked, this, &cDlgCertiTab::OnPrint);
  connect(m_savePdf, &QPushButton::clicked, this, &cDlgCertiTab::OnSaveAsPdf);
  for (auto [input, line] :
       {std::pair{m_calibratedBy, m_calibratedLine}, std::pair{m_approvedBy, m_approvedLine}}) {
    input->setMaxLength(static_cast<int>(records::kSignatureNameMax));
    // Typed or pasted alike, only letters, digits and spaces stay. The copy reads the
    // field itself: a rewrite inside this handler has already updated it.
    connect(input, &QLineEdit::textChanged, this, [this, input, line](const QString& text) {
      const QString kept = FromLatin1(records::CleanSignatureName(ToLatin1(text)));
      if (kept != text) {
        input->setText(kept);
      } else {
        input->end(false);
      }
      UpdateSignature(input, line);
    });
  }

  EnableRefresh(false);
  ClearPanel();
}

void cDlgCertiTab::BuildPanel() {
  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("certificatePanel"));
  panel->setFrameShape(QFrame::Box);
  panel->setAutoFillBackground(true);
  SetControlId(panel, 1262);

  m_title = new QLabel(QStringLiteral("Calibration Certificate"), panel);
  m_title->setAlignment(Qt::AlignCenter);
  QFont titleFont = m_title->font();
  titleFont.setFamily(QStringLiteral("Arial"));
  titleFont.setPointSize(kTitlePointSize);
  m_title->setFont(titleFont);
  SetControlId(m_title, 1263);

  m_product = ReadOnlyField(panel);
  m_serial = ReadOnlyField(panel);
  m_lot = ReadOnlyField(panel);
  m_result = ReadOnlyField(panel);
  m_date = ReadOnlyField(panel);
  m_calibratedLine = ReadOnlyField(panel);
  m_approvedLine = ReadOnlyField(panel);

  m_values = new QTableWidget(0, 0, panel);
  m_values->verticalHeader()->setVisible(false);
  // Rows as high as their text, so the whole table shows without scrolling.
  m_values->verticalHeader()->setDefaultSectionSize(m_values->fontMetrics().height() + 6);
  m_values->horizontalHeader()->setStretchLastSection(false);
  m_values->setShowGrid(true);
  m_values->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_values->setSelectionMode(QAbstractItemView::NoSelection);
  m_values->setWordWrap(false);
  SetControlId(m_values, 1274, QStringLiteral("Calibration values"));

  auto* fields = new QGridLayout;
  const std::pair<QString, std::pair<QLineEdit*, std::pair<int, int>>> rows[] = {
      {QStringLiteral("1. Product Name : "), {m_product, {1264, 1268}}},
      {QStringLiteral("2. Serial Number : "), {m_serial, {1265, 1269}}},
      {QStringLiteral("3. GAS Lot# : "), {m_lot, {1266, 1270}}},
      {QStringLiteral("4. Result :"), {m_result, {1267, 1271}}},
  };
  int row = 0;
  for (const auto& [caption, field] : rows) {
    fields->addWidget(
        LabelFor(caption, field.second.first, field.first, field.second.second, panel), row, 0);
    fields->addWidget(field.first, row, 1);
    ++row;
  }
  auto* dateRow = new QHBoxLayout;
  dateRow->addStretch(1);
  dateRow->addWidget(LabelFor(QStringLiteral("Calibration Date : "), 1272, m_date, 1273, panel));
  dateRow->addWidget(m_date);
  auto* signatures = new QHBoxLayout;
  signatures->addWidget(
      LabelFor(QStringLiteral("Calibrated by :"), 1275, m_calibratedLine, 1277, panel));
  signatures->addWidget(m_calibratedLine, 1);
  signatures->addWidget(
      LabelFor(QStringLiteral("Approved by :"), 1276, m_approvedLine, 1278, panel));
  signatures->addWidget(m_approvedLine, 1);

  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(m_title);
  layout->addLayout(dateRow);
  layout->addLayout(fields);
  layout->addWidget(m_values, 1);
  layout->addLayout(signatures);
}

void cDlgCertiTab::ClearPanel() {
  m_values->setRowCount(0);
  m_values->setColumnCount(0);
  for (QLineEdit* field : {m_product, m_serial, m_lot, m_result, m_date}) {
    field->setText(QStringLiteral(" "));
  }
  UpdateSignature(m_calibratedBy, m_calibratedLine);
  UpdateSignature(m_approvedBy, m_approvedLine);
}

void cDlgCertiTab::ClearList() {
  m_list->setRowCount(0);
}

void cDlgCertiTab::AddRow(const QString& name) {
  auto* item = new QTableWidgetItem(name);
  item->setData(kNameRole, name);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  const int row = m_list->rowCount();
  m_list->insertRow(row);
  m_list->setItem(row, 0, item);
}

void cDlgCertiTab::ShowCertificate(const records::CertificateRecord& certificate) {
  m_values->setRowCount(0);
  m_values->setColumnCount(0);
  m_result->setText(FromLatin1(records::ResultText(certificate.result)));
  m_date->setText(FromLatin1(records::CalibrationDateText(certificate)));
  m_product->setText(FromLatin1(records::ShownProductName(certificate.productCode)));
  m_serial->setText(FromLatin1(certificate.serialNumber));
  m_lot->setText(QString::number(certificate.gasLot));
  m_shownName = m_requestedName;

  const records::CertificateTable table = records::OnScreenCertificateTable(certificate);
  m_values->setColumnCount(static_cast<int>(table.columns.size()));
  m_values->setRowCount(static_cast<int>(table.rows.size()));
  for (int c = 0; c < m_values->columnCount(); ++c) {
    const auto& column = table.columns[static_cast<std::size_t>(c)];
    const Qt::Alignment align =
        (column.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
    auto* title = new QTableWidgetItem(FromLatin1(column.title));
    title->setTextAlignment(align);
    m_values->setHorizontalHeaderItem(c, title);
    m_values->setColumnWidth(c, column.width);
    for (int r = 0; r < m_values->rowCount(); ++r) {
      const auto& cells = table.rows[static_cast<std::size_t>(r)];
      const auto index = static_cast<std::size_t>(c);
      auto* cell =
          new QTableWidgetItem(index < cells.size() ? FromLatin1(cells[index]) : QString());
      cell->setTextAlignment(align);
      cell->setFlags(Qt::ItemIsEnabled);
      m_values->setItem(r, c, cell);
    }
  }
  // The layout's widths are the least a column gets; a larger font or scale widens it so
  // no title or value is cut.
  m_values->resizeColumnsToContents();
  for (int c = 0; c < m_values->columnCount(); ++c) {
    const int least = table.columns[static_cast<std::size_t>(c)].width;
    if (m_values->columnWidth(c) < least) m_values->setColumnWidth(c, least);
  }
}

void cDlgCertiTab::EnableRefresh(bool enabled) {
  m_refresh->setEnabled(enabled);
}

QString cDlgCertiTab::CheckedName() const {
  for (int row = 0; row < m_list->rowCount(); ++row) {
    const QTableWidgetItem* item = m_list->item(row, 0);
    if (item != nullptr && item->checkState() == Qt::Checked) {
      return item->data(kNameRole).toString();
    }
  }
  return {};
}

bool cDlgCertiTab::AddressFooter() const {
  return m_footer->currentIndex() == 0 && m_footer->currentText() == m_footer->itemText(0);
}

void cDlgCertiTab::OnRowChanged(QTableWidgetItem* item) {
  if (item == nullptr || item->checkState() != Qt::Checked) return;
  for (int row = 0; row < m_list->rowCount(); ++row) {
    QTableWidgetItem* other = m_list->item(row, 0);
    if (other != nullptr && other != item && other->checkState() != Qt::Unchecked) {
      other->setCheckState(Qt::Unchecked);
    }
  }
}

void cDlgCertiTab::OnRefresh() {
  ClearPanel();
  m_host.Station().RefreshCertificateList();  // the engine checks the port
}

void cDlgCertiTab::OnLoad() {
  m_host.SetProgressPosition(0);
  ClearPanel();
  m_requestedName = CheckedName();
  // An empty name is the engine's to refuse ("Not Selected !!"), after the port check.
  m_host.Station().LoadCertificate(ToLatin1(m_requestedName));
}

std::optional<report::CertificatePage> cDlgCertiTab::PageToOutput() {
  IStationLink& station = m_host.Station();
  if (!station.PortOpen()) {
    m_host.ShowMessage(engine::msg::kPortNotOpen);
    return std::nullopt;
  }
  const records::CertificateRecord& certificate = station.Certificate();
  if (certificate.gasType == records::kCertificateNoData) {
    m_host.ShowMessage(kDataEmpty);
    return std::nullopt;
  }
  const report::CertificateSignatures signatures{ToLatin1(m_calibratedBy->text()),
                                                 ToLatin1(m_approvedBy->text())};
  return report::BuildCertificatePage(certificate, signatures, AddressFooter());
}

void cDlgCertiTab::OnPrint() {
  const auto page = PageToOutput();
  if (!page) return;
  switch (m_host.Printer().Print(this, *page)) {
    case PrintOutcome::Printed:
      m_host.ShowMessage(kSuccess);
      break;
    case PrintOutcome::Failed:
      m_host.ShowMessage(kPrintFailed);
      break;
    case PrintOutcome::Cancelled:
      break;
  }
}

void cDlgCertiTab::OnSaveAsPdf() {
  const auto page = PageToOutput();
  if (!page) return;
  const std::string name =
      m_shownName.isEmpty() ? m_host.Station().Certificate().serialNumber : ToLatin1(m_shownName);
  const auto path = m_host.Choosers().ChooseSaveFile(
      this, QStringLiteral("Save the Certificate as PDF"), SuggestedPdfName(name));
  if (!path) return;
  const link::Status written = report::WriteCertificatePdf(*page, *path);
  if (!written.ok()) {
    m_host.ShowMessage("The certificate was not saved:\n" + written.message);
    return;
  }
  m_host.ShowMessage(kSuccess);
}

void cDlgCertiTab::UpdateSignature(const QLineEdit* input, QLineEdit* line) {
  const QString text = input->text();
  line->setText(text.isEmpty() ? kBlankSignature : text);
}

}  // namespace ql::pages
