// The text tray icon's picture: centring by the formula, the inverted background, lines split at
// CR, clipping of wide text, the border, offsets, and the merge over a background icon.
#include "desktop/TextTrayIcon.h"

#include "tests/support/FakeTrayIconBackend.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <set>

namespace {

QFont IconFont(int PixelSize = 11) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(PixelSize);
    return font;
}

TTextIconLook Look(const QString& Text, TColor Color = clWhite, bool Border = false) {
    TTextIconLook look;
    look.Text = Text;
    look.Font = IconFont();
    look.FontColor = clNavy;
    look.Color = Color;
    look.Border = Border;
    return look;
}

// The same text drawn at an explicit origin on a large canvas, cut to the 16 x 16 square: what
// the formula's origin must give.
QImage Reference(const TTextIconLook& L, const std::vector<std::pair<QString, QPoint>>& Lines) {
    QImage big(64, 64, QImage::Format_RGB32);
    big.fill(ColorToQColor(TTextTrayIcon::TextBackground(L)));
    QPainter p(&big);
    QFont font = L.Font;
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(ColorToQColor(L.FontColor));
    const QFontMetrics m(font);
    for (const auto& [text, at] : Lines)
        p.drawText(24 + at.x(), 24 + at.y() + m.ascent(), text);
    p.end();
    return big.copy(24, 24, 16, 16);
}

QRect InkBox(const QImage& Image, QRgb Ink) {
    QRect box;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if ((Image.pixel(x, y) & 0xFFFFFF) == (Ink & 0xFFFFFF))
                box |= QRect(x, y, 1, 1);
    return box;
}

const QRgb Navy = qRgb(0, 0, 128);

} // namespace

TEST(TextTrayIcon, TheFontIsLiberationSerifInPlaceOfTimesNewRoman) {
    EXPECT_EQ(QFontInfo(IconFont()).family(), "Liberation Serif");
}

TEST(TextTrayIcon, BackgroundIsInvertedFontColourForNoneOrTheFontColour) {
    EXPECT_EQ(TTextTrayIcon::TextBackground(Look("x", clWhite)), clWhite);
    EXPECT_EQ(TTextTrayIcon::TextBackground(Look("x", clNavy)), 0x7FFFFF);
    EXPECT_EQ(TTextTrayIcon::TextBackground(Look("x", clNone)), 0x7FFFFF);
    const QImage image = TTextTrayIcon::RenderTextIcon(Look(QStringLiteral("OO"), clNavy));
    EXPECT_EQ(image.pixel(0, 15), qRgb(255, 255, 127));
    EXPECT_FALSE(InkBox(image, Navy).isEmpty()); // the navy text stays readable
}

TEST(TextTrayIcon, OneLineIsCentredByTheFormula) {
    const TTextIconLook look = Look(QStringLiteral("OO"));
    const QImage image = TTextTrayIcon::RenderTextIcon(look);
    ASSERT_EQ(image.size(), QSize(16, 16));
    const QFontMetrics m(look.Font);
    // (15 - 16) div 2 = 0 and (15 - 12) div 2 = 1 for Liberation Serif at 11 px.
    ASSERT_EQ(m.horizontalAdvance("OO"), 16);
    ASSERT_EQ(m.height(), 12);
    EXPECT_EQ(image, Reference(look, {{"OO", QPoint(0, 1)}}));
    // Only background and text colours: no blended edge pixels.
    std::set<QRgb> colours;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            colours.insert(image.pixel(x, y));
    EXPECT_EQ(colours, (std::set<QRgb>{qRgb(255, 255, 255), Navy}));
}

TEST(TextTrayIcon, OffsetsShiftTheText) {
    TTextIconLook look = Look(QStringLiteral("1"));
    const QFontMetrics m(look.Font);
    const int x = (15 - m.horizontalAdvance("1")) / 2;
    const int y = (15 - m.height()) / 2;
    EXPECT_EQ(TTextTrayIcon::RenderTextIcon(look), Reference(look, {{"1", QPoint(x, y)}}));
    look.Options.OffsetX = 3;
    look.Options.OffsetY = -2;
    EXPECT_EQ(TTextTrayIcon::RenderTextIcon(look), Reference(look, {{"1", QPoint(x + 3, y - 2)}}));
}

