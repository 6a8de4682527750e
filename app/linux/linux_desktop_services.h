#pragma once

// The Linux desktop services of the tray app. Needs a QGuiApplication.

#include <functional>

#include "app/desktop_services.h"

namespace kelvo {

// `notificationFallback` shows a notification another way (the tray icon's own message) when
// no notification server answers.
DesktopServices makeLinuxDesktopServices(
    std::function<void(const QString& title, const QString& body)> notificationFallback = {});

}  // namespace kelvo
