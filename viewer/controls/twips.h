// Window measures of the viewer are written in twips (1/1440 inch), as its
// layout constants were designed; the screen works in pixels. One helper
// converts, at the fixed ratio of 15 twips to a pixel (96 dots per inch).
#pragma once

namespace controls {

constexpr double kTwipsPerPixel = 15.0;

constexpr double twipsToPixels(double twips) { return twips / kTwipsPerPixel; }
constexpr double pixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }

}  // namespace controls
