#pragma once
// Every control of the window keeps the id it has in the station tool's dialog templates,
// as the dynamic property "controlId", so tests and UI automation find a control by id.
// Ids repeat across pages, so a lookup is always scoped to one page.

#include <QString>
#include <QWidget>

namespace ql::pages {

inline constexpr const char* kControlIdProperty = "controlId";

// Sets the control's id and, for an interactive control, its accessible name (its caption,
// or the text of the label of a field).
void SetControlId(QWidget* control, int id, const QString& accessibleName = {});

// The child of `scope` (or `scope` itself) with the id, or null. Only direct and indirect
// children of `scope` are searched.
QWidget* FindControl(QWidget* scope, int id);

template <typename T>
T* Control(QWidget* scope, int id) {
  return qobject_cast<T*>(FindControl(scope, id));
}

}  // namespace ql::pages
