#include "splitlayout.h"

#include <algorithm>
#include <cmath>

namespace controls {

void SplitLayout::measure(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  signX_ = width < 0 ? -1 : 1;
  signY_ = height < 0 ? -1 : 1;
  width_ = std::abs(width);
  height_ = std::abs(height);
  measured_ = true;
}

double SplitLayout::clamp(double p) const {
  if (!measured_) return p;
  double available = (vertical ? width_ : height_) - thickness;
  if (available <= 0) {
    // No room for either control beyond the bar: only the two collapsed
    // states or the middle make sense.
    return allowHiding ? (p < 50 ? 0 : 100) : 50;
  }
  double low = firstMinSize / available * 100;
  double high = (1 - secondMinSize / available) * 100;
  if (p < low) return allowHiding ? 0 : low;
  if (p > high) return allowHiding ? 100 : high;
  return p;
}

void SplitLayout::setPercent(double p) {
  requested_ = p;
  remembered_ = percentToPosition(p);
  effective_ = clamp(p);
}

void SplitLayout::resized(double left, double top, double width, double height) {
  measure(left, top, width, height);
  if (!running) {
    remembered_ = percentToPosition(requested_);
  } else if (!keepPercentOnResize) {
    requested_ = std::min(100.0, positionToPercent(remembered_));
  } else {
    // Keep the remembered position in step with the kept percentage, so that
    // turning keepPercentOnResize off later starts from where the bar is.
    remembered_ = percentToPosition(requested_);
  }
  effective_ = clamp(requested_);
}

double SplitLayout::percentToPosition(double p) const {
  double extent = scaleExtent();
  if (vertical) return rightToLeft ? (1 - p / 100) * extent : p / 100 * extent;
  return p / 100 * extent;
}

double SplitLayout::positionToPercent(double pos) const {
  double extent = scaleExtent();
  if (extent <= 0) return effective_;
  if (vertical) return rightToLeft ? (1 - pos / extent) * 100 : pos / extent * 100;
  return pos / extent * 100;
}

SplitPlacement SplitLayout::placement() const {
  SplitPlacement out;
  double f = effective_ / 100;
  double t = thickness;
  double half = std::trunc(t) / 2;  // the bar label is a whole number of units thick
  if (vertical) {
    double w1 = f * width_ - t / 2;
    double left1 = rightToLeft ? (width_ - w1) * signX_ + left_ : left_;
    out.firstVisible = w1 > 0;
    out.first = QRectF(left1, top_, w1, height_);
    out.barOffset = percentToPosition(effective_) - half;
    double left2 = rightToLeft ? left_ : (w1 + t) * signX_ + left_;
    double w2 = (1 - f) * width_ - t / 2;
    out.secondVisible = w2 > 0;
    out.second = QRectF(left2, top_, w2, height_);
  } else {
    double h1 = f * height_ - t / 2;
    out.firstVisible = h1 > 0;
    out.first = QRectF(left_, top_, width_, h1);
    out.barOffset = percentToPosition(effective_) - half;
    double top2 = (h1 + t) * signY_ + top_;
    double h2 = (1 - f) * height_ - t / 2;
    out.secondVisible = h2 > 0;
    out.second = QRectF(left_, top2, width_, h2);
  }
  return out;
}

QRect SplitLayout::outlineRect(double p) const {
  int px = int(std::lround(std::abs(thickness)));
  if (vertical) {
    double x = std::round(width_ * (rightToLeft ? 1 - p / 100 : p / 100));
    int left = int(std::lround(x - px / 2.0));
    return QRect(left, 0, px, int(std::lround(height_)));
  }
  double y = std::round(p / 100 * height_);
  int top = int(std::lround(y - px / 2.0));
  return QRect(0, top, int(std::lround(width_)), px);
}

}  // namespace controls
