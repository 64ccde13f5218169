#pragma once

class CompositorGLView;

// The output settings the preferences give the output view at start-up:
// "cpSwapInterval" (1), "canvasPresentationMode" (0) and
// "constrainOutputWindow" (YES), each registered and stored when absent,
// and "renderWidth" x "renderHeight" (640 x 480 when absent). A stored value
// the view refuses leaves the view's own.
class OutputDefaults {
 public:
  static void apply(CompositorGLView& view);
};
