// Draws the wizard's images into images/: the program icon (501), the
// watermark of the exterior pages (311), the header image of the step
// pages (312) and the eight frames of the please-wait icon (502 to 509). The PNGs are committed; run this only to
// change them:
//   cmake --build build --target draw_images
// (or: g++ -std=c++20 -fPIC draw_images.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw
//  && QT_QPA_PLATFORM=offscreen /tmp/draw images)
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

// A database drum: body, rim and a few bands, lit from the upper left.
void drum(QPainter& p, QRectF box, QColor base) {
    const qreal rim = box.width() * 0.16;
    QRectF top(box.left(), box.top(), box.width(), 2 * rim);
    QRectF bottom(box.left(), box.bottom() - 2 * rim, box.width(), 2 * rim);

    QPainterPath body;
    body.moveTo(box.left(), box.top() + rim);
    body.lineTo(box.left(), box.bottom() - rim);
    body.arcTo(bottom, 180, 180);
    body.lineTo(box.right(), box.top() + rim);
    body.arcTo(top, 0, -180);
    body.closeSubpath();

    QLinearGradient side(box.left(), 0, box.right(), 0);
    side.setColorAt(0.0, base.darker(125));
    side.setColorAt(0.35, base.lighter(135));
    side.setColorAt(1.0, base.darker(160));
    p.setPen(QPen(base.darker(200), box.width() / 48.0));
    p.setBrush(side);
    p.drawPath(body);

    // Bands between the platters.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(base.darker(170), box.width() / 40.0));
    for (int i = 1; i <= 2; ++i) {
        const qreal y = box.top() + rim + (box.height() - 2 * rim) * i / 3.0;
        p.drawArc(QRectF(box.left(), y - rim, box.width(), 2 * rim), 180 * 16, 180 * 16);
    }

    QRadialGradient lid(top.center() - QPointF(box.width() * 0.15, rim * 0.3), box.width() * 0.6);
    lid.setColorAt(0.0, base.lighter(175));
    lid.setColorAt(1.0, base.lighter(110));
    p.setPen(QPen(base.darker(200), box.width() / 48.0));
    p.setBrush(lid);
    p.drawEllipse(top);
}

// A bold arrow from `from` to `to`.
void arrow(QPainter& p, QPointF from, QPointF to, qreal width, QColor color) {
    const QLineF line(from, to);
    const qreal head = width * 2.2;
    QLineF shaft(from, line.pointAt(1.0 - head / line.length()));
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(shaft);
    QLineF normal = line.normalVector();
    normal.setLength(head * 0.75);
    const QPointF base = shaft.p2();
    const QPointF offset = normal.p2() - normal.p1();
    QPolygonF tip{to, base + offset, base - offset};
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(tip);
}

const QColor source_blue(70, 120, 190);
const QColor dest_green(60, 150, 120);
const QColor arrow_gold(245, 180, 60);

QImage watermark() {
    QImage img(164, 314, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, img.height());
    sky.setColorAt(0.0, QColor(22, 52, 102));
    sky.setColorAt(1.0, QColor(24, 112, 120));
    p.fillRect(img.rect(), sky);

    // Faint table grid in the background.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int y = 8; y < img.height(); y += 14) p.drawLine(0, y, img.width(), y);
    for (int x = 12; x < img.width(); x += 38) p.drawLine(x, 0, x, img.height());

    // Soft light behind the drums.
    QRadialGradient glow(QPointF(82, 150), 110);
    glow.setColorAt(0.0, QColor(255, 255, 255, 60));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);

    drum(p, QRectF(40, 46, 84, 84), source_blue);
    arrow(p, QPointF(82, 140), QPointF(82, 184), 9, arrow_gold);
    drum(p, QRectF(40, 194, 84, 84), dest_green);
    return img;
}

QImage header() {
    QImage img(98, 98, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drum(p, QRectF(4, 8, 38, 52), source_blue);
    drum(p, QRectF(56, 38, 38, 52), dest_green);
    arrow(p, QPointF(34, 72), QPointF(56, 60), 6, arrow_gold.darker(115));
    return img;
}

QImage icon() {
    QImage img(256, 256, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0.0, QColor(30, 70, 130));
    tile.setColorAt(1.0, QColor(26, 120, 126));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    drum(p, QRectF(30, 34, 96, 124), source_blue.lighter(115));
    drum(p, QRectF(130, 98, 96, 124), dest_green.lighter(115));
    arrow(p, QPointF(98, 186), QPointF(134, 166), 14, arrow_gold);
    return img;
}

// Frame `n` of the please-wait icon: a database drum inside a ring of eight
// dots, the bright dot one step further round (clockwise) in each frame,
// with a fading trail.
QImage wait_frame(int n) {
    QImage img(64, 64, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(32, 32);
    for (int i = 0; i < 8; ++i) {
        const qreal angle = (i * 45.0 - 90.0) * 3.14159265358979 / 180.0;
        const QPointF at(centre.x() + 25 * std::cos(angle), centre.y() + 25 * std::sin(angle));
        const int behind = (n - i + 8) % 8;  // 0: the bright dot
        QColor color = behind < 4 ? arrow_gold : QColor(150, 170, 200);
        if (behind > 0 && behind < 4) color.setAlpha(255 - behind * 55);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        const qreal r = behind == 0 ? 5.5 : 4.5;
        p.drawEllipse(at, r, r);
    }
    drum(p, QRectF(20, 17, 24, 30), source_blue);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("images");
    bool ok = watermark().save(dir + "/311.png") && header().save(dir + "/312.png") && icon().save(dir + "/501.png");
    for (int n = 0; n < 8 && ok; ++n) ok = wait_frame(n).save(dir + "/" + QString::number(502 + n) + ".png");
    if (!ok) std::fprintf(stderr, "cannot write the images into %s\n", qPrintable(dir));
    return ok ? 0 : 1;
}
