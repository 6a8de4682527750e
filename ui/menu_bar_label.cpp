#include "ui/menu_bar_label.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <cmath>
#include <numbers>

namespace kelvo {

namespace {

// Tray hosts ask for different sizes; each picture carries these heights.
constexpr int pictureHeights[] = {16, 22, 24, 32, 48, 64};

// Draws the SVG at `size` with every painted pixel in `color`.
QImage tinted(QSvgRenderer& svg, QSize size, const QColor& color) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!svg.isValid()) {
        return image;
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

}  // namespace

double MenuBarLabel::triangleOpacity(int frame) {
    return 0.675 + 0.325 * std::cos(2.0 * std::numbers::pi * frame / frameCount);
}

QSize MenuBarLabel::scaledSize(QSize artwork, int height) {
    if (artwork.isEmpty()) {
        return {height, height};
    }
    const double width = double(height) * artwork.width() / artwork.height();
    return {static_cast<int>(std::lround(width)), height};
}

MenuBarLabel::MenuBarLabel(QColor labelColor, QString artworkFolder, QObject* parent)
    : QObject(parent), labelColor_(labelColor), artworkFolder_(std::move(artworkFolder)) {
    renderAll();
    tick_.setInterval(tickMs);
    connect(&tick_, &QTimer::timeout, this, &MenuBarLabel::advance);
}

void MenuBarLabel::renderAll() {
    staticIcon_ = render(1.0, false);
    frames_.clear();
    frames_.reserve(frameCount);
    for (int i = 0; i < frameCount; ++i) {
        frames_.append(render(triangleOpacity(i), true));
    }
}

void MenuBarLabel::setLabelColor(const QColor& labelColor) {
    if (labelColor == labelColor_) {
        return;
    }
    labelColor_ = labelColor;
    renderAll();
    emit iconChanged();
}

QIcon MenuBarLabel::render(double opacity, bool tinted_) const {
    QSvgRenderer whole(artworkFolder_ + QStringLiteral("/kelvo-menubar.svg"));
    QSvgRenderer text(artworkFolder_ + QStringLiteral("/kelvo-menubar-text.svg"));
    QSvgRenderer triangle(artworkFolder_ + QStringLiteral("/kelvo-menubar-tri.svg"));
    const QSize artwork = whole.isValid() ? whole.defaultSize() : text.defaultSize();
    QIcon icon;
    for (int height : pictureHeights) {
        const QSize size = scaledSize(artwork, height);
        QImage picture;
        if (!tinted_) {
            // The static mark is drawn in the desktop's text colour, like a template image.
            picture = tinted(whole, size, labelColor_);
        } else {
            picture = tinted(text, size, labelColor_);
            QPainter painter(&picture);
            painter.setOpacity(opacity);
            painter.drawImage(0, 0, tinted(triangle, size, triangleColor()));
        }
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

void MenuBarLabel::setBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy_) {
        tick_.start();
    } else {
        tick_.stop();
        frame_ = 0;
    }
    emit iconChanged();
}

void MenuBarLabel::advance() {
    if (busy_) {
        frame_ = (frame_ + 1) % frameCount;
        emit iconChanged();
    } else if (frame_ != 0) {
        frame_ = 0;
        emit iconChanged();
    }
}

QIcon MenuBarLabel::icon() const {
    return busy_ ? frames_.value(frame_) : staticIcon_;
}

QString MenuBarLabel::accessibleLabel() const {
    return busy_ ? QStringLiteral("kelvo, working") : QStringLiteral("kelvo");
}

}  // namespace kelvo
