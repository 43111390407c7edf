#include "shell/gui/GlyphPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cctype>

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

// Each glyph on a 16 by 16 grid, with the colour of its normal image.
bool Shape(const std::string& name, QPainterPath& path, QColor& color)
{
    const QColor arrow(0x1c, 0x3c, 0x8c);
    if (name == "direita") {
        path = Triangle({5.5, 2.5}, {11.5, 8}, {5.5, 13.5});
        color = arrow;
    } else if (name == "direita_todos") {
        path = Triangle({2, 2.5}, {8, 8}, {2, 13.5}).united(Triangle({8, 2.5}, {14, 8}, {8, 13.5}));
        color = arrow;
    } else if (name == "esquerda") {
        path = Triangle({10.5, 2.5}, {4.5, 8}, {10.5, 13.5});
        color = arrow;
    } else if (name == "esquerda_todos") {
        path = Triangle({14, 2.5}, {8, 8}, {14, 13.5}).united(Triangle({8, 2.5}, {2, 8}, {8, 13.5}));
        color = arrow;
    } else if (name == "pesquisar" || name == "procurar") {
        path = Magnifier();
        color = QColor(0x30, 0x30, 0x50);
    } else if (name == "confirmar") {
        QPainterPath tick;
        tick.moveTo(3, 8.5);
        tick.lineTo(6.5, 12);
        tick.lineTo(13, 4.5);
        path = Stroke(tick, 2.4);
        color = QColor(0x1e, 0x8c, 0x2a);
    } else if (name == "cancelar") {
        QPainterPath cross;
        cross.moveTo(4, 4);
        cross.lineTo(12, 12);
        cross.moveTo(12, 4);
        cross.lineTo(4, 12);
        path = Stroke(cross, 2.4);
        color = QColor(0xc0, 0x20, 0x20);
    } else if (name == "incluir") {
        QPainterPath plus;
        plus.moveTo(8, 3);
        plus.lineTo(8, 13);
        plus.moveTo(3, 8);
        plus.lineTo(13, 8);
        path = Stroke(plus, 2.6);
        color = QColor(0x1e, 0x8c, 0x2a);
    } else if (name == "alterar") {
        QPainterPath pencil;
        pencil.moveTo(3, 13);
        pencil.lineTo(4, 10);
        pencil.lineTo(11, 3);
        pencil.lineTo(13, 5);
        pencil.lineTo(6, 12);
        pencil.closeSubpath();
        path = pencil;
        color = QColor(0xa0, 0x60, 0x10);
    } else if (name == "excluir") {
        QPainterPath minus;
        minus.moveTo(3, 8);
        minus.lineTo(13, 8);
        path = Stroke(minus, 2.8);
        color = QColor(0xc0, 0x20, 0x20);
    } else if (name == "verificar") {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(3, 3, 10, 10), 60);
        arc.arcTo(QRectF(3, 3, 10, 10), 60, 270);
        path = Stroke(arc, 1.9).united(Triangle({10.5, 1.5}, {14.5, 5}, {9.5, 6.5}));
        color = QColor(0x1c, 0x5c, 0xb0);
    } else if (name == "imprimir") {
        QPainterPath printer;
        printer.addRect(QRectF(5, 2, 6, 4));
        printer.addRoundedRect(QRectF(2, 6, 12, 6), 1.5, 1.5);
        QPainterPath sheet;
        sheet.addRect(QRectF(5, 10, 6, 4.5));
        path = printer.united(sheet);
        color = QColor(0x40, 0x40, 0x40);
    } else if (name == "formulario") {
        QPainterPath frame;
        frame.addRect(QRectF(1.5, 2.5, 13, 11));
        QPainterPath window = Stroke(frame, 1.2);
        window.addRect(QRectF(1.5, 2.5, 13, 3));
        QPainterPath rows;
        rows.moveTo(4, 8.5);
        rows.lineTo(12, 8.5);
        rows.moveTo(4, 11);
        rows.lineTo(10, 11);
        path = window.united(Stroke(rows, 1.0));
        color = QColor(0x1c, 0x3c, 0x8c);
    } else {
        return false;
    }
    return true;
}

} // namespace

bool GlyphPainter::Known(const std::string& Name)
{
    QPainterPath path;
    QColor color;
    return Shape(Lower(Name), path, color);
}

QPixmap GlyphPainter::Draw(const std::string& Name, QSize Size, bool Disabled)
{
    QPainterPath path;
    QColor color;
    if (!Shape(Lower(Name), path, color) || Size.isEmpty()) {
        return QPixmap();
    }
    QPixmap pixmap(Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    qreal side = std::min(Size.width(), Size.height());
    painter.translate((Size.width() - side) / 2.0, (Size.height() - side) / 2.0);
    painter.scale(side / 16.0, side / 16.0);
    painter.setPen(Qt::NoPen);
    if (Disabled) {
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

QIcon GlyphPainter::Icon(const std::string& Name, QSize Size)
{
    QIcon icon;
    if (!Known(Name)) {
        return icon;
    }
    icon.addPixmap(Draw(Name, Size, false), QIcon::Normal);
    icon.addPixmap(Draw(Name, Size, false), QIcon::Active);
    icon.addPixmap(Draw(Name, Size, true), QIcon::Disabled);
    return icon;
}
