#pragma once

class QWidget;

namespace vellumark::toolkit {

// Lets the style redraw `widget` for at most `framesPerSecond` frames of its animations a second. A style
// animates a busy bar at its own rate, about sixty frames a second, and each frame redraws the toolbar
// around it. The style places every frame by the time elapsed, so fewer frames show the same motion. For
// endless animations: the last frame of one that ends may be among those left out.
void paceAnimation(QWidget& widget, int framesPerSecond);

}  // namespace vellumark::toolkit
