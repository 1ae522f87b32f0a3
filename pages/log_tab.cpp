#include "pages/log_tab.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "pages/dialog_keys.h"
#include "pages/field_widgets.h"

namespace ql::pages {

namespace {

constexpr int kNameColumnWidth = 150;
// The name exactly as the station sent it; the shown text is only for reading.
constexpr int kNameRole = Qt::UserRole;

}  // namespace

cDlgLOGTab::cDlgLOGTab(IPageHost& host, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_list(new QTableWidget(0, 1, this)),
      m_selectAll(new QCheckBox(QStringLiteral("Select All"), this)),
      m_save(new QPushButton(QStringLiteral("Local Save"), this)),
      m_refresh(new QPushButton(QStringLiteral("Refresh"), this)) {
  SwallowDialogKeys(this);
  SetControlId(m_list, 1082, QStringLiteral("Log File Name"));
  SetControlId(m_selectAll, 1083, m_selectAll->text());
  SetControlId(m_save, 1084, m_save->text());
  SetControlId(m_refresh, 1086, m_refresh->text());

  auto* header = new QTableWidgetItem(QStringLiteral("Log File Name"));
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

  for (QPushButton* button : {m_save, m_refresh}) button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_selectAll);
  buttons->addStretch(1);
  buttons->addWidget(m_save);
  buttons->addWidget(m_refresh);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list, 1);
  layout->addLayout(buttons);

  // `clicked`, not `toggled`: clearing the box from the program keeps the rows' checks.
  connect(m_selectAll, &QCheckBox::clicked, this, &cDlgLOGTab::OnSelectAll);
  connect(m_save, &QPushButton::clicked, this, &cDlgLOGTab::OnLocalSave);
  connect(m_refresh, &QPushButton::clicked, this, &cDlgLOGTab::OnRefresh);

  EnableControls(false);
}

void cDlgLOGTab::ClearList() {
  m_list->setRowCount(0);
}

void cDlgLOGTab::AddRow(const QString& name) {
  auto* item = new QTableWidgetItem(name);
  item->setData(kNameRole, name);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  const int row = m_list->rowCount();
  m_list->insertRow(row);
  m_list->setItem(row, 0, item);
}

QStringList cDlgLOGTab::CheckedNames() const {
  QStringList names;
  for (int row = 0; row < m_list->rowCount(); ++row) {
    const QTableWidgetItem* item = m_list->item(row, 0);
    if (item != nullptr && item->checkState() == Qt::Checked) {
      names.push_back(item->data(kNameRole).toString());
    }
  }
  return names;
}

void cDlgLOGTab::EnableControls(bool enabled) {
  m_selectAll->setEnabled(enabled);
  EnableSaveControls(enabled);
}

void cDlgLOGTab::EnableSaveControls(bool enabled) {
  m_save->setEnabled(enabled);
  m_refresh->setEnabled(enabled);
}

bool cDlgLOGTab::SaveEnabled() const {
  return m_save->isEnabledTo(this);
}

void cDlgLOGTab::OnTabSelected() {
  m_refresh->setEnabled(SaveEnabled());
  m_selectAll->setChecked(false);
}

void cDlgLOGTab::OnSelectAll(bool checked) {
  const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
  for (int row = 0; row < m_list->rowCount(); ++row) {
    if (QTableWidgetItem* item = m_list->item(row, 0)) item->setCheckState(state);
  }
}

void cDlgLOGTab::OnLocalSave() {
  IStationLink& station = m_host.Station();
  if (!station.PortOpen()) {
    // The engine refuses it with its own message and resets the progress.
    station.SaveLogs({}, {});
    return;
  }
  m_host.SetProgressPosition(0);
  const auto folder =
      m_host.Choosers().ChooseFolder(this, QStringLiteral("Select Location to Save Log File To"));
  if (!folder) return;
  std::vector<std::string> names;
  for (const QString& name : CheckedNames()) names.push_back(ToLatin1(name));
  // An empty list is the engine's to refuse ("Not Selected !!").
  station.SaveLogs(names, *folder);
}

void cDlgLOGTab::OnRefresh() {
  m_selectAll->setChecked(false);
  m_host.Station().RefreshLogList();  // clears the status text and the progress itself
}

}  // namespace ql::pages
