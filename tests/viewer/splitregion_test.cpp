#include "controls/splitlayout.h"
#include "controls/splitregion.h"
#include "dataaccess/error.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QSignalSpy>
#include <gtest/gtest.h>

using controls::SplitLayout;
using controls::SplitRegion;

namespace {

SplitLayout verticalLayout(double width, double height, double percent) {
  SplitLayout l;
  l.vertical = true;
  l.thickness = 10;
  l.firstMinSize = 50;
  l.secondMinSize = 50;
  l.measure(0, 0, width, height);
  l.setPercent(percent);
  return l;
}

}  // namespace

// --- geometry without widgets ---------------------------------------------

TEST(SplitLayoutTest, DefaultsConvertTwipsAtFifteenToAPixel) {
  SplitLayout l;
  EXPECT_DOUBLE_EQ(l.firstMinSize, 400.0 / 15);
  EXPECT_DOUBLE_EQ(l.secondMinSize, 400.0 / 15);
  EXPECT_DOUBLE_EQ(l.thickness, 100.0 / 15);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 50);
  EXPECT_FALSE(l.vertical);
  EXPECT_FALSE(l.allowHiding);
  EXPECT_FALSE(l.keepPercentOnResize);
}

TEST(SplitLayoutTest, VerticalBarPlacesControlsSideBySide) {
  SplitLayout l = verticalLayout(410, 200, 50);
  l.measure(20, 30, 410, 200);
  auto pl = l.placement();
  ASSERT_TRUE(pl.firstVisible);
  ASSERT_TRUE(pl.secondVisible);
  EXPECT_DOUBLE_EQ(pl.first.left(), 20);
  EXPECT_DOUBLE_EQ(pl.first.width(), 410 * 0.5 - 5);
  EXPECT_DOUBLE_EQ(pl.first.top(), 30);
  EXPECT_DOUBLE_EQ(pl.first.height(), 200);
  EXPECT_DOUBLE_EQ(pl.second.left(), 20 + 200 + 10);
  EXPECT_DOUBLE_EQ(pl.second.width(), 200);
  EXPECT_DOUBLE_EQ(pl.barOffset, 205 - 5);
}

TEST(SplitLayoutTest, HorizontalBarStacksControls) {
  SplitLayout l;
  l.thickness = 6;
  l.firstMinSize = 10;
  l.secondMinSize = 10;
  l.measure(0, 40, 300, 206);
  l.setPercent(25);
  auto pl = l.placement();
  EXPECT_DOUBLE_EQ(pl.first.top(), 40);
  EXPECT_DOUBLE_EQ(pl.first.height(), 206 * 0.25 - 3);
  EXPECT_DOUBLE_EQ(pl.first.width(), 300);
  EXPECT_DOUBLE_EQ(pl.second.top(), 40 + 206 * 0.25 - 3 + 6);
  EXPECT_DOUBLE_EQ(pl.second.height(), 206 * 0.75 - 3);
  EXPECT_DOUBLE_EQ(pl.barOffset, 206 * 0.25 - 3);
}

TEST(SplitLayoutTest, RightToLeftPutsFirstControlOnTheRight) {
  SplitLayout l = verticalLayout(410, 100, 30);
  l.rightToLeft = true;
  auto pl = l.placement();
  double w1 = 410 * 0.3 - 5;
  EXPECT_DOUBLE_EQ(pl.first.left(), 410 - w1);
  EXPECT_DOUBLE_EQ(pl.second.left(), 0);
  EXPECT_DOUBLE_EQ(pl.second.width(), 410 * 0.7 - 5);
  // The bar sits between them: 30 percent from the right edge.
  EXPECT_DOUBLE_EQ(l.percentToPosition(30), 410 * 0.7);
  EXPECT_DOUBLE_EQ(l.positionToPercent(410 * 0.7), 30);
}

