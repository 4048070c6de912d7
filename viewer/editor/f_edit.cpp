#include "f_edit.h"

#include "controls/twips.h"
#include "mainwindow/toolbaricons.h"
#include "prompts.h"

#include <QAction>
#include <QCalendarWidget>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSizeGrip>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <limits>

namespace viewer {

using namespace editor;

namespace {

constexpr char kSaveQuestion[] = "Save changes?";

int px(double twips) { return int(std::lround(controls::twipsToPixels(twips))); }
double tw(int pixels) { return controls::pixelsToTwips(pixels); }

// The editor's pictures: the image keys name SVGs among the viewer's icons.
QIcon editorIcon(const QString& key) {
  ProgramIcon();  // makes sure the icon resources are registered
  return QIcon(ToolbarIconPath(key));
}

int rowIndexFromTag(const QString& tag) { return (QStringLiteral("0") + tag).toInt(); }

void applyScroll(QScrollBar* bar, const ScrollSetup& s, bool setMaximum) {
  if (setMaximum) bar->setMaximum(std::max(0, s.maximum));
  if (s.largeStep > 0) bar->setPageStep(s.largeStep);
  if (s.smallStep > 0) bar->setSingleStep(s.smallStep);
  bar->setEnabled(s.enabled);
}

}  // namespace

QColor f_Edit::changedColour() { return QColor(0, 0, 128); }

f_Edit::f_Edit(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("f_Edit"));
  setWindowTitle(QStringLiteral("Edit record"));
  setModal(true);
  setSizeGripEnabled(false);

