// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyPictures.h"

#include "shell/ShellFonts.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <vector>

namespace tallyvox {

using layout::KeyPicture;

namespace {

// The caption font's family: no extra font file is loaded for the pictures.
QFont PictureFont(int pixelSize)
{
    return ShellFont(QStringLiteral("Tahoma"), pixelSize);
}

void Text(QPainter &p, const QRectF &box, const QString &text, int pixelSize, const QColor &colour,
          Qt::Alignment align = Qt::AlignLeft | Qt::AlignBottom)
{
    p.setFont(PictureFont(pixelSize));
    p.setPen(colour);
    p.drawText(box, align, text);
}

// A radical whose bar runs from x0 to the right edge, with an x under it.
void Radical(QPainter &p, const QColor &ink, qreal x0, qreal width, qreal height)
{
    QPainterPath path;
    path.moveTo(x0, height * 0.62);
    path.lineTo(x0 + 2, height * 0.55);
    path.lineTo(x0 + 4.5, height - 1);
    path.lineTo(x0 + 7.5, 1);
    path.lineTo(width - 0.5, 1);
    p.setPen(QPen(ink, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    Text(p, QRectF(x0 + 8, 2, width - x0 - 8, height - 2), QStringLiteral("x"), 11, ink, Qt::AlignCenter);
}

// x with a grey exponent.
void Power(QPainter &p, const QColor &ink, const QColor &grey, const QString &base, const QString &exponent)
{
    Text(p, QRectF(0, 0, 11, 15), base, 12, ink, Qt::AlignRight | Qt::AlignBottom);
    Text(p, QRectF(10.5, 0, 6, 9), exponent, 8, grey, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace

QSize KeyPictureSize(KeyPicture picture)
{
    const bool root =
        picture == KeyPicture::SquareRoot || picture == KeyPicture::RootN || picture == KeyPicture::CubeRoot;
    return root ? QSize(20, 15) : QSize(16, 16);
}

QPixmap DrawKeyPicture(KeyPicture picture, const QColor &ink, const QColor &grey, qreal devicePixelRatio)
{
    if (picture == KeyPicture::None)
        return {};
    QPixmap pm(KeyPictureSize(picture) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (picture) {
    case KeyPicture::SquareRoot: Radical(p, ink, 2, 20, 15); break;
    case KeyPicture::RootN:
        Text(p, QRectF(0, 0, 7, 8), QStringLiteral("n"), 8, grey, Qt::AlignLeft | Qt::AlignTop);
        Radical(p, ink, 2, 20, 15);
        break;
    case KeyPicture::CubeRoot:
        Text(p, QRectF(0, 0, 7, 8), QStringLiteral("3"), 8, grey, Qt::AlignLeft | Qt::AlignTop);
        Radical(p, ink, 2, 20, 15);
        break;
    case KeyPicture::Pi: Text(p, QRectF(0, 0, 16, 16), QStringLiteral("π"), 15, ink, Qt::AlignCenter); break;
    case KeyPicture::Square: Power(p, ink, grey, QStringLiteral("x"), QStringLiteral("2")); break;
    case KeyPicture::Cube: Power(p, ink, grey, QStringLiteral("x"), QStringLiteral("3")); break;
    case KeyPicture::PowerN: Power(p, ink, grey, QStringLiteral("x"), QStringLiteral("n")); break;
    case KeyPicture::TenPower:
        Text(p, QRectF(0, 2, 12, 14), QStringLiteral("10"), 10, ink, Qt::AlignRight | Qt::AlignBottom);
        Text(p, QRectF(11, 0, 5, 8), QStringLiteral("n"), 8, grey, Qt::AlignLeft | Qt::AlignTop);
        break;
    case KeyPicture::None: break;
    }
    return pm;
}

namespace {

// Draws a picture when a key is painted, at the pixel ratio of the screen it
// is painted on, and keeps that drawing: building 32 pixmaps ahead (four
// ratios, eight pictures) cost the window a tenth of its start-up.
class KeyPictureEngine final : public QIconEngine {
public:
    KeyPictureEngine(KeyPicture picture, const QColor &ink, const QColor &grey)
        : picture_(picture), ink_(ink), grey_(grey)
    {
    }

    QIconEngine *clone() const override { return new KeyPictureEngine(picture_, ink_, grey_); }
    QSize actualSize(const QSize &, QIcon::Mode, QIcon::State) override { return KeyPictureSize(picture_); }

    QPixmap scaledPixmap(const QSize &, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const bool disabled = mode == QIcon::Disabled;
        for (const Drawn &d : drawn_)
            if (d.scale == scale && d.disabled == disabled)
                return d.pixmap;
        QColor ink = ink_, grey = grey_;
        if (disabled)
            ink = grey = QColor(ink_.red(), ink_.green(), ink_.blue(), 110);
        drawn_.push_back({scale, disabled, DrawKeyPicture(picture_, ink, grey, scale)});
        return drawn_.back().pixmap;
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pm = scaledPixmap(rect.size(), mode, state, scale);
        const QSize logical = KeyPictureSize(picture_);
        painter->drawPixmap(QRect(rect.center() - QPoint(logical.width() / 2, logical.height() / 2), logical), pm);
    }

private:
    struct Drawn {
        qreal scale;
        bool disabled;
        QPixmap pixmap;
    };
    KeyPicture picture_;
    QColor ink_, grey_;
    std::vector<Drawn> drawn_;
};

} // namespace

QIcon KeyPictureIcon(KeyPicture picture, const QPalette &palette)
{
    const QColor ink = palette.color(QPalette::ButtonText);
    // The index and exponent halfway between the ink and the key's face.
    const QColor face = palette.color(QPalette::Button);
    const QColor grey((ink.red() + face.red()) / 2, (ink.green() + face.green()) / 2, (ink.blue() + face.blue()) / 2);
    return QIcon(new KeyPictureEngine(picture, ink, grey));
}

QString KeyPictureText(KeyPicture picture)
{
    switch (picture) {
    case KeyPicture::SquareRoot: return QStringLiteral("√x");
    case KeyPicture::Pi: return QStringLiteral("π");
    case KeyPicture::Square: return QStringLiteral("x²");
    case KeyPicture::Cube: return QStringLiteral("x³");
    case KeyPicture::PowerN: return QStringLiteral("xⁿ");
    case KeyPicture::RootN: return QStringLiteral("ⁿ√x");
    case KeyPicture::CubeRoot: return QStringLiteral("∛x");
    case KeyPicture::TenPower: return QStringLiteral("10ⁿ");
    case KeyPicture::None: break;
    }
    return {};
}

} // namespace tallyvox
