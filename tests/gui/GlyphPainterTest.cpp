// The drawn glyphs: each transfer arrow points its way, the double arrows are
// two, and the disabled image is greyed.
#include "GuiTestSupport.h"

#include "shell/gui/GlyphPainter.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QImage Image(const char* name, bool disabled)
{
    return GlyphPainter::Draw(name, QSize(16, 16), disabled).toImage();
}

bool Inked(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y)) > 128;
}

// Height of the inked run in column x.
int ColumnInk(const QImage& image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        n += Inked(image, x, y) ? 1 : 0;
    }
    return n;
}

// Inked columns, first and last.
std::pair<int, int> InkedColumns(const QImage& image)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (ColumnInk(image, x) > 0) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return {first, last};
}

// Separate inked runs along row y.
int Runs(const QImage& image, int y)
{
    int runs = 0;
    bool in = false;
    for (int x = 0; x < image.width(); ++x) {
        bool ink = Inked(image, x, y);
        runs += ink && !in ? 1 : 0;
        in = ink;
    }
    return runs;
}

TEST(GlyphPainterTest, ArrowsPointRightOrLeftByTheirBroadSide)
{
    GuiTest::EnsureApp();
    for (const char* name : {"direita", "direita_todos"}) {
        QImage image = Image(name, false);
        auto [first, last] = InkedColumns(image);
        ASSERT_GE(first, 0) << name;
        EXPECT_GT(ColumnInk(image, first), ColumnInk(image, last)) << name;
    }
    for (const char* name : {"esquerda", "esquerda_todos"}) {
        QImage image = Image(name, false);
        auto [first, last] = InkedColumns(image);
        ASSERT_GE(first, 0) << name;
        EXPECT_LT(ColumnInk(image, first), ColumnInk(image, last)) << name;
    }
}

TEST(GlyphPainterTest, DoubleArrowsAreTwoAndSingleOnesOne)
{
    GuiTest::EnsureApp();
    EXPECT_EQ(Runs(Image("direita", false), 5), 1);
    EXPECT_EQ(Runs(Image("esquerda", false), 5), 1);
    EXPECT_EQ(Runs(Image("direita_todos", false), 5), 2);
    EXPECT_EQ(Runs(Image("esquerda_todos", false), 5), 2);
}

TEST(GlyphPainterTest, DisabledImageIsGreyAndNamesAreCaseBlind)
{
    GuiTest::EnsureApp();
    QImage normal = Image("DIREITA", false);
    QImage disabled = Image("direita", true);
    ASSERT_FALSE(normal.isNull());
    bool colouredNormal = false;
    bool colouredDisabled = false;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            QRgb n = normal.pixel(x, y);
            QRgb d = disabled.pixel(x, y);
            colouredNormal = colouredNormal || (qAlpha(n) > 200 && qBlue(n) > qRed(n) + 40);
            colouredDisabled = colouredDisabled || (qAlpha(d) > 200 && std::abs(qBlue(d) - qRed(d)) > 10);
        }
    }
    EXPECT_TRUE(colouredNormal);
    EXPECT_FALSE(colouredDisabled);
}

TEST(GlyphPainterTest, EveryNamedGlyphDrawsAndUnknownOnesDoNot)
{
    GuiTest::EnsureApp();
    for (const char* name : {"direita", "direita_todos", "esquerda", "esquerda_todos", "pesquisar", "confirmar",
                             "cancelar", "incluir", "alterar", "excluir", "procurar", "verificar", "imprimir"}) {
        EXPECT_TRUE(GlyphPainter::Known(name)) << name;
        EXPECT_GE(InkedColumns(Image(name, false)).first, 0) << name;
    }
    EXPECT_FALSE(GlyphPainter::Known("nenhum"));
    EXPECT_TRUE(GlyphPainter::Draw("nenhum", QSize(16, 16), false).isNull());
}

} // namespace
