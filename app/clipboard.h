#pragma once

#include <QString>

namespace kelvo {

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text when present and not empty; else the first URL it holds, as a
    // string; else "".
    virtual QString text() const = 0;
    // Puts plain text on the clipboard, whole; false when there is no clipboard to write to.
    virtual bool setText(const QString& text) {
        (void)text;
        return false;
    }
};

}  // namespace kelvo
