#include "splitregion.h"

#include "dataaccess/error.h"

#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <cmath>

namespace controls {

namespace {

// Integer geometry of a rectangle in container units: edges are rounded, so
// the two controls and the bar meet without gaps or overlaps of a pixel.
QRect roundedRect(const QRectF& r) {
  int left = int(std::lround(r.left()));
  int top = int(std::lround(r.top()));
  int right = int(std::lround(r.left() + r.width()));
  int bottom = int(std::lround(r.top() + r.height()));
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return QRect(left, top, right - left, bottom - top);
}

}  // namespace

SplitRegion::SplitRegion(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("SplitRegion"));
  bar_ = new QLabel(this);
  bar_->setObjectName(QStringLiteral("lblSplitterBar"));
  bar_->setAutoFillBackground(true);
  bar_->installEventFilter(this);
  barColor_ = parent ? parent->palette().color(QPalette::Window) : palette().color(QPalette::Window);
  QPalette pal = bar_->palette();
  pal.setColor(QPalette::Window, barColor_);
  bar_->setPalette(pal);
  layout_.rightToLeft = parent && parent->layoutDirection() == Qt::RightToLeft;
  // The splitter itself never draws over the controls it places.
  setAttribute(Qt::WA_NoSystemBackground);
  applyAxis();
  lower();
}

// --- names ---------------------------------------------------------------

QWidget* SplitRegion::findControl(const QString& name) const {
  if (name.isEmpty() || !parentWidget()) return nullptr;
  for (QObject* child : parentWidget()->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && w != this && w->objectName().compare(name, Qt::CaseInsensitive) == 0) return w;
  }
  return nullptr;
}

bool SplitRegion::containerHasControls() const {
  if (!parentWidget()) return false;
  for (QObject* child : parentWidget()->children()) {
    if (child->isWidgetType()) return true;  // the splitter itself counts, as a control of its form
  }
  return false;
}

bool SplitRegion::isValidControlName(const QString& name) const {
  if (name.isEmpty() || !containerHasControls()) return true;
  if (name.compare(objectName(), Qt::CaseInsensitive) == 0) return false;
  return findControl(name) != nullptr;
}

void SplitRegion::setFirstControl(const QString& name) {
  if (!isValidControlName(name)) {
    throw dataaccess::Error(kInvalidPropertyValue, QStringLiteral("SplitRegion.FirstControl"),
                            QStringLiteral("Invalid property value"));
  }
  // One control cannot lie on both sides of the bar.
  if (!name.isEmpty() && name.compare(secondControl_, Qt::CaseInsensitive) == 0) {
    secondControl_.clear();
    emit propertyChanged(QStringLiteral("SecondControl"));
  }
  firstControl_ = name;
  layOut();
  emit propertyChanged(QStringLiteral("FirstControl"));
}

void SplitRegion::setSecondControl(const QString& name) {
  if (!isValidControlName(name)) {
    throw dataaccess::Error(kInvalidPropertyValue, QStringLiteral("SplitRegion.SecondControl"),
                            QStringLiteral("Invalid property value"));
  }
  if (!name.isEmpty() && name.compare(firstControl_, Qt::CaseInsensitive) == 0) {
    firstControl_.clear();
    emit propertyChanged(QStringLiteral("FirstControl"));
  }
  secondControl_ = name;
  layOut();
  emit propertyChanged(QStringLiteral("SecondControl"));
}

// --- geometry properties -------------------------------------------------

void SplitRegion::setFirstControlMinSize(double v) {
  if (v == layout_.firstMinSize) return;
  layout_.firstMinSize = v;
  clampEffective();
  layOut();
  emit propertyChanged(QStringLiteral("FirstControlMinSize"));
}

void SplitRegion::setSecondControlMinSize(double v) {
  if (v == layout_.secondMinSize) return;
  layout_.secondMinSize = v;
  clampEffective();
  layOut();
  emit propertyChanged(QStringLiteral("SecondControlMinSize"));
}

void SplitRegion::setAllowControlHiding(bool v) {
  if (v == layout_.allowHiding) return;
  layout_.allowHiding = v;
  clampEffective();
  layOut();
  emit propertyChanged(QStringLiteral("AllowControlHiding"));
}

void SplitRegion::setKeepSplitPercentOnResize(bool v) {
  if (v == layout_.keepPercentOnResize) return;
  layout_.keepPercentOnResize = v;
  emit propertyChanged(QStringLiteral("KeepSplitPercentOnResize"));
}

void SplitRegion::setRightToLeft(bool v) {
  if (v == layout_.rightToLeft) return;
  layout_.rightToLeft = v;
  layOut();
  layout_.rememberEffective();
  emit propertyChanged(QStringLiteral("RightToLeft"));
}