TEST(TextTrayIcon, CrSplitsLinesEachCentredThePairCentredVertically) {
    TTextIconLook look = Look(QStringLiteral("1\r2"));
    look.Font = IconFont(7);
    const QFontMetrics m(look.Font);
    const int h = m.height();
    const int top = (15 - 2 * h) / 2;
    const QImage image = TTextTrayIcon::RenderTextIcon(look);
    EXPECT_EQ(image, Reference(look, {{"1", QPoint((15 - m.horizontalAdvance("1")) / 2, top)},
                                      {"2", QPoint((15 - m.horizontalAdvance("2")) / 2, top + h)}}));
    const QRect upper = InkBox(image.copy(0, 0, 16, top + h), Navy);
    const QRect lower = InkBox(image.copy(0, top + h, 16, 16 - top - h), Navy);
    EXPECT_FALSE(upper.isEmpty());
    EXPECT_FALSE(lower.isEmpty());
    look.Options.LineDistance = 1;
    const int top1 = (15 - 2 * (h + 1)) / 2;
    EXPECT_EQ(TTextTrayIcon::RenderTextIcon(look),
              Reference(look, {{"1", QPoint((15 - m.horizontalAdvance("1")) / 2, top1)},
                               {"2", QPoint((15 - m.horizontalAdvance("2")) / 2, top1 + h + 1)}}));
}

TEST(TextTrayIcon, TextWiderThanTheIconIsClippedOnBothSides) {
    const TTextIconLook look = Look(QStringLiteral("MM"));
    const QFontMetrics m(look.Font);
    ASSERT_EQ(m.horizontalAdvance("MM"), 20);
    // (15 - 20) div 2 truncates toward zero: -2.
    const QImage image = TTextTrayIcon::RenderTextIcon(look);
    EXPECT_EQ(image, Reference(look, {{"MM", QPoint(-2, 1)}}));
    const QRect ink = InkBox(image, Navy);
    EXPECT_EQ(ink.left(), 0);
    EXPECT_EQ(ink.right(), 15);
}

TEST(TextTrayIcon, BorderFramesTheSquare) {
    TTextIconLook look = Look(QString(), clWhite, true);
    look.BorderColor = clRed;
    const QImage image = TTextTrayIcon::RenderTextIcon(look);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(image.pixel(i, 0), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(i, 15), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(0, i), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(15, i), qRgb(255, 0, 0));
    }
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(TTextTrayIcon::RenderTextIcon(Look(QString())).pixel(0, 0), qRgb(255, 255, 255));
}

TEST(TextTrayIcon, NoneMakesTheBackgroundTransparent) {
    const QImage image = TTextTrayIcon::RenderIconImage(Look(QStringLiteral("OO"), clNone));
    EXPECT_EQ(qAlpha(image.pixel(0, 15)), 0);
    int opaqueInk = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            opaqueInk += image.pixel(x, y) == Navy;
    EXPECT_GT(opaqueInk, 10);
    EXPECT_EQ(qAlpha(TTextTrayIcon::RenderIconImage(Look(QStringLiteral("OO"))).pixel(0, 15)), 255);
}

TEST(TextTrayIcon, TextFloatsOverTheBackgroundIcon) {
    // A background icon: red on the left half, transparent on the right.
    QImage background(16, 16, QImage::Format_ARGB32);
    background.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            background.setPixel(x, y, qRgb(255, 0, 0));
    TTextIconLook look = Look(QStringLiteral("MM"));
    look.BackgroundIcon = background;
    const QImage text = TTextTrayIcon::RenderTextIcon(look);
    const QImage image = TTextTrayIcon::RenderIconImage(look);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool ink = (text.pixel(x, y) & 0xFFFFFF) == (Navy & 0xFFFFFF);
            const QRgb want = ink ? Navy : x < 8 ? qRgb(255, 0, 0) : 0;
            EXPECT_EQ(image.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST(TextTrayIcon, EverySetterRendersTheIconAgain) {
    auto backend = std::make_unique<TFakeTrayIconBackend>();
    TFakeTrayIconBackend* fake = backend.get();
    TTextTrayIcon icon(std::move(backend));
    icon.SetLook(Look(QStringLiteral("OO")));
    const QImage before = fake->LastIcon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(before, icon.RenderTextIcon());
    int updates = fake->IconUpdates;
    icon.SetColor(clYellow);
    EXPECT_EQ(fake->IconUpdates, ++updates);
    EXPECT_EQ(fake->LastIcon.pixmap(16, 16).toImage().pixel(0, 15), qRgb(255, 255, 0));
    icon.SetBorder(true);
    icon.SetBorderColor(clRed);
    icon.SetText(QStringLiteral("1"));
    icon.SetFontColor(clBlack);
    icon.SetFont(IconFont(9));
    icon.SetOptions({1, 1, 0});
    EXPECT_EQ(fake->IconUpdates, updates + 6);
    EXPECT_EQ(fake->LastIcon.pixmap(16, 16).toImage().pixel(0, 0), qRgb(255, 0, 0));
}
