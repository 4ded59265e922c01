#pragma once
// Radio groups that answer the keyboard as on Windows: the arrow keys move to
// the next or previous enabled button of the group and choose it, wrapping at
// the ends; Return and Enter on a button press the dialog's OK.
#include <QAbstractButton>
#include <QRadioButton>
#include <vector>

void ChooseWithArrows(const std::vector<QRadioButton*>& group, QAbstractButton* ok);
