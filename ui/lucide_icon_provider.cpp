#include "ui/lucide_icon_provider.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace kelvo {

LucideIconProvider::LucideIconProvider(QString iconFolder)
    : QQuickImageProvider(QQuickImageProvider::Image), folder_(std::move(iconFolder)) {}

QByteArray LucideIconProvider::tintedSvg(const QString& name, const QColor& color) const {
    // Only plain names: a request must not read files outside the icon folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
        return {};
    }
    QFile file(folder_ + QLatin1Char('/') + name + QStringLiteral(".svg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    return svg;
}

QImage LucideIconProvider::requestImage(const QString& id, QSize* size,
                                        const QSize& requestedSize) {
    const qsizetype mark = id.indexOf(QLatin1Char('?'));
    const QString name = mark < 0 ? id : id.left(mark);
    QColor color = mark < 0 ? QColor(Qt::black) : QColor(id.mid(mark + 1));
    if (!color.isValid()) {
        color = Qt::black;
    }
    const QSize target =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(24, 24);
    QImage image(target, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer svg(tintedSvg(name, color));
    if (svg.isValid()) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(target)));
        painter.end();
        if (color.alpha() < 255) {
            // The SVG's colour has no alpha: apply it to the whole picture.
            QImage faded(target, QImage::Format_ARGB32_Premultiplied);
            faded.fill(Qt::transparent);
            QPainter fade(&faded);
            fade.setOpacity(color.alphaF());
            fade.drawImage(0, 0, image);
            fade.end();
            image = faded;
        }
    }
    if (size != nullptr) {
        *size = target;
    }
    return image;
}

}  // namespace kelvo
