#pragma once

// Desktop notifications: every notification kelvo posts has the title "kelvo" and one body line.

#include <QString>

namespace kelvo {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // Posts one notification now. Never blocks and never throws; a failure is silent or handled
    // by the implementation's own fallback.
    virtual void notify(const QString& title, const QString& body) = 0;
};

}  // namespace kelvo
