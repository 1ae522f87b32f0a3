#pragma once
// The log page: the station's log file names as a checkable list, "Select All",
// "Local Save" (the checked files into a chosen folder) and "Refresh" (the list again).
// The engine runs the requests and fills the list through the main window.
//
// GUI thread only.

#include <QString>
#include <QStringList>
#include <QWidget>

#include "pages/page_host.h"

class QCheckBox;
class QPushButton;
class QTableWidget;

namespace ql::pages {

class cDlgLOGTab : public QWidget {
  Q_OBJECT
 public:
  // Builds the page with its captions; its buttons start disabled.
  explicit cDlgLOGTab(IPageHost& host, QWidget* parent = nullptr);

  void ClearList();
  // Appends one row showing `name` (the station's name, as sent), unchecked.
  void AddRow(const QString& name);
  // The names of the checked rows, in list order.
  QStringList CheckedNames() const;
  // "Select All", "Local Save" and "Refresh" together.
  void EnableControls(bool enabled);
  // "Local Save" and "Refresh" (a save run disables them from its start to its end).
  void EnableSaveControls(bool enabled);
  // Whether "Local Save" is enabled: while it is not, a save run is under way.
  bool SaveEnabled() const;
  // The tab was selected: "Refresh" follows "Local Save"; "Select All" is cleared, the
  // rows keep their check boxes.
  void OnTabSelected();

 private:
  void OnSelectAll(bool checked);
  void OnLocalSave();
  void OnRefresh();

  IPageHost& m_host;
  QTableWidget* m_list;
  QCheckBox* m_selectAll;
  QPushButton* m_save;
  QPushButton* m_refresh;
};

}  // namespace ql::pages
