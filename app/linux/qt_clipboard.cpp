#include "app/linux/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

namespace kelvo {

QString QtClipboard::textOf(const QMimeData* data) {
    if (data == nullptr) {
        return {};
    }
    // Qt offers a URL list as text too (all of them, one per line); only real plain text counts.
    const QStringList formats = data->formats();
    const bool hasPlainText = std::any_of(formats.begin(), formats.end(), [](const QString& f) {
        return f.startsWith(QLatin1String("text/plain"));
    });
    if (hasPlainText) {
        const QString text = data->text();
        if (!text.isEmpty()) {
            return text;
        }
    }
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isValid() && !url.isEmpty()) {
                return url.toString(QUrl::FullyEncoded);
            }
        }
    }
    return {};
}

QString QtClipboard::text() const {
    if (QGuiApplication::instance() == nullptr) {
        return {};
    }
    return textOf(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

bool QtClipboard::setText(const QString& text) {
    if (QGuiApplication::instance() == nullptr) {
        return false;
    }
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    return true;
}

}  // namespace kelvo
