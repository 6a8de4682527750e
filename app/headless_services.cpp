#include "app/headless_services.h"

#include "app/autostart_login_item.h"
#include "app/trash.h"

namespace kelvo {

void StderrNotifier::notify(const QString& title, const QString& body) {
    QString line = title == QLatin1String("kelvo") ? QStringLiteral("kelvo: ") + body
                                                   : title + QStringLiteral(": ") + body;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out_);
    std::fflush(out_);
}

TrashResult HeadlessFileActions::moveToTrash(const QString& path) {
    return kelvo::moveToTrash(path);
}

DesktopServices makeHeadlessServices() {
    DesktopServices services;
    services.notifier = std::make_unique<StderrNotifier>();
    services.clipboard = std::make_unique<EmptyClipboard>();
    services.hotKey = std::make_unique<NoHotKey>();
    services.loginItem = std::make_unique<AutostartLoginItem>();
    services.files = std::make_unique<HeadlessFileActions>();
    services.relauncher = std::make_unique<ShellRelauncher>();
    services.wake = std::make_unique<NoWakeObserver>();
    return services;
}

}  // namespace kelvo
