// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace tallyvox {

using layout::KeyPicture;

namespace {

const QColor kInk(Qt::black);
const QColor kGrey(112, 112, 112);

// The caption font's family: no extra font file is loaded for the pictures.
QFont PictureFont(int pixelSize)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")});
    f.setPixelSize(pixelSize);
    return f;
}

void Text(QPainter &p, const QRectF &box, const QString &text, int pixelSize, const QColor &colour,
          Qt::Alignment align = Qt::AlignLeft | Qt::AlignBottom)
{
    p.setFont(PictureFont(pixelSize));
    p.setPen(colour);
    p.drawText(box, align, text);
}

// A radical whose bar runs from x0 to the right edge, with an x under it.
void Radical(QPainter &p, qreal x0, qreal width, qreal height)
{
    QPainterPath path;
    path.moveTo(x0, height * 0.62);
    path.lineTo(x0 + 2, height * 0.55);
    path.lineTo(x0 + 4.5, height - 1);
    path.lineTo(x0 + 7.5, 1);
    path.lineTo(width - 0.5, 1);
    p.setPen(QPen(kInk, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    Text(p, QRectF(x0 + 8, 2, width - x0 - 8, height - 2), QStringLiteral("x"), 11, kInk, Qt::AlignCenter);
}

// x with a grey exponent.
void Power(QPainter &p, const QString &base, const QString &exponent)
{
    Text(p, QRectF(0, 0, 11, 15), base, 12, kInk, Qt::AlignRight | Qt::AlignBottom);
    Text(p, QRectF(10.5, 0, 6, 9), exponent, 8, kGrey, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace

QPixmap DrawKeyPicture(KeyPicture picture)
{
    if (picture == KeyPicture::None)
        return {};
    const bool root =
        picture == KeyPicture::SquareRoot || picture == KeyPicture::RootN || picture == KeyPicture::CubeRoot;
    QPixmap pm(root ? QSize(20, 15) : QSize(16, 16));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (picture) {
    case KeyPicture::SquareRoot: Radical(p, 2, 20, 15); break;
    case KeyPicture::RootN:
        Text(p, QRectF(0, 0, 7, 8), QStringLiteral("n"), 8, kGrey, Qt::AlignLeft | Qt::AlignTop);
        Radical(p, 2, 20, 15);
        break;
    case KeyPicture::CubeRoot:
        Text(p, QRectF(0, 0, 7, 8), QStringLiteral("3"), 8, kGrey, Qt::AlignLeft | Qt::AlignTop);
        Radical(p, 2, 20, 15);
        break;
    case KeyPicture::Pi: Text(p, QRectF(0, 0, 16, 16), QStringLiteral("π"), 15, kInk, Qt::AlignCenter); break;
    case KeyPicture::Square: Power(p, QStringLiteral("x"), QStringLiteral("2")); break;
    case KeyPicture::Cube: Power(p, QStringLiteral("x"), QStringLiteral("3")); break;
    case KeyPicture::PowerN: Power(p, QStringLiteral("x"), QStringLiteral("n")); break;
    case KeyPicture::TenPower:
        Text(p, QRectF(0, 2, 12, 14), QStringLiteral("10"), 10, kInk, Qt::AlignRight | Qt::AlignBottom);
        Text(p, QRectF(11, 0, 5, 8), QStringLiteral("n"), 8, kGrey, Qt::AlignLeft | Qt::AlignTop);
        break;
    case KeyPicture::None: break;
    }
    return pm;
}

} // namespace tallyvox
