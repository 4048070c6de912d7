// A Prompts that never shows anything: it records every message and dialog
// request and answers from a script the test sets up.
#pragma once

#include "prompts.h"

#include <QString>
#include <deque>
#include <vector>

namespace testsupport {

class ScriptedPrompts : public viewer::Prompts {
 public:
  struct Message {
    QString text;
    Icon icon;
    int buttons;
    QString title;
  };

  ScriptedPrompts() { viewer::setPrompts(this); }
  ~ScriptedPrompts() override { viewer::setPrompts(nullptr); }

  int message(const QString& text, Icon icon, int buttons, const QString& title) override {
    messages.push_back({text, icon, buttons, title});
    if (answers.empty()) return (buttons & 0xF) == YesNo ? No : Ok;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  QString fileDialog(FileDialogRequest& request) override {
    dialogs.push_back(request);
    if (paths.empty()) return {};
    QString p = paths.front();
    paths.pop_front();
    return p;
  }

  std::deque<int> answers;     // next message answers
  std::deque<QString> paths;   // next dialog results ("" = cancel)
  std::vector<Message> messages;
  std::vector<FileDialogRequest> dialogs;
};

}  // namespace testsupport
