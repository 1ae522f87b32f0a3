#include "pages/control_id.h"

#include <QVariant>

namespace ql::pages {

void SetControlId(QWidget* control, int id, const QString& accessibleName) {
  control->setProperty(kControlIdProperty, id);
  if (!accessibleName.isEmpty()) control->setAccessibleName(accessibleName);
}

QWidget* FindControl(QWidget* scope, int id) {
  if (scope == nullptr) return nullptr;
  if (scope->property(kControlIdProperty).toInt() == id) return scope;
  const auto children = scope->findChildren<QWidget*>();
  for (QWidget* child : children) {
    const QVariant value = child->property(kControlIdProperty);
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

}  // namespace ql::pages
