// f_ViewDB's desktop conveniences: keyboard shortcuts on its actions, the
// export format remembered between runs, and the recent-files list fed by
// every file the window opens.
#include "viewdb.h"

#include "datasource/sourcestate.h"
#include "shell/recentfiles.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "toolbarentries.h"

#include <QAction>
#include <QToolButton>
#include <exception>

namespace viewer {

namespace {

// The setting that holds the key of the export format last chosen.
constexpr char kExportFormatSetting[] = "ExportFormat";

}  // namespace

void f_ViewDB::installShortcuts() {
  for (const CommandShortcut& s : CommandShortcuts()) {
    QAction* action = toolAction(s.key);
    if (!action) {
      // A command without a button: its action lives on the window.
      action = new QAction(this);
      action->setObjectName(s.key);
      const QString key = s.key;
      connect(action, &QAction::triggered, this, [this, key] { buttonClick(key); });
      addAction(action);
    }
    action->setShortcut(s.sequence);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(ToolTipWithShortcut(action->toolTip(), s.key));
  }
  // The toolbar's "Exit" closes without asking; its tip names Ctrl+Q, which
  // asks first.
  if (QAction* exit = toolAction(QStringLiteral("Exit")))
    exit->setToolTip(ToolTipWithShortcut(exit->toolTip(), QString::fromLatin1(kAskExitKey)));
  if (exportButton_) exportButton_->setToolTip(exportButton_->defaultAction()->toolTip());
}

void f_ViewDB::showExportFormat(const QString& menuKey) {
  for (const MenuEntry& item : ExportMenuEntries()) {
    if (item.key != menuKey) continue;
    const QString tip = ToolTipWithShortcut(ExportToolTip(item.text), QStringLiteral("Export2"));
    exportTag_ = item.key;
    exportButton_->setProperty("tag", exportTag_);
    exportButton_->defaultAction()->setToolTip(tip);
    exportButton_->setToolTip(tip);
    return;
  }
}

void f_ViewDB::restoreExportFormat() {
  showExportFormat(ReadSetting(QString::fromLatin1(kSettingsKey), QString::fromLatin1(kExportFormatSetting), QString()));
}

void f_ViewDB::rememberExportFormat() {
  try {
    WriteSetting(QString::fromLatin1(kSettingsKey), QString::fromLatin1(kExportFormatSetting), exportTag_);
  } catch (const std::exception&) {
    // Remembering is a convenience; the chosen format holds for this run.
  }
}

void f_ViewDB::rememberOpenedFile() {
  if (state().CurrentPath.isEmpty()) return;
  AddRecentFile(state().CurrentPath);
}

}  // namespace viewer