TEST(SplitLayoutTest, BackwardsScaleUsesTheSignOfEachAxis) {
  // A container whose x axis runs right to left: the splitter's left edge is
  // at 500 and its width is -400. The second control lies further along the
  // axis, so at a smaller coordinate.
  SplitLayout l;
  l.vertical = true;
  l.thickness = 10;
  l.firstMinSize = 0;
  l.secondMinSize = 0;
  l.measure(500, 0, -400, 100);
  l.setPercent(50);
  EXPECT_EQ(l.signX(), -1);
  EXPECT_DOUBLE_EQ(l.width(), 400);
  auto pl = l.placement();
  EXPECT_DOUBLE_EQ(pl.first.left(), 500);
  EXPECT_DOUBLE_EQ(pl.second.left(), 500 - (195 + 10));
  EXPECT_DOUBLE_EQ(pl.second.width(), 195);

  SplitLayout h;
  h.thickness = 10;
  h.firstMinSize = 0;
  h.secondMinSize = 0;
  h.measure(0, 300, 100, -200);
  h.setPercent(50);
  EXPECT_DOUBLE_EQ(h.placement().second.top(), 300 - (95 + 10));
}

TEST(SplitLayoutTest, ClampsToMinimumSizes) {
  SplitLayout l = verticalLayout(110, 100, 10);  // A = 100
  EXPECT_DOUBLE_EQ(l.requestedPercent(), 10);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 50);   // low = 50, high = 50
  l.firstMinSize = 20;
  l.secondMinSize = 30;
  l.reclamp();
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 20);
  l.setPercent(95);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 70);
  l.setPercent(40);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 40);
}

TEST(SplitLayoutTest, HidingCollapsesPastTheMinimum) {
  SplitLayout l = verticalLayout(110, 100, 10);
  l.allowHiding = true;
  l.firstMinSize = 20;
  l.secondMinSize = 30;
  l.setPercent(10);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 0);
  auto pl = l.placement();
  EXPECT_FALSE(pl.firstVisible);
  EXPECT_TRUE(pl.secondVisible);
  l.setPercent(90);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 100);
  pl = l.placement();
  EXPECT_TRUE(pl.firstVisible);
  EXPECT_FALSE(pl.secondVisible);
}

TEST(SplitLayoutTest, UnmeasuredOrTooSmallNeverDividesByZero) {
  SplitLayout l;
  EXPECT_DOUBLE_EQ(l.clamp(7), 7);  // not measured: unchanged
  l.vertical = true;
  l.measure(0, 0, 5, 5);             // narrower than the bar
  double p = l.clamp(30);
  EXPECT_TRUE(p >= 0 && p <= 100);
  EXPECT_DOUBLE_EQ(l.positionToPercent(3), 60);
  l.measure(0, 0, 0, 0);
  EXPECT_DOUBLE_EQ(l.positionToPercent(3), l.effectivePercent());
}

TEST(SplitLayoutTest, ResizeKeepsPositionOrPercent) {
  // Before the program runs, a resize keeps the requested percentage.
  SplitLayout l = verticalLayout(410, 100, 25);
  l.resized(0, 0, 810, 100);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), 25);

  // Running, keep-percent off: the bar keeps its place, the first control
  // its size.
  l.running = true;
  double before = l.placement().first.width();
  l.resized(0, 0, 1210, 100);
  EXPECT_DOUBLE_EQ(l.placement().first.width(), before);
  EXPECT_NEAR(l.effectivePercent(), 25.0 * 810 / 1210, 1e-9);
  // Shrinking below the remembered position caps at 100 and then clamps.
  l.resized(0, 0, 150, 100);
  EXPECT_LE(l.requestedPercent(), 100);
  EXPECT_DOUBLE_EQ(l.effectivePercent(), (1 - 50.0 / 140) * 100);

  // Keep-percent on: both controls grow in proportion.
  SplitLayout k = verticalLayout(410, 100, 25);
  k.running = true;
  k.keepPercentOnResize = true;
  k.resized(0, 0, 810, 100);
  EXPECT_DOUBLE_EQ(k.effectivePercent(), 25);
  EXPECT_DOUBLE_EQ(k.placement().first.width(), 810 * 0.25 - 5);
}

TEST(SplitLayoutTest, OutlineAndDeadBand) {
  SplitLayout l = verticalLayout(400, 120, 50);
  l.thickness = 4;
  EXPECT_EQ(l.outlineRect(25), QRect(98, 0, 4, 120));
  l.rightToLeft = true;
  EXPECT_EQ(l.outlineRect(25), QRect(298, 0, 4, 120));
  l.vertical = false;
  l.rightToLeft = false;
  l.measure(0, 0, 400, 200);
  EXPECT_EQ(l.outlineRect(50), QRect(0, 98, 400, 4));
  EXPECT_FALSE(SplitLayout::movedEnough(40.0, 40.1));
  EXPECT_FALSE(SplitLayout::movedEnough(40.0, 39.95));
  EXPECT_TRUE(SplitLayout::movedEnough(40.0, 40.2));
}

