#include "shortcuts.h"

namespace viewer {

const std::vector<CommandShortcut>& CommandShortcuts() {
  static const std::vector<CommandShortcut> shortcuts = {
      {QStringLiteral("open"), QKeySequence(Qt::CTRL | Qt::Key_O)},
      {QStringLiteral("view"), QKeySequence(Qt::Key_F5)},
      {QStringLiteral("Sort Ascending"), QKeySequence(Qt::CTRL | Qt::Key_Up)},
      {QStringLiteral("Sort Descending"), QKeySequence(Qt::CTRL | Qt::Key_Down)},
      {QStringLiteral("filter"), QKeySequence(Qt::CTRL | Qt::Key_F)},
      {QStringLiteral("FilterRemove"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
      {QStringLiteral("EditRecord"), QKeySequence(Qt::CTRL | Qt::Key_E)},
      {QStringLiteral("Preview"), QKeySequence(Qt::CTRL | Qt::Key_P)},
      {QStringLiteral("Export2"), QKeySequence(Qt::CTRL | Qt::Key_S)},
      {QStringLiteral("Help"), QKeySequence(Qt::Key_F1)},
      {QString::fromLatin1(kAskExitKey), QKeySequence(Qt::CTRL | Qt::Key_Q)},
  };
  return shortcuts;
}

QKeySequence ShortcutFor(const QString& key) {
  for (const CommandShortcut& s : CommandShortcuts())
    if (s.key == key) return s.sequence;
  return {};
}

QString ToolTipWithShortcut(const QString& tip, const QString& key) {
  const QKeySequence sequence = ShortcutFor(key);
  if (sequence.isEmpty()) return tip;
  // The portable text reads the same on every platform and in every locale.
  return tip + QStringLiteral(" (") + sequence.toString(QKeySequence::PortableText) + QLatin1Char(')');
}

}  // namespace viewer
