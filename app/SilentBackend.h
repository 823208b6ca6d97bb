// The window toolkit's backend for a run without a window (/SILENT): the setup window exists
// only as data, nothing reaches the screen, and what a box or the archive component's dialog
// would have said goes to standard error and to the run's log instead. Boxes are answered with
// OK, the component's dialog with its default button.
#pragma once

#include "ui/HeadlessBackend.h"

namespace admin {

class SilentBackend : public ui::HeadlessBackend {
public:
    int ShowMessageBox(ui::Form* owner, const std::u16string& text, const std::u16string& caption,
                       unsigned flags) override;
    void BeginModal(ui::Form& form) override;
};

}  // namespace admin
