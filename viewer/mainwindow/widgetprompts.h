// The prompts seam of the window program: message boxes on QMessageBox and
// the open and save dialogs on QFileDialog. Tests install a scripted
// Prompts instead, so nothing here ever runs under a test.
#pragma once

#include "prompts.h"

namespace viewer {

class WidgetPrompts : public Prompts {
 public:
  int message(const QString& text, Icon icon, int buttons = OkOnly, const QString& title = {}) override;
  QString fileDialog(FileDialogRequest& request) override;
};

}  // namespace viewer
