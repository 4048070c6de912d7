#include "widgetprompts.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace viewer {

namespace {

QMessageBox::Icon boxIcon(Prompts::Icon icon) {
  switch (icon) {
    case Prompts::Critical: return QMessageBox::Critical;
    case Prompts::Question: return QMessageBox::Question;
    case Prompts::Exclamation: return QMessageBox::Warning;
    case Prompts::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// The dialog's history (its "Look in" list) holds the folders of the recent
// files, and a "Recent files:" row below the file name picks one of the
// files itself. The row needs Qt's own dialog: a desktop's native one has
// no room for it.
void offerRecentFiles(QFileDialog& dialog, const QStringList& files) {
  QStringList folders;
  for (const QString& file : files) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!folders.contains(folder)) folders << folder;
  }
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setHistory(folders);
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (!grid) return;
  auto* recent = new QComboBox(&dialog);
  recent->setObjectName(QStringLiteral("recentFiles"));
  recent->addItem(QString());
  for (const QString& file : files) recent->addItem(QDir::toNativeSeparators(file), file);
  QObject::connect(recent, &QComboBox::activated, &dialog, [&dialog, recent](int index) {
    const QString file = recent->itemData(index).toString();
    if (file.isEmpty()) return;
    dialog.setDirectory(QFileInfo(file).absolutePath());
    dialog.selectFile(file);
  });
  const int row = grid->rowCount();
  grid->addWidget(new QLabel(QStringLiteral("Recent files:"), &dialog), row, 0);
  grid->addWidget(recent, row, 1, 1, grid->columnCount() - 1);
}

}  // namespace

int WidgetPrompts::message(const QString& text, Icon icon, int buttons, const QString& title) {
  QMessageBox box(boxIcon(icon), title.isEmpty() ? QString::fromLatin1(kAppTitle) : title, text,
                  QMessageBox::NoButton, QApplication::activeWindow());
  struct Choice {
    QMessageBox::StandardButton button;
    int answer;
  };
  std::vector<Choice> choices;
  switch (buttons & 0xF) {
    case OkCancel: choices = {{QMessageBox::Ok, Ok}, {QMessageBox::Cancel, Cancel}}; break;
    case YesNoCancel: choices = {{QMessageBox::Yes, Yes}, {QMessageBox::No, No}, {QMessageBox::Cancel, Cancel}}; break;
    case YesNo: choices = {{QMessageBox::Yes, Yes}, {QMessageBox::No, No}}; break;
    default: choices = {{QMessageBox::Ok, Ok}}; break;
  }
  for (const Choice& c : choices) box.addButton(c.button);
  const size_t defaultIndex = (buttons & DefaultButton2) && choices.size() > 1 ? 1 : 0;
  box.setDefaultButton(choices[defaultIndex].button);
  // Closing the box without a button counts as its escape answer: No for
  // Yes/No, Cancel where there is one, else Ok.
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices) {
    if (clicked && box.standardButton(clicked) == c.button) return c.answer;
  }
  const int set = buttons & 0xF;
  if (set == YesNo) return No;
  if (set == OkCancel || set == YesNoCancel) return Cancel;
  return Ok;
}

QString WidgetPrompts::fileDialog(FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), request.title,
                     request.folder.isEmpty() ? QDir::currentPath() : request.folder);
  const bool open = request.mode == OpenDialog;
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!(request.flags & OverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList filters = qtFileFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
      dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
  if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
  if (!request.history.isEmpty()) offerRecentFiles(dialog, request.history);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().constFirst();
  if ((request.flags & PathMustExist) && !QFileInfo(chosen).absoluteDir().exists()) return {};
  const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
  if (index >= 0) request.filterIndex = int(index) + 1;
  return chosen;
}

}  // namespace viewer
