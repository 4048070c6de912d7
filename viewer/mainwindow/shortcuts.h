// The window's keyboard shortcuts as data: which key runs which command of
// the dispatch table, and the tool tip that names the key. Every shortcut is
// set on the QAction of its toolbar command (one mechanism, so a key never
// has two owners); Ctrl+Q, which has no button of its own, gets an action on
// the window that asks "Exit from program?" as Esc does.
#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

namespace viewer {

// The command key of Ctrl+Q: close after the same question as Esc (the
// toolbar's "Exit" closes without asking).
inline constexpr char kAskExitKey[] = "AskExit";

struct CommandShortcut {
  QString key;  // the command's key in the dispatch table
  QKeySequence sequence;
};

// Every shortcut, in toolbar order, Ctrl+Q last.
const std::vector<CommandShortcut>& CommandShortcuts();

// The shortcut of the command `key`, or an empty sequence.
QKeySequence ShortcutFor(const QString& key);

// `tip` followed by the shortcut of `key` in brackets ("Filter by selection
// (Ctrl+F)"); `tip` unchanged when the command has none.
QString ToolTipWithShortcut(const QString& tip, const QString& key);

}  // namespace viewer
