#include "app/jukebox_screen.h"

namespace app {

JukeboxScreen::JukeboxScreen(JukeboxPlayer* player, const BitmapFont* font, const KeyTracker* keys)
    : model_(player), view_(font), keys_(keys), font_(font) {}

void JukeboxScreen::SetVisualiser(VisualiserSource* source, VisualiserView::ColourMap colours,
                                  std::function<platform::PixelSurface*()> surface) {
  source_ = source;
  visualiser_ = std::make_unique<VisualiserView>(font_, colours);
  overlay_ = std::make_unique<OverlayView>(font_, std::move(colours));
  surface_ = std::move(surface);
}

void JukeboxScreen::ShowVisualiser(bool shown) {
  if (!source_ || shown == visualiser_shown_) return;
  visualiser_shown_ = shown;
  // The taps and meters cost the sound thread a little: kept only while they are shown.
  source_->Watch(shown ? kScopeFrames : 0);
  if (!shown) {
    mutes_.Clear();
    mutes_.ApplyTo(source_);
  }
}

WindowRequests JukeboxScreen::Step() {
  model_.BeginFrame();
  platform::PixelSurface* surface = surface_ ? surface_() : nullptr;
  if (surface && visualiser_shown_) {
    visualiser_->Draw(surface, model_, source_, mutes_);
  } else {
    view_.Draw(model_);
  }
  if (surface && overlay_) overlay_->Draw(surface, model_, help_shown_);
  const WindowRequests requests = ApplyKeys(*keys_, &model_);
  if (visualiser_shown_) ApplyTrackKeys(*keys_, &mutes_, source_);
  if (requests.toggle_view) ShowVisualiser(!visualiser_shown_);
  if (requests.toggle_help && overlay_) help_shown_ = !help_shown_;
  // The elapsed time the advance compares is the one drawn, before this frame's keys acted.
  model_.AutoAdvance();
  return requests;
}

}  // namespace app
