#pragma once
// Enter and Escape never close a window nor press a button: an Enter typed in a field must
// not send anything to a station, and Escape must not drop a page in the middle of its work.
//
// GUI thread only.

class QWidget;

namespace ql::pages {

// Takes every Enter, Return and Escape key event that reaches `scope` (from itself or from
// a child that left it unhandled).
void SwallowDialogKeys(QWidget* scope);

}  // namespace ql::pages