void SplitRegion::setSplitterBarColor(const QColor& c) {
  if (c == barColor_) return;
  barColor_ = c;
  QPalette pal = bar_->palette();
  pal.setColor(QPalette::Window, c);
  bar_->setPalette(pal);
  emit propertyChanged(QStringLiteral("SplitterBarColor"));
}

void SplitRegion::setSplitPercent(double p) {
  if (p == layout_.effectivePercent()) return;
  measure();
  layout_.setPercent(p);
  growToMinimum();
  layOut();
  emit RepositionSplit();
  emit propertyChanged(QStringLiteral("SplitPercent"));
}

void SplitRegion::setSplitterBarThickness(double t) {
  // Container units are the splitter's own scale here, so the label is the
  // integer part of t thick.
  if (layout_.vertical) {
    bar_->resize(std::max(0, int(std::trunc(t))), bar_->height());
  } else {
    bar_->resize(bar_->width(), std::max(0, int(std::trunc(t))));
  }
  layout_.thickness = t;
  clampEffective();
  layOut();
  emit propertyChanged(QStringLiteral("SplitterBarThickness"));
}

void SplitRegion::setSplitterBarVertical(bool v) {
  if (v == layout_.vertical) return;
  layout_.vertical = v;
  applyAxis();
  emit propertyChanged(QStringLiteral("SplitterBarVertical"));
}

// Sizes and places the bar label for the current axis and lays out again.
void SplitRegion::applyAxis() {
  setSplitterBarThickness(layout_.thickness);
  placeBarAcross();
  clampEffective();
  layOut();
  layout_.rememberEffective();
}

void SplitRegion::placeBarAcross() {
  if (layout_.vertical) {
    bar_->setCursor(Qt::SplitHCursor);  // a vertical bar moves sideways
    bar_->move(bar_->x(), 0);
    bar_->resize(bar_->width(), height());
  } else {
    bar_->setCursor(Qt::SplitVCursor);
    bar_->move(0, bar_->y());
    bar_->resize(width(), bar_->height());
  }
}

// --- measuring and layout ------------------------------------------------

void SplitRegion::measure() {
  layout_.measure(x(), y(), width(), height());
}

void SplitRegion::clampEffective() {
  measure();
  growToMinimum();
  layout_.reclamp();
  emit propertyChanged(QStringLiteral("SplitPercent"));
}

// The splitter is never smaller than both minima and the bar.
void SplitRegion::growToMinimum() {
  if (!layout_.measured() || growing_) return;
  int needed = int(std::ceil(layout_.minimumExtent()));
  growing_ = true;
  if (layout_.vertical && width() < needed) resize(needed, height());
  if (!layout_.vertical && height() < needed) resize(width(), needed);
  growing_ = false;
  measure();
}

void SplitRegion::layOut() {
  // A widget that is not shown gets its resize events only when it shows;
  // the geometry it has now is what counts.
  measure();
  if (!layout_.measured() || !containerHasControls()) return;
  QWidget* first = findControl(firstControl_);
  QWidget* second = findControl(secondControl_);
  if (!shown_) {
    if (first) first->setVisible(false);
    if (second) second->setVisible(false);
    return;
  }
  SplitPlacement pl = layout_.placement();
  if (first) {
    if (pl.firstVisible) first->setGeometry(roundedRect(pl.first));
    first->setVisible(pl.firstVisible);
  }
  int offset = int(std::lround(pl.barOffset));
  if (layout_.vertical) {
    bar_->move(offset, 0);
  } else {
    bar_->move(0, offset);
  }
  if (second) {
    if (pl.secondVisible) second->setGeometry(roundedRect(pl.second));
    second->setVisible(pl.secondVisible);
  }
}

void SplitRegion::Refresh() {
  measure();
  layOut();
  if (QWidget* w = findControl(firstControl_)) w->update();
  if (QWidget* w = findControl(secondControl_)) w->update();
}

void SplitRegion::resizeEvent(QResizeEvent*) {
  measure();
  if (layout_.vertical) {
    bar_->resize(bar_->width(), height());
  } else {
    bar_->resize(width(), bar_->height());
  }
  layout_.resized(x(), y(), width(), height());
  growToMinimum();
  emit Resize();
  layOut();
}

// A move changes where the controls belong, though not the split.
void SplitRegion::moveEvent(QMoveEvent*) {
  measure();
  layOut();
}

void SplitRegion::showEvent(QShowEvent*) {
  shown_ = true;
  measure();
  layOut();
}

void SplitRegion::hideEvent(QHideEvent* e) {
  // A hidden window hides its children too; that is not the splitter being
  // hidden, and the controls must come back with the window.
  if (!isHidden()) return;
  shown_ = false;
  layOut();
}

