#pragma once

// Serves kelvo's line icons to QML, tinted: "image://lucide/<name>?<colour>" draws the bundled
// SVG ":/icons/<name>.svg" (for example "kelvo-refresh-cw") with its strokes in the colour
// ("#6ea8fe" or any other form QColor reads; the text colour of the request when absent).

#include <QQuickImageProvider>
#include <QString>

namespace kelvo {

class LucideIconProvider : public QQuickImageProvider {
  public:
    static constexpr const char* providerId = "lucide";

    explicit LucideIconProvider(QString iconFolder = QStringLiteral(":/icons"));

    // An empty, transparent image of the requested size for an unknown name.
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The SVG text of `name` with every "currentColor" replaced by `color`; empty when there is
    // no such icon.
    QByteArray tintedSvg(const QString& name, const QColor& color) const;

  private:
    QString folder_;
};

}  // namespace kelvo
