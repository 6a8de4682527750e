#pragma once

#include <QString>

#include "app/login_item.h"

namespace kelvo {

// The login item as an XDG autostart entry: $XDG_CONFIG_HOME/autostart/kelvo.desktop. It counts
// as enabled when the file exists and is not marked Hidden=true.
class AutostartLoginItem : public LoginItem {
  public:
    // `executable` is the program the entry starts (default: this process's own executable);
    // `entryPath` the file to write (default: the user's autostart folder).
    explicit AutostartLoginItem(QString executable = {}, QString entryPath = {});

    bool isEnabled() const override;
    void setEnabled(bool enabled) override;

    const QString& entryPath() const { return entryPath_; }
    // The Exec value for a program path, quoted as desktop entries require.
    static QString execLine(const QString& executable);

  private:
    QString executable_;
    QString entryPath_;
};

}  // namespace kelvo
