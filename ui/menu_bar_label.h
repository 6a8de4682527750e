#pragma once

// The tray icon's picture: a static mark while kelvo is idle and a 12-frame animation (the red
// play triangle pulsing) while a job runs. The frame timer runs only while busy.

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVector>

namespace kelvo {

class MenuBarLabel : public QObject {
    Q_OBJECT

  public:
    static constexpr int frameCount = 12;
    static constexpr int tickMs = 200;
    // The triangle's colour in the busy frames: sRGB (255, 77, 77).
    static QColor triangleColor() { return QColor(255, 77, 77); }
    // The triangle's opacity in busy frame i (0 ... 11): 0.675 + 0.325 cos(2 pi i / 12), full at
    // frame 0 and 0.35 at frame 6.
    static double triangleOpacity(int frame);
    // The size of the pictures at `height` pixels: the mark's aspect ratio kept, width rounded.
    static QSize scaledSize(QSize artwork, int height);

    // `labelColor` tints the mark (the desktop's text colour); the artwork comes from the
    // resources ":/tray/kelvo-menubar*.svg" unless another folder is given.
    explicit MenuBarLabel(QColor labelColor, QString artworkFolder = QStringLiteral(":/tray"),
                          QObject* parent = nullptr);

    bool busy() const { return busy_; }
    // Starts or stops the animation; stopping shows the static picture at once.
    void setBusy(bool busy);
    // Draws the mark again in a new colour (the desktop's palette changed).
    void setLabelColor(const QColor& labelColor);
    const QColor& labelColor() const { return labelColor_; }
    // The busy frame on show (0 while idle).
    int frame() const { return frame_; }
    bool ticking() const { return tick_.isActive(); }

    // The picture to show now: busy frame `frame()` while busy, the static picture otherwise.
    QIcon icon() const;
    QIcon staticIcon() const { return staticIcon_; }
    const QVector<QIcon>& busyFrames() const { return frames_; }
    // "kelvo, working" while busy, "kelvo" otherwise.
    QString accessibleLabel() const;

    // One tick of the animation (the timer calls it every 0.2 s): while busy the next frame;
    // when idle back to frame 0.
    void advance();

  signals:
    // The picture or the label changed.
    void iconChanged();

  private:
    QIcon render(double triangleOpacity, bool tinted) const;
    void renderAll();

    QColor labelColor_;
    QString artworkFolder_;
    QIcon staticIcon_;
    QVector<QIcon> frames_;
    bool busy_ = false;
    int frame_ = 0;
    QTimer tick_;
};

}  // namespace kelvo
