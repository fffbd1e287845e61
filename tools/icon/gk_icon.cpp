/*
 * gk_icon.cpp -- draws the program icon: a chicken in a gun sight over an
 * evening sky.  One drawing routine paints on a 256-unit square; it is
 * run once into an SVG file and once per size into a PNG image.
 *   gkicon DIR SIZE...   writes DIR/scalable/apps/gackatron.svg and
 *                        DIR/SIZExSIZE/apps/gackatron.png for each size
 */
#include <stdio.h>
#include <stdlib.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

static void Icon_Draw(QPainter *p)
{
    p->setRenderHint(QPainter::Antialiasing);
    /* sky: a rounded square, deep blue at the top, orange at the horizon */
    QLinearGradient sky(0, 8, 0, 248);
    sky.setColorAt(0, QColor(18, 32, 96));
    sky.setColorAt(0.65, QColor(64, 110, 200));
    sky.setColorAt(1, QColor(250, 160, 60));
    p->setPen(QPen(QColor(10, 16, 48), 6));
    p->setBrush(sky);
    p->drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);

    /* the chicken: body, tail, wing, head, comb, beak, eye, legs */
    QPen outline(QColor(60, 40, 20), 5);
    p->setPen(outline);
    p->setBrush(QColor(250, 248, 236));
    QPainterPath tail;
    tail.moveTo(70, 140);
    tail.lineTo(40, 92);
    tail.lineTo(62, 100);
    tail.lineTo(58, 76);
    tail.lineTo(88, 118);
    tail.closeSubpath();
    p->drawPath(tail);
    p->drawEllipse(QRectF(60, 104, 120, 84));
    p->drawEllipse(QRectF(140, 64, 56, 56));
    p->setBrush(QColor(226, 220, 200));
    p->drawEllipse(QRectF(84, 124, 60, 36));
    p->setBrush(QColor(220, 30, 30));
    QPainterPath comb;
    comb.moveTo(150, 70);
    comb.cubicTo(148, 46, 166, 46, 166, 62);
    comb.cubicTo(170, 44, 190, 48, 184, 72);
    comb.closeSubpath();
    p->drawPath(comb);
    p->setBrush(QColor(250, 190, 30));
    QPolygonF beak;
    beak << QPointF(194, 86) << QPointF(222, 96) << QPointF(192, 104);
    p->drawPolygon(beak);
    p->setPen(Qt::NoPen);
    p->setBrush(QColor(20, 20, 20));
    p->drawEllipse(QRectF(172, 80, 10, 10));
    p->setPen(QPen(QColor(250, 190, 30), 7, Qt::SolidLine, Qt::RoundCap));
    p->drawLine(QPointF(106, 186), QPointF(100, 218));
    p->drawLine(QPointF(136, 186), QPointF(142, 218));

    /* the sight: ring and cross with a gap in the middle */
    p->setBrush(Qt::NoBrush);
    p->setPen(QPen(QColor(230, 20, 20), 9, Qt::SolidLine, Qt::RoundCap));
    p->drawEllipse(QPointF(128, 128), 82, 82);
    p->drawLine(QPointF(128, 30), QPointF(128, 100));
    p->drawLine(QPointF(128, 156), QPointF(128, 226));
    p->drawLine(QPointF(30, 128), QPointF(100, 128));
    p->drawLine(QPointF(156, 128), QPointF(226, 128));
}

static bool Icon_WriteSvg(const QString &path)
{
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle("Gackatron");
    QPainter p;
    if (!p.begin(&svg))
        return false;
    Icon_Draw(&p);
    return p.end();
}

static bool Icon_WritePng(const QString &path, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / 256.0, size / 256.0);
    Icon_Draw(&p);
    p.end();
    return img.save(path, "PNG");
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: gkicon DIR SIZE...\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir + "/scalable/apps") || !Icon_WriteSvg(dir + "/scalable/apps/gackatron.svg")) {
        fprintf(stderr, "gkicon: cannot write the SVG icon\n");
        return 1;
    }
    for (int i = 2; i < argc; i++) {
        int s = atoi(argv[i]);
        QString sub = dir + QString("/%1x%1/apps").arg(s);
        if (s < 8 || s > 1024 || !QDir().mkpath(sub) || !Icon_WritePng(sub + "/gackatron.png", s)) {
            fprintf(stderr, "gkicon: cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
