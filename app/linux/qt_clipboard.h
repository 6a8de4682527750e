#pragma once

#include "app/clipboard.h"

class QMimeData;

namespace kelvo {

// The desktop clipboard through QClipboard. Needs a QGuiApplication.
class QtClipboard : public Clipboard {
  public:
    QString text() const override;
    bool setText(const QString& text) override;
    // The rule applied to clipboard data: plain text when not empty, else the first URL.
    static QString textOf(const QMimeData* data);
};

}  // namespace kelvo
