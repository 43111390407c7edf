#pragma once
// The images of the flat buttons, drawn rather than loaded. A button names
// its glyph; each glyph comes as a pair, normal and disabled (greyed and
// embossed, as disabled toolbar images look).
//
// Names: "direita" (one arrow right), "direita_todos" (two arrows right),
// "esquerda" and "esquerda_todos" (the same pointing left), "pesquisar" (the
// lookup buttons' magnifier), and the standard toolbar's "confirmar",
// "cancelar", "incluir", "alterar", "excluir", "procurar", "verificar",
// "imprimir"; and "formulario", the icon of a screen's window. Names are
// compared without regard to case.
#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <string>

class GlyphPainter {
public:
    static bool Known(const std::string& name);
    // One image of the glyph, size device-independent pixels; transparent
    // where nothing is drawn. An unknown name gives an empty pixmap.
    static QPixmap Draw(const std::string& name, QSize size, bool disabled);
    // Both images as an icon (normal and disabled modes).
    static QIcon Icon(const std::string& name, QSize size);
};