  Toolbar1 = new QToolBar(this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setIconSize(QSize(16, 16));
  struct Button { const char* key; const char* tip; const char* image; };
  for (const Button& b : {Button{"Save", "Save changes", "Save"}, Button{"Exit", "Close", "Exit"}}) {
    QAction* a = Toolbar1->addAction(editorIcon(QString::fromLatin1(b.image)), QString::fromLatin1(b.tip));
    a->setObjectName(QString::fromLatin1(b.key));
    a->setToolTip(QString::fromLatin1(b.tip));
    const QString key = QString::fromLatin1(b.key);
    connect(a, &QAction::triggered, this, [this, key] { toolbarButtonClick(key); });
  }
  edit_.setChangedListener([this](bool v) {
    for (QAction* a : Toolbar1->actions())
      if (a->objectName() == QLatin1String("Save")) a->setEnabled(v);
  });
  edit_.setIsChanged(false);

  Picture1 = new QWidget(this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture2 = new QWidget(Picture1);
  Picture2->setObjectName(QStringLiteral("Picture2"));

  picFloat = new QWidget(Picture2);
  picFloat->setObjectName(QStringLiteral("picFloat"));
  picFloat->setAutoFillBackground(true);
  TXT = new QPlainTextEdit(picFloat);
  TXT->setObjectName(QStringLiteral("TXT"));
  TXT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  connect(TXT, &QPlainTextEdit::textChanged, this, [this] {
    if (floatMaxLength_ <= 0) return;
    const QString text = TXT->toPlainText();
    if (text.size() <= floatMaxLength_) return;
    const QSignalBlocker block(TXT);
    TXT->setPlainText(text.left(floatMaxLength_));
    TXT->moveCursor(QTextCursor::End);
  });
  cmdSaveFloat = new QToolButton(picFloat);
  cmdSaveFloat->setObjectName(QStringLiteral("cmdSaveFloat"));
  cmdSaveFloat->setIcon(editorIcon(QStringLiteral("SaveFloat")));
  cmdSaveFloat->setToolTip(QStringLiteral("Copy to the field"));
  cmdCloseFloat = new QToolButton(picFloat);
  cmdCloseFloat->setObjectName(QStringLiteral("cmdCloseFloat"));
  cmdCloseFloat->setIcon(editorIcon(QStringLiteral("CloseFloat")));
  cmdCloseFloat->setToolTip(QStringLiteral("Close"));
  for (QToolButton* b : {cmdSaveFloat, cmdCloseFloat}) b->resize(px(kButtonWidth), px(kButtonHeight));
  connect(cmdSaveFloat, &QToolButton::clicked, this, &f_Edit::saveFloatClick);
  connect(cmdCloseFloat, &QToolButton::clicked, this, &f_Edit::closeFloatClick);
  picFloat->installEventFilter(this);
  picFloat->hide();

  DateSelect = new QCalendarWidget(Picture2);
  DateSelect->setObjectName(QStringLiteral("DateSelect"));
  DateSelect->setDateRange(QDate(1753, 1, 1), QDate(9999, 12, 31));
  DateSelect->resize(DateSelect->minimumSizeHint().expandedTo(QSize(px(kCalendarWidth), px(kCalendarHeight))));
  connect(DateSelect, &QCalendarWidget::clicked, this, [this] { dateClick(); });
  DateSelect->hide();

  HScroll1 = new QScrollBar(Qt::Horizontal, this);
  HScroll1->setObjectName(QStringLiteral("HScroll1"));
  VScroll1 = new QScrollBar(Qt::Vertical, this);
  VScroll1->setObjectName(QStringLiteral("VScroll1"));
  for (QScrollBar* bar : {HScroll1, VScroll1}) {
    bar->setRange(0, 0);
    connect(bar, &QScrollBar::valueChanged, this, &f_Edit::scrolled);
  }
  pixgrabber = new QSizeGrip(this);
  pixgrabber->setObjectName(QStringLiteral("pixgrabber"));
  pixgrabber->resize(px(kScrollBarThickness), px(kScrollBarThickness));
  pixgrabber->setEnabled(sizable_);

  resize(px(kClientWidth), px(kClientHeight));
  layoutWindow();
  SetContentSize(tw(Picture1->width()), tw(Picture1->height()), true);
  pixgrabber->raise();
}

f_Edit::~f_Edit() = default;

int f_Edit::toolbarTwips() const { return int(tw(Toolbar1->sizeHint().height())); }

void f_Edit::View(std::shared_ptr<dataaccess::Recordset> rst, int32_t sourceKind) {
  load(std::move(rst), sourceKind);
  exec();
}

void f_Edit::load(std::shared_ptr<dataaccess::Recordset> rst, int32_t sourceKind) {
  closing_ = false;
  resize(px(kClientWidth), px(kClientHeight));
  layoutWindow();
  edit_.load(std::move(rst), sourceKind);
  LoadFields();
  edit_.setIsChanged(false);
  if (QWidget* owner = parentWidget()) {
    const QRect o = owner->window()->frameGeometry();
    move(o.center() - QPoint(width() / 2, height() / 2));
  }
}

void f_Edit::LoadFields() {
  ClearFieldRows();
  picFloat->hide();
  DateSelect->hide();
  rows_.reserve(size_t(edit_.rowCount()));
  for (int i = 1; i <= edit_.rowCount(); ++i) AddFieldRow(i);
  SetContentSize(contentWidth(), contentHeight(edit_.rowCount()), true);
}

void f_Edit::ClearFieldRows() {
  for (Row& row : rows_) {
    delete row.label;
    delete row.text;
    delete row.button;
  }
  rows_.clear();
}

void f_Edit::AddFieldRow(int index) {
  const RecordEdit::Row& field = edit_.row(index);
  const int top = px(rowTop(index));
  Row row;
  row.label = new QLabel(field.spec.caption, Picture2);
  row.label->setGeometry(px(kLabelLeft), top, px(kLabelWidth), px(kRowHeight));
  row.label->show();

  row.text = new QLineEdit(Picture2);
  row.text->setGeometry(px(kTextLeft), top, px(kTextWidth), px(kRowHeight));
  row.text->setMaxLength(field.spec.maxLength > 0 ? field.spec.maxLength : std::numeric_limits<int>::max());
  row.text->setText(field.text);
  row.text->setCursorPosition(0);
  connect(row.text, &QLineEdit::textChanged, this, [this, index](const QString& t) { textChanged(index, t); });
  row.text->show();

  if (!field.spec.aid.isEmpty()) {
    row.button = new QToolButton(Picture2);
    row.button->setGeometry(px(kButtonLeft), top, px(kButtonWidth), px(kRowHeight));
    row.button->setFocusPolicy(Qt::NoFocus);
    row.button->setIcon(editorIcon(field.spec.aid));
    row.button->setProperty("tag", field.spec.aid);
    connect(row.button, &QToolButton::clicked, this, [this, index] { fieldButtonClick(index); });
    row.button->show();
  }
  rows_.push_back(row);
}

void f_Edit::textChanged(int index, const QString& text) {
  if (!edit_.textChanged(index, text)) return;
  QLineEdit* box = txtField(index);
  QPalette p = box->palette();
  p.setColor(QPalette::Text, changedColour());
  box->setPalette(p);
}

void f_Edit::SetContentSize(double width, double height, bool resize) {
  contentW_ = width;
  contentH_ = height;
  if (resize) {
    Picture2->setGeometry(0, 0, px(width), px(height));
    const QSignalBlocker h(HScroll1), v(VScroll1);
    HScroll1->setValue(0);
    VScroll1->setValue(0);
  }
  applyScroll(HScroll1, contentScroll(contentW_, tw(Picture1->width())), true);
  applyScroll(VScroll1, contentScroll(contentH_, tw(Picture1->height())), true);
}

void f_Edit::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layoutWindow();
}

void f_Edit::layoutWindow() {
  if (windowState() & Qt::WindowMinimized) return;
  const int toolbar = toolbarTwips();
  Toolbar1->setGeometry(0, 0, width(), px(toolbar));
  const double innerW = tw(width()), innerH = tw(height());
  if (const auto h = minimumInnerHeight(int(innerH), toolbar)) {
    resize(width(), px(*h));
    return;
  }
  if (innerH <= kScrollBarThickness || innerW <= kScrollBarThickness) {
    Picture2->move(0, 0);
    return;
  }
  const int bar = px(kScrollBarThickness);
  Picture1->setGeometry(0, px(toolbar), width() - bar, height() - bar - px(toolbar));
  HScroll1->setGeometry(0, Picture1->geometry().bottom() + 1, Picture1->width(), bar);
  HScroll1->raise();
  applyScroll(HScroll1, resizeScroll(contentW_, tw(Picture1->width())), true);
  VScroll1->setGeometry(Picture1->width(), Picture1->y(), bar, Picture1->height());
  VScroll1->raise();
  applyScroll(VScroll1, resizeScroll(contentH_, tw(Picture1->height())), true);
  pixgrabber->setGeometry(VScroll1->x(), HScroll1->y(), bar, bar);
  pixgrabber->raise();
  if (windowState() & Qt::WindowMaximized) Picture2->move(0, 0);
}

void f_Edit::scrolled() { Picture2->move(-px(HScroll1->value()), -px(VScroll1->value())); }

bool f_Edit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picFloat && event->type() == QEvent::Resize) layoutFloat();
  return QDialog::eventFilter(watched, event);
}

