// The plug-in palettes that set their own smallest size: the palette's
// awakening, when the plug-in window is announced, takes the first frame as
// the smallest, so each plug-in sets its own afterwards. A resize from the
// corner handle can then make the window smaller than its first frame,
// down to its minimum and no further.
#include "tests/app/qcplugin/QCPluginFixture.h"

#include "app/plugins/auxdisplay/AuxDisplay.h"
#include "app/plugins/layercontrols/LayerControls.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <functional>

namespace {

using PluginMinimumSizeTest = QCPluginTest;

// A resize drag from near the top-right corner (screen, y up).
void dragCorner(QKWindowContentView& content, QPointF by) {
  const QRectF before = content.paletteWindow()->frame();
  const QPointF start(before.right() - 10, before.y() + 10);
  content.mouseDown(QPointF(before.width() - 10, 10), start, ModifierKeys(Qt::NoModifier), 1);
  ASSERT_EQ(content.dragAction(), QKWindowContentView::ResizeDrag);
  for (double step : {0.5, 1.0}) content.mouseDragged(start + by * step);
  content.mouseUp();
}

TEST_F(PluginMinimumSizeTest, AWokenPluginWindowShrinksBelowItsFirstFrameToItsMinimum) {
  const struct {
    const char* name;
    std::function<QKPlugin*()> make;
    QSizeF minimum;
  } cases[] = {
      {"aux display", [&] { return manager->instantiatePluginType(AuxDisplay::kTypeName); },
       AuxDisplay::kMinimumSize},
      {"layer controls", [&] { return manager->instantiatePluginType(LayerControls::kTypeName); },
       LayerControls::kMinimumSize},
      {"composition", [&] { return make("Glow.qtz", {{"amount"}}); },
       QKGenericQCPlugin::kMinimumSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QKPlugin* plugin = c.make();
    ASSERT_NE(plugin, nullptr);
    QKWindow* window = plugin->window();
    ASSERT_NE(window, nullptr);
    window->show();
    settle();
    QKWindowContentView& content = *window->contentView();
    const QRectF first = window->frame();
    ASSERT_GT(first.width(), c.minimum.width() + 20);
    ASSERT_GT(first.height(), c.minimum.height() + 20);

    dragCorner(content, QPointF(-20, 20));
    settle();
    EXPECT_EQ(window->frame().size(), first.size() - QSizeF(20, 20));
    dragCorner(content, QPointF(-1000, 1000));
    settle();
    EXPECT_EQ(window->frame().size(), c.minimum);
    // The top edge stays where it was.
    EXPECT_DOUBLE_EQ(window->frame().bottom(), first.bottom());
  }
}

}  // namespace
