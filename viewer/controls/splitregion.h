// SplitRegion divides its own rectangle between two sibling widgets of its
// container, named by FirstControl and SecondControl, with a draggable bar
// between them. It owns no child besides the bar label: the two controls stay
// children of the container, and the splitter moves them and shows or hides
// them. The split is kept as a percentage of the splitter's extent; the
// geometry itself lives in SplitLayout.
//
// The splitter lies under the two controls (it lowers itself), so only the
// bar label shows, in the gap between them. Dragging the bar shows an outline
// over the container that follows the pointer; the split changes on release.
#pragma once

#include "splitlayout.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWidget>

class QLabel;
#include <QRubberBand>

namespace controls {

class SplitRegion : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString FirstControl READ FirstControl WRITE setFirstControl)
  Q_PROPERTY(QString SecondControl READ SecondControl WRITE setSecondControl)
  Q_PROPERTY(double FirstControlMinSize READ FirstControlMinSize WRITE setFirstControlMinSize)
  Q_PROPERTY(double SecondControlMinSize READ SecondControlMinSize WRITE setSecondControlMinSize)
  Q_PROPERTY(double SplitPercent READ SplitPercent WRITE setSplitPercent)
  Q_PROPERTY(bool SplitterBarVertical READ SplitterBarVertical WRITE setSplitterBarVertical)
  Q_PROPERTY(double SplitterBarThickness READ SplitterBarThickness WRITE setSplitterBarThickness)
  Q_PROPERTY(QColor SplitterBarColor READ SplitterBarColor WRITE setSplitterBarColor)
  Q_PROPERTY(bool AllowControlHiding READ AllowControlHiding WRITE setAllowControlHiding)
  Q_PROPERTY(bool KeepSplitPercentOnResize READ KeepSplitPercentOnResize WRITE setKeepSplitPercentOnResize)
  Q_PROPERTY(bool RightToLeft READ RightToLeft WRITE setRightToLeft)

 public:
  // Error number of an invalid property value (a name setter given a name
  // that is not a control of the container).
  static constexpr int kInvalidPropertyValue = 380;

  // REQUIRES: parent is the container that holds the two controls.
  explicit SplitRegion(QWidget* parent);

  const QString& FirstControl() const { return firstControl_; }
  const QString& SecondControl() const { return secondControl_; }
  // Throws dataaccess::Error 380 for a name that is neither empty nor a
  // control of the container (the splitter itself excluded).
  void setFirstControl(const QString& name);
  void setSecondControl(const QString& name);

  double FirstControlMinSize() const { return layout_.firstMinSize; }
  void setFirstControlMinSize(double v);
  double SecondControlMinSize() const { return layout_.secondMinSize; }
  void setSecondControlMinSize(double v);
  // The effective (clamped) percentage.
  double SplitPercent() const { return layout_.effectivePercent(); }
  void setSplitPercent(double p);
  bool SplitterBarVertical() const { return layout_.vertical; }
  void setSplitterBarVertical(bool v);
  double SplitterBarThickness() const { return layout_.thickness; }
  void setSplitterBarThickness(double t);
  QColor SplitterBarColor() const { return barColor_; }
  void setSplitterBarColor(const QColor& c);
  bool AllowControlHiding() const { return layout_.allowHiding; }
  void setAllowControlHiding(bool v);
  bool KeepSplitPercentOnResize() const { return layout_.keepPercentOnResize; }
  void setKeepSplitPercentOnResize(bool v);
  bool RightToLeft() const { return layout_.rightToLeft; }
  void setRightToLeft(bool v);

  // Measures, lays out and repaints both controls.
  void Refresh();

  // Property persistence: writes the properties that differ from their
  // defaults under their property names; reading applies every property
  // (a missing one takes its default) through its setter.
  void writeProperties(QVariantMap& bag) const;
  void readProperties(const QVariantMap& bag);

  // For tests and the container: the geometry state and the drag state.
  const SplitLayout& geometry() const { return layout_; }
  bool isDragging() const { return dragging_; }
  QLabel* bar() const { return bar_; }
  QRubberBand* outline() const { return outline_; }
  // How often the drag outline was drawn (shown or moved).
  int outlineDraws() const { return outlineDraws_; }

 signals:
  // After SplitPercent was set.
  void RepositionSplit();
  // After the splitter resized and laid out its controls.
  void Resize();
  // A property changed (the container's property store is out of date).
  void propertyChanged(const QString& name);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void measure();
  QWidget* findControl(const QString& name) const;
  bool containerHasControls() const;
  bool isValidControlName(const QString& name) const;
  void clampEffective();
  void layOut();
  void applyAxis();
  void placeBarAcross();
  void growToMinimum();
  void drawOutline(double percent);
  void beginDrag(const QPoint& pos);
  void dragTo(const QPoint& pos);
  void endDrag(const QPoint& pos);
  double pointerPercent(const QPoint& posInSplitter) const;

  SplitLayout layout_;
  QString firstControl_;
  QString secondControl_;
  QColor barColor_;
  QLabel* bar_ = nullptr;
  QPointer<QRubberBand> outline_;
  bool shown_ = true;
  bool dragging_ = false;
  bool growing_ = false;
  double dragPercent_ = 0;
  int outlineDraws_ = 0;
};

}  // namespace controls
