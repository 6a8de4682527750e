#pragma once

#include <QDBusConnection>

#include "app/file_actions.h"

namespace kelvo {

// Trash through the freedesktop Trash, open through QDesktopServices, reveal through
// org.freedesktop.FileManager1.ShowItems (asynchronously; when no file manager answers, the
// folder is opened instead). Needs a QGuiApplication.
class DesktopFileActions : public FileActions {
  public:
    explicit DesktopFileActions(QDBusConnection bus = QDBusConnection::sessionBus());

    TrashResult moveToTrash(const QString& path) override;
    bool open(const QString& path) override;
    bool reveal(const QString& path) override;

  private:
    QDBusConnection bus_;
};

}  // namespace kelvo
