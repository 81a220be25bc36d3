#pragma once

class QAbstractItemView;
class QLineEdit;

// The keys a filter field and the rows it filters share on every tab, so that each tab is used
// alike: Esc in the field empties it and a second Esc goes to the rows; Esc in the rows empties
// the field; Down or Enter in the field goes to the first row it keeps.
namespace FilterKeys {

void attach(QLineEdit& filter, QAbstractItemView& rows);
// Ctrl+F: the field, its text selected.
void focus(QLineEdit& filter);

} // namespace FilterKeys
