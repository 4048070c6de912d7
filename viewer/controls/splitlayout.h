// The geometry of the splitter control, without any widget: where the two
// controls and the bar go for a given split percentage, how a percentage is
// clamped to the minimum sizes, how a drag position becomes a percentage and
// what happens to the split when the splitter changes size.
//
// Units: "container units" are the units of the container the splitter sits
// in. On this toolkit the container always measures in pixels, so container
// units, the splitter's own scale and pixels coincide in size; the extent of
// an axis may still be negative (a container whose scale runs backwards),
// which the layout honours through a sign per axis.
#pragma once

#include "twips.h"

#include <QRect>
#include <QRectF>

namespace controls {

// Where the layout puts the two controls and the bar.
struct SplitPlacement {
  QRectF first;   // container units; meaningful only when firstVisible
  QRectF second;  // container units; meaningful only when secondVisible
  bool firstVisible = false;
  bool secondVisible = false;
  // Left (vertical bar) or top (horizontal bar) of the bar label, in the
  // splitter's own scale.
  double barOffset = 0;
};

class SplitLayout {
 public:
  // Defaults of the properties (container units are pixels here).
  static constexpr double kDefaultMinSize = twipsToPixels(400);
  static constexpr double kDefaultThickness = twipsToPixels(100);
  static constexpr double kDefaultPercent = 50;
  // A drag redraws the outline only when the pointer moved by more than this.
  static constexpr double kDragDeadBand = 0.1;

  // Measuring: the splitter's left and top in the container and its signed
  // extent along both axes. A zero or negative extent is allowed.
  void measure(double left, double top, double width, double height);
  void clearMeasure() { measured_ = false; }
  bool measured() const { return measured_; }
  double width() const { return width_; }    // absolute
  double height() const { return height_; }  // absolute
  int signX() const { return signX_; }
  int signY() const { return signY_; }

  // Properties that shape the layout.
  double firstMinSize = kDefaultMinSize;
  double secondMinSize = kDefaultMinSize;
  double thickness = kDefaultThickness;
  bool vertical = false;
  bool allowHiding = false;
  bool keepPercentOnResize = false;
  bool rightToLeft = false;
  // Set once the program runs (first paint); before that, a resize keeps the
  // requested percentage whatever keepPercentOnResize says.
  bool running = false;

  // The smallest extent across the bar that holds both minima and the bar.
  double minimumExtent() const { return firstMinSize + secondMinSize + thickness; }
  // Clamps p to the range the minimum sizes allow; with allowHiding a value
  // below (above) the range collapses to 0 (100). Unchanged when unmeasured.
  double clamp(double p) const;

  double requestedPercent() const { return requested_; }
  double effectivePercent() const { return effective_; }
  double rememberedPosition() const { return remembered_; }
  // Stores p as requested, remembers its bar position and clamps it.
  void setPercent(double p);
  // Clamps the requested percentage again (after a change of a minimum, the
  // thickness or the hiding rule).
  void reclamp() { effective_ = clamp(requested_); }
  // Recomputes the remembered bar position from the effective percentage
  // (after the axis or the direction changed).
  void rememberEffective() { remembered_ = percentToPosition(effective_); }
  // A new size: the bar keeps its place (running, keepPercentOnResize off)
  // or its percentage.
  void resized(double left, double top, double width, double height);

  // Percent <-> bar position in the splitter's own scale.
  double percentToPosition(double p) const;
  double positionToPercent(double pos) const;

  SplitPlacement placement() const;

  // The drag outline at percent p, in pixels of the splitter.
  QRect outlineRect(double p) const;
  static bool movedEnough(double lastPercent, double percent) {
    // A hair of tolerance, so that a step of exactly 0.1 (which floating
    // point may make 0.1000000001) still counts as within the band.
    double d = percent - lastPercent;
    return d > kDragDeadBand + 1e-9 || d < -kDragDeadBand - 1e-9;
  }

 private:
  double scaleExtent() const { return vertical ? width_ : height_; }

  bool measured_ = false;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int signX_ = 1, signY_ = 1;
  double requested_ = kDefaultPercent;
  double effective_ = kDefaultPercent;
  double remembered_ = 0;
};

}  // namespace controls
