#include "frmoptions.h"

#include "controls/twips.h"
#include "dataaccess/error.h"
#include "options.h"
#include "prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>

#include <algorithm>

namespace viewer {

namespace {

int px(double twips) { return int(controls::twipsToPixels(twips) + 0.5); }

// The window's client area and the places of its controls, in twips.
constexpr int kClientWidth = 6150;
constexpr int kClientHeight = 4920;
constexpr int kMargin = 120;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonGap = 120;
constexpr int kLabelLeft = 180;
constexpr int kFieldLeft = 1800;
constexpr int kFieldWidth = 3600;
constexpr int kRowTop = 240;
constexpr int kRowStep = 540;

}  // namespace

frmOptions::frmOptions(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));
  setModal(true);
  buildControls();
  Load();
}

void frmOptions::buildControls() {
  setFixedSize(px(kClientWidth), px(kClientHeight));

  const int stripLeft = px(kMargin);
  const int stripTop = px(kMargin);
  const int stripWidth = px(kClientWidth - 2 * kMargin);
  const int buttonTop = px(kClientHeight - kMargin - kButtonHeight);
  const int stripHeight = buttonTop - px(kMargin) - stripTop;

  tbsOptions = new QTabBar(this);
  tbsOptions->setObjectName(QStringLiteral("tbsOptions"));
  tbsOptions->setDrawBase(false);
  tbsOptions->setExpanding(false);
  const int general = tbsOptions->addTab(QStringLiteral("General"));
  tbsOptions->setTabData(general, QStringLiteral("General"));
  tbsOptions->setTabToolTip(general, QStringLiteral("General options"));
  const int tabHeight = tbsOptions->sizeHint().height();
  tbsOptions->setGeometry(stripLeft + 2, stripTop, std::min(stripWidth - 4, tbsOptions->sizeHint().width()), tabHeight);

  // The tab strip's client area: the framed panel under the tabs.
  tabClient_ = new QFrame(this);
  tabClient_->setObjectName(QStringLiteral("tabClient"));
  tabClient_->setFrameShape(QFrame::StyledPanel);
  tabClient_->setGeometry(stripLeft, stripTop + tabHeight - 1, stripWidth, stripHeight - tabHeight + 1);
  tbsOptions->raise();

  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("picOptions0"));
  picOptions << page;

  auto row = [&](int index, const QString& caption, QWidget* field, int width) {
    auto* label = new QLabel(caption, page);
    const int top = px(kRowTop + index * kRowStep);
    field->setGeometry(px(kFieldLeft), top, px(width), field->sizeHint().height());
    label->setGeometry(px(kLabelLeft), top, px(kFieldLeft - kLabelLeft), field->sizeHint().height());
    label->setBuddy(field);
    return label;
  };
  txtEncoding = new QLineEdit(page);
  txtEncoding->setObjectName(QStringLiteral("txtEncoding"));
  Label1 = row(0, QString::fromLatin1(kEncodingCaption), txtEncoding, kFieldWidth);
  Label1->setObjectName(QStringLiteral("Label1"));
  txtPagesize = new QLineEdit(page);
  txtPagesize->setObjectName(QStringLiteral("txtPagesize"));
  Label2 = row(1, QString::fromLatin1(kPageSizeCaption), txtPagesize, 1200);
  Label2->setObjectName(QStringLiteral("Label2"));
  cmbTextFormat = new QComboBox(page);
  cmbTextFormat->setObjectName(QStringLiteral("cmbTextFormat"));
  cmbTextFormat->setEditable(true);
  cmbTextFormat->setInsertPolicy(QComboBox::NoInsert);
  cmbTextFormat->addItems(TextFormatItems());
  Label3 = row(2, QString::fromLatin1(kTextFormatCaption), cmbTextFormat, kFieldWidth);
  Label3->setObjectName(QStringLiteral("Label3"));

  auto button = [&](int slot, const QString& caption, const char* name) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    const int right = kClientWidth - kMargin - slot * (kButtonWidth + kButtonGap);
    b->setGeometry(px(right - kButtonWidth), buttonTop, px(kButtonWidth), px(kButtonHeight));
    return b;
  };
  cmdApply = button(0, QStringLiteral("Apply"), "cmdApply");
  cmdCancel = button(1, QStringLiteral("Cancel"), "cmdCancel");
  cmdOK = button(2, QStringLiteral("OK"), "cmdOK");
  cmdOK->setDefault(true);

  connect(tbsOptions, &QTabBar::currentChanged, this, [this] { tabChange(); });
  connect(txtEncoding, &QLineEdit::textChanged, this, [this] { setBApply(true); });
  connect(txtPagesize, &QLineEdit::textChanged, this, [this] { setBApply(true); });
  connect(cmbTextFormat, &QComboBox::currentTextChanged, this, [this] { setBApply(true); });
  connect(cmdApply, &QPushButton::clicked, this, [this] { Apply(); });
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    if (Apply()) accept();
  });
  // Esc presses Cancel: QDialog's Esc and the close box both reject.
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

  // Key preview: Ctrl+Tab reaches the dialog whichever control has focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  txtEncoding->setFocus();
}

void frmOptions::Load() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  const OptionsFields fields = OptionsFieldsFromSettings();
  txtEncoding->setText(fields.encoding);
  txtPagesize->setText(fields.pageSize);
  cmbTextFormat->setCurrentIndex(-1);
  cmbTextFormat->setEditText(fields.textFormat);
  tabChange();
  setBApply(false);
}

bool frmOptions::bApply() const { return cmdApply->isEnabled(); }

void frmOptions::setBApply(bool value) { cmdApply->setEnabled(value); }

bool frmOptions::Apply() {
  if (!bApply()) return true;
  try {
    ApplyOptions({txtEncoding->text(), txtPagesize->text(), cmbTextFormat->currentText()});
  } catch (const dataaccess::Error& err) {
    prompts().message(err.message(), Prompts::Exclamation);
    return false;
  }
  setBApply(false);
  return true;
}

void frmOptions::tabChange() {
  const QRect client = tabClient_->contentsRect().translated(tabClient_->pos());
  const int selected = tbsOptions->currentIndex();
  for (int i = 0; i < picOptions.size(); ++i) {
    QWidget* page = picOptions[i];
    page->setAutoFillBackground(true);
    page->setBackgroundRole(QPalette::Button);
    if (i == selected) {
      page->setGeometry(client);
      page->setEnabled(true);
      page->raise();
    } else {
      page->setGeometry(-20000, client.top(), client.width(), client.height());
      page->setEnabled(false);
    }
  }
}

void frmOptions::nextTab() {
  const int count = tbsOptions->count();
  if (count == 0) return;
  tbsOptions->setCurrentIndex((tbsOptions->currentIndex() + 1) % count);
  tabChange();
}

bool frmOptions::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() == Qt::Key_Tab && ke->modifiers() == Qt::ControlModifier) {
      nextTab();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

}  // namespace viewer
