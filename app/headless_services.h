#pragma once

// The desktop services of kelvo-cli and of any run without a desktop: notifications go to
// stderr, the clipboard is empty, there is no shortcut and no wake signal; files are still
// trashed (freedesktop Trash) and the autostart entry still works.

#include <QString>
#include <cstdio>

#include "app/desktop_services.h"

namespace kelvo {

// Writes "kelvo: <body>" (or "<title>: <body>" for another title) as one line.
class StderrNotifier : public Notifier {
  public:
    explicit StderrNotifier(std::FILE* out = stderr) : out_(out) {}
    void notify(const QString& title, const QString& body) override;

  private:
    std::FILE* out_;
};

class EmptyClipboard : public Clipboard {
  public:
    QString text() const override { return {}; }
};

class NoHotKey : public GlobalHotKey {
  public:
    bool registerShortcut(Handler, StateHandler) override { return false; }
    bool isActive() const override { return false; }
    Status status() const override { return Status::Unsupported; }
};

class NoWakeObserver : public WakeObserver {
  public:
    bool start(Handler) override { return false; }
};

// Trash works without a desktop; open and reveal have nothing to show on and answer false.
class HeadlessFileActions : public FileActions {
  public:
    TrashResult moveToTrash(const QString& path) override;
    bool open(const QString&) override { return false; }
    bool reveal(const QString&) override { return false; }
};

DesktopServices makeHeadlessServices();

}  // namespace kelvo
