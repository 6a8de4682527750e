#include "app/refusal_backoff.h"

#include <algorithm>

#include "app/paths.h"

namespace kelvo {

namespace {

const QString refusalsKey = QStringLiteral("backoff/refusals");
const QString untilKey = QStringLiteral("backoff/until");

constexpr std::chrono::minutes firstDelay{15};
constexpr std::chrono::minutes longestDelay{6 * 60};

}  // namespace

RefusalBackoff::RefusalBackoff(QString filePath)
    : settings_(std::make_unique<QSettings>(
          filePath.isEmpty() ? paths::settingsFile() : std::move(filePath), QSettings::IniFormat)) {
}

RefusalBackoff::~RefusalBackoff() = default;

std::chrono::minutes RefusalBackoff::delayAfter(int refusals) {
    std::chrono::minutes delay = firstDelay;
    for (int n = 1; n < refusals && delay < longestDelay; ++n) {
        delay *= 2;
    }
    return std::min(delay, longestDelay);
}

QString RefusalBackoff::delayText(std::chrono::minutes delay) {
    const auto minutes = delay.count();
    if (minutes < 60 || minutes % 60 != 0) {
        return QString::number(minutes) + QStringLiteral(" min");
    }
    return QString::number(minutes / 60) + QStringLiteral(" h");
}

int RefusalBackoff::refusals() const {
    settings_->sync();  // the other front end may have changed it
    return std::max(0, settings_->value(refusalsKey, 0).toInt());
}

std::optional<QDateTime> RefusalBackoff::until() const {
    settings_->sync();
    const QDateTime until =
        QDateTime::fromString(settings_->value(untilKey).toString(), Qt::ISODateWithMs);
    if (!until.isValid()) {
        return std::nullopt;
    }
    return until;
}

bool RefusalBackoff::holds(const QDateTime& now) const {
    const std::optional<QDateTime> end = until();
    return end && now < *end;
}

std::chrono::minutes RefusalBackoff::recordRefusal(const QDateTime& now) {
    const int count = refusals() + 1;
    const std::chrono::minutes delay = delayAfter(count);
    settings_->setValue(refusalsKey, count);
    settings_->setValue(untilKey,
                        now.toUTC().addSecs(delay.count() * 60).toString(Qt::ISODateWithMs));
    settings_->sync();
    return delay;
}

void RefusalBackoff::clear() {
    settings_->remove(QStringLiteral("backoff"));
    settings_->sync();
}

}  // namespace kelvo
