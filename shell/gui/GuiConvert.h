#pragma once
// The edge between the component model and Qt: Windows-1252 text to and from
// QString, model colours and fonts to Qt ones, and the text of one data-set
// cell. Nothing here changes the model.
#include "platform/controls/Graphics.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include <optional>
#include <string>

class TDataSet;

namespace GuiConvert {

// Model text (Windows-1252) as Qt text; bytes with no character show as '?'.
QString ToQt(const std::string& cp1252);
// Qt text as model text; nothing when a character has no Windows-1252 form.
std::optional<std::string> FromQt(const QString& text);

// A model colour: system colours follow the palette (button face, tooltip
// base, window base, window text), plain ones are 0x00BBGGRR.
QColor ColorOf(TColor color, const QPalette& palette);

// The contrast ratio of two colours, 1 to 21, from their relative luminance
// (the accessibility guidelines' formula).
double Contrast(const QColor& a, const QColor& b);
// Text darkened (or lightened, over a dark background) just enough that its
// contrast against background reaches ratio; text itself when it does.
QColor Readable(const QColor& text, const QColor& background, double ratio);
// The contrast body text needs.
inline constexpr double kReadableContrast = 4.5;

// The model's font over Base: size in points and the styles. The platform's
// dialog font is not installed here: a condensed sans stands in for it, or
// Base's family.
QFont FontOf(const TFont& font, const QFont& base);

// A caption with its accelerator marks removed ("&Filial" -> "Filial",
// "&&" -> "&").
QString StripAccelerator(const std::string& cp1252);

// The text of field fieldIndex in stored row row; empty for Null or for a
// row or field that is not there (the data set may have changed since the
// view counted its rows).
QString CellText(const TDataSet* DataSet, int row, int fieldIndex);

} // namespace GuiConvert