void SplitRegion::paintEvent(QPaintEvent*) {
  layout_.running = true;
}

// --- dragging ------------------------------------------------------------

double SplitRegion::pointerPercent(const QPoint& pos) const {
  return layout_.positionToPercent(layout_.vertical ? pos.x() : pos.y());
}

void SplitRegion::drawOutline(double percent) {
  if (!outline_) {
    outline_ = new QRubberBand(QRubberBand::Line, parentWidget() ? parentWidget() : this);
  }
  QRect r = layout_.outlineRect(percent);
  if (parentWidget()) r.translate(pos());
  outline_->setGeometry(r);
  outline_->show();
  outline_->raise();
  ++outlineDraws_;
}

void SplitRegion::beginDrag(const QPoint& pos) {
  measure();
  dragPercent_ = pointerPercent(pos);
  drawOutline(dragPercent_);
  dragging_ = true;
}

void SplitRegion::dragTo(const QPoint& pos) {
  double p = pointerPercent(pos);
  if (!SplitLayout::movedEnough(dragPercent_, p)) return;
  drawOutline(p);
  dragPercent_ = p;
}

void SplitRegion::endDrag(const QPoint& pos) {
  double p = pointerPercent(pos);
  if (outline_) outline_->hide();
  dragging_ = false;
  setSplitPercent(p);
}

bool SplitRegion::eventFilter(QObject* watched, QEvent* e) {
  if (watched != bar_) return QWidget::eventFilter(watched, e);
  switch (e->type()) {
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(e);
      if (me->button() != Qt::LeftButton) break;
      beginDrag(bar_->mapToParent(me->position().toPoint()));
      return true;
    }
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(e);
      if (!dragging_) break;
      dragTo(bar_->mapToParent(me->position().toPoint()));
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(e);
      if (!dragging_ || me->button() != Qt::LeftButton) break;
      endDrag(bar_->mapToParent(me->position().toPoint()));
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, e);
}

// --- persistence ---------------------------------------------------------

void SplitRegion::writeProperties(QVariantMap& bag) const {
  auto put = [&](const char* name, const QVariant& v, const QVariant& def) {
    if (v != def) bag.insert(QString::fromLatin1(name), v);
  };
  QColor ambient = parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor();
  bool ambientRtl = parentWidget() && parentWidget()->layoutDirection() == Qt::RightToLeft;
  put("FirstControl", firstControl_, QString());
  put("SecondControl", secondControl_, QString());
  put("FirstControlMinSize", layout_.firstMinSize, SplitLayout::kDefaultMinSize);
  put("SecondControlMinSize", layout_.secondMinSize, SplitLayout::kDefaultMinSize);
  put("SplitPercent", layout_.requestedPercent(), SplitLayout::kDefaultPercent);
  put("SplitterBarVertical", layout_.vertical, false);
  put("SplitterBarThickness", layout_.thickness, SplitLayout::kDefaultThickness);
  put("SplitterBarColor", barColor_, ambient);
  put("AllowControlHiding", layout_.allowHiding, false);
  put("KeepSplitPercentOnResize", layout_.keepPercentOnResize, false);
  put("RightToLeft", layout_.rightToLeft, ambientRtl);
}

void SplitRegion::readProperties(const QVariantMap& bag) {
  bar_->setCursor(Qt::SplitVCursor);
  auto get = [&](const char* name, const QVariant& def) { return bag.value(QString::fromLatin1(name), def); };
  QColor ambient = parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor();
  bool ambientRtl = parentWidget() && parentWidget()->layoutDirection() == Qt::RightToLeft;
  setFirstControlMinSize(get("FirstControlMinSize", SplitLayout::kDefaultMinSize).toDouble());
  setSecondControlMinSize(get("SecondControlMinSize", SplitLayout::kDefaultMinSize).toDouble());
  setSplitterBarVertical(get("SplitterBarVertical", false).toBool());
  setSplitterBarThickness(get("SplitterBarThickness", SplitLayout::kDefaultThickness).toDouble());
  setSplitterBarColor(get("SplitterBarColor", ambient).value<QColor>());
  setAllowControlHiding(get("AllowControlHiding", false).toBool());
  setKeepSplitPercentOnResize(get("KeepSplitPercentOnResize", false).toBool());
  setRightToLeft(get("RightToLeft", ambientRtl).toBool());
  // Names are stored as they are: the container's controls may not all exist
  // yet while a form is being read.
  firstControl_ = get("FirstControl", QString()).toString();
  secondControl_ = get("SecondControl", QString()).toString();
  setSplitPercent(get("SplitPercent", SplitLayout::kDefaultPercent).toDouble());
  layOut();
}

}  // namespace controls
