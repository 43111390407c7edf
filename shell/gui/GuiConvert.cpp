#include "shell/gui/GuiConvert.h"

#include "platform/core/Cp1252.h"
#include "platform/data/TDataSet.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>
#include <exception>

namespace GuiConvert {

QString ToQt(const std::string& cp1252)
{
    try {
        return QString::fromStdString(Cp1252::ToUtf8(cp1252));
    } catch (const std::exception&) {
        std::string safe;
        safe.reserve(cp1252.size());
        for (char c : cp1252) {
            auto u = static_cast<unsigned char>(c);
            bool undefined = u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
            safe += undefined ? '?' : c;
        }
        try {
            return QString::fromStdString(Cp1252::ToUtf8(safe));
        } catch (const std::exception&) {
            return QString();
        }
    }
}

std::optional<std::string> FromQt(const QString& text)
{
    try {
        return Cp1252::FromUtf8(text.toStdString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QColor ColorOf(TColor color, const QPalette& palette)
{
    switch (color) {
    case clBtnFace: return palette.color(QPalette::Active, QPalette::Button);
    case clInfoBk: return palette.color(QPalette::Active, QPalette::ToolTipBase);
    case clWindow: return palette.color(QPalette::Active, QPalette::Base);
    case clWindowText: return palette.color(QPalette::Active, QPalette::Text);
    default: break;
    }
    if (color < 0) {
        return palette.color(QPalette::Active, QPalette::Base);
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

namespace {

double Luminance(const QColor& color)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

double Contrast(const QColor& a, const QColor& b)
{
    double la = Luminance(a);
    double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& text, const QColor& background, double ratio)
{
    if (Contrast(text, background) >= ratio) {
        return text;
    }
    // Towards black over a light background, towards white over a dark one,
    // a step at a time, so the colour stays as close to the style's as it can.
    QColor towards = Luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor from = text.toRgb();
    for (int step = 1; step <= 20; ++step) {
        float t = static_cast<float>(step) / 20.0F;
        QColor mixed = QColor::fromRgbF(from.redF() + (towards.redF() - from.redF()) * t,
                                        from.greenF() + (towards.greenF() - from.greenF()) * t,
                                        from.blueF() + (towards.blueF() - from.blueF()) * t);
        if (Contrast(mixed, background) >= ratio) {
            return mixed;
        }
    }
    return towards;
}

QFont FontOf(const TFont& font, const QFont& base)
{
    QFont f = base;
    // The platform's dialog font is a narrow sans serif, and the layout's
    // boxes are cut to it; a condensed sans, where installed, keeps the
    // captions inside them.
    static const bool condensed = QFontDatabase::families().contains("DejaVu Sans Condensed");
    if (font.Name == "MS Sans Serif" && condensed) {
        f.setFamily("DejaVu Sans Condensed");
    }
    if (font.Size > 0) {
        f.setPointSize(font.Size);
    }
    f.setBold(font.Bold());
    f.setItalic(font.Style.count(TFontStyle::fsItalic) != 0);
    f.setUnderline(font.Style.count(TFontStyle::fsUnderline) != 0);
    f.setStrikeOut(font.Style.count(TFontStyle::fsStrikeOut) != 0);
    return f;
}

QString StripAccelerator(const std::string& cp1252)
{
    std::string out;
    out.reserve(cp1252.size());
    for (size_t i = 0; i < cp1252.size(); ++i) {
        if (cp1252[i] == '&') {
            if (i + 1 < cp1252.size() && cp1252[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += cp1252[i];
    }
    return ToQt(out);
}

QString CellText(const TDataSet* DataSet, int row, int fieldIndex)
{
    if (DataSet == nullptr || !DataSet->Active() || row < 0 || row >= DataSet->RecordCount() || fieldIndex < 0 ||
        fieldIndex >= DataSet->FieldCount()) {
        return QString();
    }
    try {
        return ToQt(DataSet->RowValue(row, fieldIndex).value_or(""));
    } catch (const std::exception&) {
        return QString();
    }
}

} // namespace GuiConvert