// --- the control on a container -------------------------------------------

class SplitRegionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    container.resize(600, 400);
    left = new QWidget(&container);
    left->setObjectName("Left");
    right = new QWidget(&container);
    right->setObjectName("Right");
    split = new SplitRegion(&container);
    split->setObjectName("Split1");
    split->setGeometry(0, 0, 600, 400);
    container.show();
  }

  QWidget container;
  QWidget* left = nullptr;
  QWidget* right = nullptr;
  SplitRegion* split = nullptr;
};

TEST_F(SplitRegionTest, EmptyNamesLayOutAndHideNothing) {
  left->setGeometry(1, 2, 3, 4);
  split->setSplitPercent(20);
  split->Refresh();
  EXPECT_EQ(left->geometry(), QRect(1, 2, 3, 4));
  EXPECT_FALSE(left->isHidden());
  EXPECT_FALSE(right->isHidden());
}

TEST_F(SplitRegionTest, NameSettersCheckTheContainer) {
  try {
    split->setFirstControl("Nowhere");
    FAIL() << "no error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), 380);
  }
  EXPECT_TRUE(split->FirstControl().isEmpty());
  EXPECT_THROW(split->setSecondControl("split1"), dataaccess::Error);  // itself, any case
  split->setFirstControl("left");  // names match without regard to case
  split->setSecondControl("Right");
  EXPECT_EQ(split->FirstControl(), "left");
  // One control on both sides is refused by clearing the other side.
  split->setSecondControl("LEFT");
  EXPECT_TRUE(split->FirstControl().isEmpty());
  EXPECT_EQ(split->SecondControl(), "LEFT");
  split->setFirstControl("");  // empty is always valid
}

TEST_F(SplitRegionTest, LaysOutBothAxesAndCollapses) {
  split->setFirstControl("Left");
  split->setSecondControl("Right");
  split->setSplitterBarVertical(true);
  split->setSplitterBarThickness(10);
  split->setSplitPercent(30);
  EXPECT_EQ(left->geometry(), QRect(0, 0, 175, 400));
  EXPECT_EQ(right->geometry(), QRect(185, 0, 415, 400));
  EXPECT_EQ(split->bar()->geometry(), QRect(175, 0, 10, 400));

  split->setSplitterBarVertical(false);
  split->setSplitPercent(50);
  EXPECT_EQ(left->geometry(), QRect(0, 0, 600, 195));
  EXPECT_EQ(right->geometry(), QRect(0, 205, 600, 195));
  EXPECT_EQ(split->bar()->geometry(), QRect(0, 195, 600, 10));

  split->setAllowControlHiding(true);
  split->setSplitPercent(0);
  EXPECT_TRUE(left->isHidden());
  EXPECT_FALSE(right->isHidden());
  split->setSplitPercent(100);
  EXPECT_FALSE(left->isHidden());
  EXPECT_TRUE(right->isHidden());
}

TEST_F(SplitRegionTest, RightToLeftMirrorsTheVerticalLayout) {
  split->setFirstControl("Left");
  split->setSecondControl("Right");
  split->setSplitterBarVertical(true);
  split->setSplitterBarThickness(10);
  split->setSplitPercent(30);
  split->setRightToLeft(true);
  EXPECT_EQ(left->geometry(), QRect(425, 0, 175, 400));
  EXPECT_EQ(right->geometry(), QRect(0, 0, 415, 400));
  EXPECT_EQ(split->bar()->geometry(), QRect(415, 0, 10, 400));
}

TEST_F(SplitRegionTest, EventsAndUnchangedValues) {
  QSignalSpy reposition(split, &SplitRegion::RepositionSplit);
  QSignalSpy resized(split, &SplitRegion::Resize);
  split->setSplitPercent(40);
  EXPECT_EQ(reposition.count(), 1);
  split->setSplitPercent(40);  // same value: nothing, no event
  EXPECT_EQ(reposition.count(), 1);
  split->resize(500, 300);
  EXPECT_EQ(resized.count(), 1);
}

