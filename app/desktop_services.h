#pragma once

// Everything AppModel needs from the desktop, as small replaceable services. The tray app uses
// the Linux set (app/linux/linux_desktop_services.h), kelvo-cli the headless set
// (app/headless_services.h), tests their own stand-ins.

#include <memory>

#include "app/clipboard.h"
#include "app/file_actions.h"
#include "app/global_hot_key.h"
#include "app/login_item.h"
#include "app/notifier.h"
#include "app/relauncher.h"
#include "app/wake_observer.h"

namespace kelvo {

struct DesktopServices {
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<GlobalHotKey> hotKey;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<FileActions> files;
    std::unique_ptr<Relauncher> relauncher;
    std::unique_ptr<WakeObserver> wake;
};

}  // namespace kelvo
