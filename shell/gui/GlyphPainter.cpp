#include "shell/gui/GlyphPainter.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace {

std::string Lower(const std::string& s)
{
    std::string out = s;
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

QPainterPath Triangle(QPointF a, QPointF b, QPointF c)
{
    QPainterPath p;
    p.addPolygon(QPolygonF({a, b, c, a}));
    p.closeSubpath();
    return p;
}

QPainterPath Stroke(const QPainterPath& line, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line);
}

QPainterPath Magnifier()
{
    QPainterPath ring;
    ring.addEllipse(QPointF(6.5, 6.5), 4.0, 4.0);
    QPainterPath handle;
    handle.moveTo(9.6, 9.6);
    handle.lineTo(14.0, 14.0);
    return Stroke(ring, 1.7).united(Stroke(handle, 2.6));
}

// A path through the points, one line after another.
QPainterPath Line(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.moveTo(*points.begin());
    for (auto p = points.begin() + 1; p != points.end(); ++p) {
        path.lineTo(*p);
    }
    return path;
}

// Two strokes of the same width across each other.
QPainterPath Cross(QLineF first, QLineF second, qreal width)
{
    QPainterPath path = Line({first.p1(), first.p2()});
    path.addPath(Line({second.p1(), second.p2()}));
    return Stroke(path, width);
}

QPainterPath Verify()
{
    QPainterPath arc;
    arc.arcMoveTo(QRectF(3, 3, 10, 10), 60);
    arc.arcTo(QRectF(3, 3, 10, 10), 60, 270);
    return Stroke(arc, 1.9).united(Triangle({10.5, 1.5}, {14.5, 5}, {9.5, 6.5}));
}

QPainterPath Printer()
{
    QPainterPath printer;
    printer.addRect(QRectF(5, 2, 6, 4));
    printer.addRoundedRect(QRectF(2, 6, 12, 6), 1.5, 1.5);
    QPainterPath sheet;
    sheet.addRect(QRectF(5, 10, 6, 4.5));
    return printer.united(sheet);
}

QPainterPath Form()
{
    QPainterPath frame;
    frame.addRect(QRectF(1.5, 2.5, 13, 11));
    QPainterPath window = Stroke(frame, 1.2);
    window.addRect(QRectF(1.5, 2.5, 13, 3));
    QPainterPath rows = Line({{4, 8.5}, {12, 8.5}});
    rows.addPath(Line({{4, 11}, {10, 11}}));
    return window.united(Stroke(rows, 1.0));
}

// A glyph on a 16 by 16 grid, with the colour of its normal image.
struct Glyph {
    const char* name;
    QRgb color;
    QPainterPath (*path)();
};

const QRgb kArrow = qRgb(0x1c, 0x3c, 0x8c);
const QRgb kGreen = qRgb(0x1e, 0x8c, 0x2a);
const QRgb kRed = qRgb(0xc0, 0x20, 0x20);

const Glyph kGlyphs[] = {
    {"direita", kArrow,
     [] {
         return Triangle({5.5, 2.5}, {11.5, 8}, {5.5, 13.5});
     }},
    {"direita_todos", kArrow,
     [] {
         return Triangle({2, 2.5}, {8, 8}, {2, 13.5}).united(Triangle({8, 2.5}, {14, 8}, {8, 13.5}));
     }},
    {"esquerda", kArrow,
     [] {
         return Triangle({10.5, 2.5}, {4.5, 8}, {10.5, 13.5});
     }},
    {"esquerda_todos", kArrow,
     [] {
         return Triangle({14, 2.5}, {8, 8}, {14, 13.5}).united(Triangle({8, 2.5}, {2, 8}, {8, 13.5}));
     }},
    {"pesquisar", qRgb(0x30, 0x30, 0x50), Magnifier},
    {"procurar", qRgb(0x30, 0x30, 0x50), Magnifier},
    {"confirmar", kGreen,
     [] {
         return Stroke(Line({{3, 8.5}, {6.5, 12}, {13, 4.5}}), 2.4);
     }},
    {"cancelar", kRed,
     [] {
         return Cross({4, 4, 12, 12}, {12, 4, 4, 12}, 2.4);
     }},
    {"incluir", kGreen,
     [] {
         return Cross({8, 3, 8, 13}, {3, 8, 13, 8}, 2.6);
     }},
    {"alterar", qRgb(0xa0, 0x60, 0x10),
     [] {
         QPainterPath pencil = Line({{3, 13}, {4, 10}, {11, 3}, {13, 5}, {6, 12}});
         pencil.closeSubpath();
         return pencil;
     }},
    {"excluir", kRed,
     [] {
         return Stroke(Line({{3, 8}, {13, 8}}), 2.8);
     }},
    {"verificar", qRgb(0x1c, 0x5c, 0xb0), Verify},
    {"imprimir", qRgb(0x40, 0x40, 0x40), Printer},
    {"formulario", kArrow, Form},
};

bool Shape(const std::string& name, QPainterPath& path, QColor& color)
{
    for (const Glyph& glyph : kGlyphs) {
        if (name == glyph.name) {
            path = glyph.path();
            color = QColor(glyph.color);
            return true;
        }
    }
    return false;
}

} // namespace

bool GlyphPainter::Known(const std::string& name)
{
    QPainterPath path;
    QColor color;
    return Shape(Lower(name), path, color);
}

QPixmap GlyphPainter::Draw(const std::string& name, QSize size, bool disabled)
{
    QPainterPath path;
    QColor color;
    if (!Shape(Lower(name), path, color) || size.isEmpty()) {
        return QPixmap();
    }
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    qreal side = std::min(size.width(), size.height());
    painter.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
    painter.scale(side / 16.0, side / 16.0);
    painter.setPen(Qt::NoPen);
    if (disabled) {
        // Greyed with a light emboss, one pixel down and right.
        painter.setBrush(QColor(0xff, 0xff, 0xff));
        painter.drawPath(path.translated(16.0 / side, 16.0 / side));
        painter.setBrush(QColor(0x80, 0x80, 0x80));
        painter.drawPath(path);
    } else {
        painter.setBrush(color);
        painter.drawPath(path);
    }
    painter.end();
    return pixmap;
}

QIcon GlyphPainter::Icon(const std::string& name, QSize size)
{
    QIcon icon;
    if (!Known(name)) {
        return icon;
    }
    icon.addPixmap(Draw(name, size, false), QIcon::Normal);
    icon.addPixmap(Draw(name, size, false), QIcon::Active);
    icon.addPixmap(Draw(name, size, true), QIcon::Disabled);
    return icon;
}
