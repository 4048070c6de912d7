// f_Edit: the record editor window. Shows the current record of the main
// window's recordset as one row per field (label, text box, aid button)
// on a content panel that scrolls inside a viewport, with the long-text
// panel, the calendar and the Boolean toggle as editing aids, a Save/Exit
// toolbar and the question "Save changes?" on closing. The rows' state,
// change tracking and saving live in RecordEdit; this class only shows
// them. Measures are twips, converted by controls/twips.h.
#pragma once

#include "editor/recordedit.h"

#include <QDialog>
#include <memory>
#include <vector>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QSizeGrip;
class QToolBar;
class QToolButton;
class QWidget;

namespace viewer {

class f_Edit : public QDialog {
  Q_OBJECT

 public:
  explicit f_Edit(QWidget* owner);
  ~f_Edit() override;

  // Edits the current record of `rst` and returns when the window closed.
  void View(std::shared_ptr<dataaccess::Recordset> rst, int32_t sourceKind);
  // The part of View before the window is shown: builds the rows, clears
  // IsChanged, sizes and centres the window on its owner.
  void load(std::shared_ptr<dataaccess::Recordset> rst, int32_t sourceKind);

  bool IsChanged() const { return edit_.IsChanged(); }
  void setIsChanged(bool v) { edit_.setIsChanged(v); }
  const editor::RecordEdit& record() const { return edit_; }

  // Toolbar1's ButtonClick: "Save" saves, "Exit" closes, other keys do
  // nothing (compared case-sensitively).
  void toolbarButtonClick(const QString& key);
  // The aid button of row `index` was clicked (1-based).
  void fieldButtonClick(int index);
  // DateSelect's DateClick with the calendar's selected date.
  void dateClick();
  void saveFloatClick();
  void closeFloatClick();

  // Rows and controls, 1-based like the rows of RecordEdit; cmdField is
  // null for rows without an aid.
  QLabel* lblField(int i) const { return rows_.at(size_t(i - 1)).label; }
  QLineEdit* txtField(int i) const { return rows_.at(size_t(i - 1)).text; }
  QToolButton* cmdField(int i) const { return rows_.at(size_t(i - 1)).button; }
  int rowCount() const { return int(rows_.size()); }

  QToolBar* Toolbar1 = nullptr;
  QWidget* Picture1 = nullptr;
  QWidget* Picture2 = nullptr;
  QWidget* picFloat = nullptr;
  QPlainTextEdit* TXT = nullptr;
  QToolButton* cmdSaveFloat = nullptr;
  QToolButton* cmdCloseFloat = nullptr;
  QCalendarWidget* DateSelect = nullptr;
  QScrollBar* HScroll1 = nullptr;
  QScrollBar* VScroll1 = nullptr;
  QSizeGrip* pixgrabber = nullptr;
  // Row index the long-text panel and the calendar serve ("" when none yet).
  QString floatTag, dateTag;

  // The navy of a changed row's text.
  static QColor changedColour();

 protected:
  void done(int result) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QLabel* label = nullptr;
    QLineEdit* text = nullptr;
    QToolButton* button = nullptr;
  };

  void LoadFields();
  void ClearFieldRows();
  void AddFieldRow(int index);
  void SetContentSize(double width, double height, bool resize);
  void layoutWindow();
  void layoutFloat();
  void textChanged(int index, const QString& text);
  void scrolled();
  int toolbarTwips() const;

  editor::RecordEdit edit_;
  std::vector<Row> rows_;
  double contentW_ = 0, contentH_ = 0;  // the content panel in twips
  bool sizable_ = true;
  bool closing_ = false;
  int floatMaxLength_ = 0;
};

}  // namespace viewer
