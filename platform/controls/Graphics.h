#pragma once
// Colours, fonts, cursors and the other small value types that controls carry.
#include <cstdint>
#include <set>
#include <string>

using TColor = std::int32_t;

// System colours are negative, as the platform encodes them; plain colours are
// 0x00BBGGRR.
constexpr TColor clBtnFace = -16777201;
constexpr TColor clWindow = -16777211;
constexpr TColor clWindowText = -16777208;
constexpr TColor clInfoBk = -16777192;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = std::set<TFontStyle>;

struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8; // points
    TColor Color = clWindowText;
    TFontStyles Style;

    bool Bold() const { return Style.count(TFontStyle::fsBold) != 0; }
    bool operator==(const TFont&) const = default;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum class TBorderStyle { bsNone, bsSingle };

// Screen-wide cursor numbers.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