TEST_F(SplitRegionTest, ResizeAfterFirstPaintFollowsKeepPercent) {
  split->setFirstControl("Left");
  split->setSecondControl("Right");
  split->setSplitterBarVertical(true);
  split->setSplitterBarThickness(10);
  split->setSplitPercent(30);
  QApplication::processEvents();
  split->repaint();  // the first paint marks the program as running
  ASSERT_TRUE(split->geometry().width() == 600);
  ASSERT_TRUE(split->geometry().running);
  split->resize(900, 400);
  EXPECT_EQ(left->width(), 175);  // the bar kept its place
  split->setKeepSplitPercentOnResize(true);
  split->resize(1200, 400);
  EXPECT_NEAR(split->SplitPercent(), 100.0 * 180 / 900, 1e-9);
  EXPECT_EQ(left->width(), int(std::lround(1200 * split->SplitPercent() / 100 - 5)));
}

TEST_F(SplitRegionTest, HidingTheSplitterHidesBothControls) {
  split->setFirstControl("Left");
  split->setSecondControl("Right");
  container.show();
  split->hide();
  EXPECT_TRUE(left->isHidden());
  EXPECT_TRUE(right->isHidden());
  split->show();
  EXPECT_FALSE(left->isHidden());
  EXPECT_FALSE(right->isHidden());
  // Hiding the whole window is not hiding the splitter.
  container.hide();
  container.show();
  EXPECT_FALSE(left->isHidden());
}

TEST_F(SplitRegionTest, DragDrawsMovesAndErasesTheOutline) {
  split->setFirstControl("Left");
  split->setSecondControl("Right");
  split->setSplitterBarVertical(true);
  split->setSplitterBarThickness(10);
  split->setSplitPercent(50);
  container.show();
  QLabel* bar = split->bar();
  auto send = [&](QEvent::Type type, int xInSplitter, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QPointF local(xInSplitter - bar->x(), 5);
    QMouseEvent ev(type, local, bar->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(bar, &ev);
  };
  send(QEvent::MouseButtonPress, 300, Qt::RightButton, Qt::RightButton);
  EXPECT_FALSE(split->isDragging());  // left button only

  send(QEvent::MouseButtonPress, 300, Qt::LeftButton, Qt::LeftButton);
  ASSERT_TRUE(split->isDragging());
  ASSERT_TRUE(split->outline());
  EXPECT_TRUE(split->outline()->isVisible());
  EXPECT_EQ(split->outlineDraws(), 1);
  send(QEvent::MouseMove, 300, Qt::NoButton, Qt::LeftButton);  // 0 percent: no redraw
  EXPECT_EQ(split->outlineDraws(), 1);
  send(QEvent::MouseMove, 180, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(split->outlineDraws(), 2);
  EXPECT_EQ(split->outline()->geometry(), QRect(175, 0, 10, 400));
  EXPECT_DOUBLE_EQ(split->SplitPercent(), 50);  // nothing moves until release
  send(QEvent::MouseButtonRelease, 180, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(split->isDragging());
  EXPECT_FALSE(split->outline()->isVisible());
  EXPECT_DOUBLE_EQ(split->SplitPercent(), 30);
  EXPECT_EQ(left->width(), 175);
}

TEST_F(SplitRegionTest, PropertiesPersistUnderTheirNames) {
  QVariantMap bag;
  split->writeProperties(bag);
  EXPECT_TRUE(bag.isEmpty());  // defaults are not written

  split->setFirstControl("Left");
  split->setSecondControl("Right");
  split->setSplitterBarVertical(true);
  split->setSplitPercent(35);
  split->setAllowControlHiding(true);
  split->setSplitterBarColor(Qt::red);
  split->writeProperties(bag);
  EXPECT_EQ(bag.value("FirstControl").toString(), "Left");
  EXPECT_EQ(bag.value("SplitPercent").toDouble(), 35);
  EXPECT_TRUE(bag.value("SplitterBarVertical").toBool());
  EXPECT_FALSE(bag.contains("SplitterBarThickness"));

  QWidget other;
  other.resize(600, 400);
  (new QWidget(&other))->setObjectName("Left");
  (new QWidget(&other))->setObjectName("Right");
  SplitRegion copy(&other);
  copy.setGeometry(0, 0, 600, 400);
  copy.readProperties(bag);
  EXPECT_EQ(copy.SecondControl(), "Right");
  EXPECT_DOUBLE_EQ(copy.SplitPercent(), 35);
  EXPECT_TRUE(copy.AllowControlHiding());
  EXPECT_EQ(copy.SplitterBarColor(), QColor(Qt::red));
  EXPECT_DOUBLE_EQ(copy.FirstControlMinSize(), SplitLayout::kDefaultMinSize);
}
