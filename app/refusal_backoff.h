#pragma once

// How long kelvo's automatic checks wait after YouTube refused this computer (HTTP 429, the bot
// check): 15 minutes after the first refusal, doubling with each further one in a row, at most
// 6 hours. A run without a refusal ends the wait. The user's own "Sync now" and kelvo-cli sync
// ignore it.
//
// The state lives in the settings file (group "backoff"), not in the catalog: it is one fact about
// this computer and YouTube rather than about a playlist or a video, the tray app and kelvo-cli
// already share that file and re-read it at every use, the catalog's schema stays as it is, and a
// factory reset clears it together with the settings. It is not a setting of `kelvo-cli settings`.

#include <QDateTime>
#include <QSettings>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>

namespace kelvo {

class RefusalBackoff {
  public:
    // `filePath` defaults to paths::settingsFile().
    explicit RefusalBackoff(QString filePath = {});
    ~RefusalBackoff();

    // The wait after `refusals` refusals in a row (1 → 15 min, 2 → 30 min, … at most 6 h).
    static std::chrono::minutes delayAfter(int refusals);
    // "15 min", "1 h", "6 h".
    static QString delayText(std::chrono::minutes delay);

    // Refusals in a row so far; 0 when there is no back-off.
    int refusals() const;
    // Until when the automatic checks wait; nothing when they do not.
    std::optional<QDateTime> until() const;
    // The automatic checks wait at `now`.
    bool holds(const QDateTime& now) const;

    // One more refusal at `now`: stores it and returns the new wait.
    std::chrono::minutes recordRefusal(const QDateTime& now);
    // A run without a refusal: no more waiting.
    void clear();

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace kelvo
