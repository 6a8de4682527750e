#pragma once

#include <functional>

namespace kelvo {

// Tells the model that the computer woke from sleep, so it checks for due playlists.
class WakeObserver {
  public:
    using Handler = std::function<void()>;
    virtual ~WakeObserver() = default;
    // Starts observing; `onWake` runs on the main thread once per wake-up, even when the
    // system announces the wake-up twice. Returns false when wake-ups cannot be observed
    // (no system bus); kelvo then relies on its timer alone.
    virtual bool start(Handler onWake) = 0;
};

}  // namespace kelvo