void f_Edit::layoutFloat() {
  const int w = picFloat->width(), h = picFloat->height();
  TXT->setGeometry(0, 0, w, h - cmdCloseFloat->height());
  cmdCloseFloat->move(w - cmdCloseFloat->width(), h - cmdCloseFloat->height());
  cmdSaveFloat->move(cmdCloseFloat->x() - cmdCloseFloat->width(), cmdCloseFloat->y());
}

void f_Edit::toolbarButtonClick(const QString& key) {
  try {
    if (key == QLatin1String("Save"))
      edit_.SaveRecord();
    else if (key == QLatin1String("Exit"))
      reject();
  } catch (const std::exception&) {
    // The save shows its own message; nothing else to do here.
  }
}

void f_Edit::fieldButtonClick(int index) {
  if (index < 1 || index > rowCount() || !cmdField(index)) return;
  QLineEdit* box = txtField(index);
  const QString tag = cmdField(index)->property("tag").toString();
  const double contentH = contentH_;
  const int buttonTop = rowTop(index);
  if (tag == QLatin1String(kAidText)) {
    if (picFloat->isVisible()) {
      picFloat->hide();
      return;
    }
    floatMaxLength_ = edit_.row(index).spec.maxLength;
    TXT->setPlainText(box->text());
    const int top = floatingAidTop(buttonTop, kRowHeight, kPanelHeight, int(contentH));
    picFloat->setGeometry(px(kTextLeft), px(top), px(kButtonLeft + kButtonWidth - kTextLeft), px(kPanelHeight));
    floatTag = QString::number(index);
    picFloat->show();
    picFloat->raise();
  } else if (tag == QLatin1String(kAidBoolean)) {
    box->setText(toggledBooleanText(box->text()));
  } else if (tag == QLatin1String(kAidDate)) {
    if (DateSelect->isVisible()) {
      DateSelect->hide();
      return;
    }
    DateSelect->setSelectedDate(calendarStartDate(box->text(), QDate::currentDate()));
    const int height = int(tw(DateSelect->height()));
    const int left = kButtonLeft + kButtonWidth - int(tw(DateSelect->width()));
    const int top = floatingAidTop(buttonTop, kRowHeight, height, int(contentH));
    DateSelect->move(px(left), px(top));
    dateTag = QString::number(index);
    DateSelect->show();
    DateSelect->raise();
  }
}

void f_Edit::dateClick() {
  const int i = rowIndexFromTag(dateTag);
  if (i < 1 || i > rowCount()) return;
  QLineEdit* box = txtField(i);
  box->setText(pickedDateText(DateSelect->selectedDate(), box->text()));
  box->setFocus();
  DateSelect->hide();
}

void f_Edit::saveFloatClick() {
  const int i = rowIndexFromTag(floatTag);
  if (i < 1 || i > rowCount()) return;
  txtField(i)->setText(TXT->toPlainText());
}

void f_Edit::closeFloatClick() { picFloat->hide(); }

void f_Edit::done(int result) {
  if (!closing_) {
    closing_ = true;
    if (edit_.IsChanged()) {
      const int answer = prompts().message(QString::fromLatin1(kSaveQuestion), Prompts::Question, Prompts::YesNo);
      if (answer == Prompts::Yes)
        edit_.SaveRecord();
      else
        edit_.keepPending();
    }
    edit_.release();
  }
  QDialog::done(result);
}

}  // namespace viewer
