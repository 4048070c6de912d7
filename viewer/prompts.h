// The one seam through which the viewer's logic asks the user anything:
// message boxes and the open/save file dialogs. The window program installs
// an implementation built on QMessageBox and QFileDialog, lumbrook-cli one
// that prints to stderr, and tests a recording fake, so no code below the
// widgets ever opens a modal window itself. QtCore only.
#pragma once

#include <QString>
#include <QStringList>

namespace viewer {

// The program's title: the caption of every message box unless a title is
// given, and the start of the main window's caption.
inline constexpr char kAppTitle[] = "Lumbrook";

class Prompts {
 public:
  // Icons and buttons keep their classic numeric values, so a caller may
  // combine a button set, a default button and an icon in one style value.
  enum Icon : int {
    NoIcon = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
  };
  enum Buttons : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNoCancel = 3,
    YesNo = 4,
    DefaultButton2 = 256,  // added to the set: the second button is the default
  };
  // What message() returns: the button the user chose.
  enum Answer : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

  // Mode of a file dialog.
  enum DialogMode : int { SaveDialog = 0, OpenDialog = 1 };
  // Dialog flags honoured by implementations (others are passed through).
  enum DialogFlags : int { OverwritePrompt = 2, PathMustExist = 2048 };

  // One file dialog request. `filter` uses the classic notation: description
  // and pattern pairs, every piece separated by "|" (see qtFileFilters).
  // `filterIndex` is 1-based. The implementation writes back the chosen
  // filter index and flags; a cancelled or failed dialog leaves them as the
  // caller finds them (ShowFileDialog zeroes them).
  struct FileDialogRequest {
    QString title;
    QString folder;         // initial folder (absolute)
    QString proposedName;   // initial file name, may be empty
    QString filter;
    int filterIndex = 1;
    int flags = 0;
    QString defaultExtension;  // without dot; empty: none
    DialogMode mode = OpenDialog;
    QStringList history;  // files to offer (recent files), most recent first
  };

  virtual ~Prompts();

  // Shows `text` with an icon and a button set; returns the Answer chosen.
  // An empty title means kAppTitle.
  virtual int message(const QString& text, Icon icon, int buttons = OkOnly, const QString& title = {}) = 0;

  // Shows an open or save dialog; returns the chosen path, or an empty
  // string when the user cancelled or the dialog failed.
  virtual QString fileDialog(FileDialogRequest& request) = 0;
};

// The process-wide prompts. Until one is installed, a default one answers:
// it writes messages to stderr and returns Ok (or the default button), and
// its file dialogs return nothing.
Prompts& prompts();
// Installs `p` (not owned; it must outlive its use). nullptr restores the
// default.
void setPrompts(Prompts* p);

// Turns the classic "Text (*.txt)|*.txt|..." filter into Qt's name filters
// ("Text (*.txt) (*.txt)"); the pattern of each pair is what Qt matches.
QStringList qtFileFilters(const QString& pipeFilter);

}  // namespace viewer
