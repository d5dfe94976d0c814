// The drawing kit: colour blending and the style colour table, system colours through the
// palette, gradients, box placement, exclusive edges, text flags and path ellipsis, wrapped
// text that is taller than its cell, plain-text hints and the roll marker's shape.
#include "widget_helpers.h"

#include <QApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

QImage Canvas(int w, int h, QColor fill = Qt::white) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

} // namespace

TEST(SharedDrawColours, BlendDividesBy256AndClampsAlpha) {
    EXPECT_EQ(Blend(clWhite, clBlack, 255), 0x00FEFEFE);
    EXPECT_EQ(Blend(clWhite, clBlack, 0), 0);
    EXPECT_EQ(Blend(clBlack, clWhite, 0), 0x00FEFEFE);
    EXPECT_EQ(Blend(0x000000FF, 0x00FF0000, 128), 0x007E007F); // red and blue stay apart
    EXPECT_EQ(Blend(clWhite, clBlack, 256), 0x00FEFEFE);
    EXPECT_EQ(Blend(clWhite, clBlack, 100000), 0x00FEFEFE);
    EXPECT_EQ(Blend(clWhite, clBlack, -4), 0);
    // System colours are resolved first.
    const TColor window = QColorToColor(QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(Blend(clWindow, clBlack, 255), Blend(window, clBlack, 255));
}

TEST(SharedDrawColours, StyleColourTableAndItsBounds) {
    EXPECT_EQ(StyleColor(11, 0), 0x00FFD2AF);
    EXPECT_EQ(StyleColor(11, 2), 0x00FFD2AF);
    EXPECT_EQ(StyleColor(2), 0x00CF9365);
    EXPECT_EQ(StyleColor(6), 0x00FFFFFF);
    EXPECT_EQ(StyleColor(7), 0x00FFD2AF);
    EXPECT_EQ(StyleColor(10), 0x00FFC69A);
    EXPECT_EQ(StyleColor(23), 0x00FFD6B6);
    EXPECT_EQ(StyleColor(5), 0);
    EXPECT_EQ(StyleColor(0), 0);
    EXPECT_EQ(StyleColor(128 + 11), 0x00FFD2AF); // modulo 128
    EXPECT_EQ(StyleColor(24), 0);                // past the 24 slots
    EXPECT_EQ(StyleColor(100), 0);
    EXPECT_EQ(StyleColor(-1), 0);
    EXPECT_EQ(StyleColor(11, 7), 0); // past the 6 schemes
    EXPECT_EQ(StyleColor(11, 127), 0);
}

TEST(SharedDrawColours, SystemColoursMapToPaletteRolesThroughOneTable) {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Dark, QColor(1, 2, 3));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(4, 5, 6));
    palette.setColor(QPalette::Active, QPalette::Light, QColor(7, 8, 9));
    palette.setColor(QPalette::Active, QPalette::Button, QColor(10, 11, 12));
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(13, 14, 15));
    palette.setColor(QPalette::Active, QPalette::Base, QColor(16, 17, 18));
    palette.setColor(QPalette::Active, QPalette::Shadow, QColor(19, 20, 21));
    EXPECT_EQ(ColorToQColor(clBtnShadow, palette), QColor(1, 2, 3));
    EXPECT_EQ(ColorToQColor(clGrayText, palette), QColor(4, 5, 6));
    EXPECT_EQ(ColorToQColor(clBtnHighlight, palette), QColor(7, 8, 9));
    EXPECT_EQ(ColorToQColor(clBtnFace, palette), QColor(10, 11, 12));
    EXPECT_EQ(ColorToQColor(clHighlight, palette), QColor(13, 14, 15));
    EXPECT_EQ(ColorToQColor(clWindow, palette), QColor(16, 17, 18));
    EXPECT_EQ(ColorToQColor(cl3DDkShadow, palette), QColor(19, 20, 21));
    // Blue-green-red values.
    EXPECT_EQ(ColorToQColor(255, palette), QColor(255, 0, 0));
    EXPECT_EQ(ColorToQColor(0x00F5FCFE, palette), QColor(254, 252, 245));
    EXPECT_EQ(QColorToColor(QColor(254, 252, 245)), 0x00F5FCFE);
}

TEST(SharedDrawColours, MixAlphaAndGradient) {
    EXPECT_EQ(MixColors(clBlack, clWhite, 0.5), 0x00808080);        // 127.5 rounds up
    EXPECT_EQ(MixColors(0x0000000A, 0x00000014, 0.25), 0x0000000D); // 12.5 rounds up
    EXPECT_EQ(AlphaChannel(255, 0, 255), 255);
    EXPECT_EQ(AlphaChannel(200, 100, 0), 100);
    EXPECT_EQ(AlphaChannel(255, 255, 128), 255);

    QImage image = Canvas(4, 3, Qt::black);
    QPainter canvas(&image);
    VerticalGradient(canvas, QRect(0, 1, 4, 1), 0x000000FF, 0x00FF0000); // one pixel high
    VerticalGradient(canvas, QRect(0, 2, 4, 0), clWhite, clWhite);       // empty: nothing
    canvas.end();
    EXPECT_EQ(At(image, 0, 1), Rgb(255, 0, 0));
    EXPECT_EQ(At(image, 3, 1), Rgb(255, 0, 0));
    EXPECT_EQ(At(image, 0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(At(image, 0, 2), Rgb(0, 0, 0));

    QImage tall = Canvas(1, 4);
    QPainter tallCanvas(&tall);
    VerticalGradient(tallCanvas, QRect(0, 0, 1, 4), clBlack, clWhite);
    tallCanvas.end();
    EXPECT_EQ(At(tall, 0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(At(tall, 0, 1), Rgb(64, 64, 64));
    EXPECT_EQ(At(tall, 0, 3), Rgb(191, 191, 191));
}

TEST(SharedDrawRects, PlaceBoxIntersectAdjustAndMoved) {
    EXPECT_EQ(PlaceBox(11, 11, taVerticalCenter, taCenter, QRect(0, 0, 20, 16), 0), QPoint(5, 3));
    EXPECT_EQ(PlaceBox(11, 11, taAlignTop, taLeftJustify, QRect(10, 20, 40, 16), 2), QPoint(12, 22));
    EXPECT_EQ(PlaceBox(11, 11, taAlignBottom, taRightJustify, QRect(10, 20, 40, 16), 2), QPoint(37, 23));
    EXPECT_TRUE(RectsIntersect(QRect(0, 0, 10, 10), QRect(10, 0, 5, 5))); // touching
    EXPECT_TRUE(RectsIntersect(QRect(0, 0, 10, 10), QRect(0, 10, 5, 5)));
    EXPECT_FALSE(RectsIntersect(QRect(0, 0, 10, 10), QRect(11, 0, 5, 5)));
    EXPECT_FALSE(RectsIntersect(QRect(0, 0, 10, 10), QRect(0, -6, 5, 5)));
    EXPECT_EQ(AdjustRect(QRect(10, 10, 20, 20), 1, 2, 3, 4), GxRect(11, 14, 33, 32));
    EXPECT_FALSE(MovedBeyond(QPoint(3, -3), QPoint(0, 0), 3));
    EXPECT_TRUE(MovedBeyond(QPoint(4, 0), QPoint(0, 0), 3));
    EXPECT_TRUE(IsEmptyPoint(QPoint(-1, 5)));
    EXPECT_FALSE(IsEmptyPoint(QPoint(0, 0)));
}

TEST(SharedDrawRects, RightAndBottomEdgesAndLineEndsStayUndrawn) {
    EXPECT_EQ(GxRect(2, 3, 7, 9), QRect(2, 3, 5, 6));
    QImage image = Canvas(12, 12);
    QPainter canvas(&image);
    GxLine(canvas, 1, 1, 6, 1, Qt::black); // pixels 1..5
    GxLine(canvas, 8, 2, 8, 0, Qt::black); // pixels 2, 1
    GxLine(canvas, 2, 4, 5, 7, Qt::black); // (2,4) (3,5) (4,6)
    canvas.end();
    for (int x = 1; x <= 5; ++x)
        EXPECT_EQ(At(image, x, 1), 0u) << x;
    EXPECT_EQ(At(image, 6, 1), 0xFFFFFFu);
    EXPECT_EQ(At(image, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(At(image, 8, 2), 0u);
    EXPECT_EQ(At(image, 8, 1), 0u);
    EXPECT_EQ(At(image, 8, 0), 0xFFFFFFu);
    EXPECT_EQ(At(image, 4, 6), 0u);
    EXPECT_EQ(At(image, 5, 7), 0xFFFFFFu);
}

TEST(SharedDrawText, FlagsMapOnceAndPrefixesAreShownOnlyWhenAsked) {
    EXPECT_EQ(MapDrawTextFlags(DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX),
              int(Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine));
    EXPECT_EQ(MapDrawTextFlags(DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_BOTTOM),
              int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap)); // bottom needs a single line
    EXPECT_TRUE(MapDrawTextFlags(DT_SINGLELINE) & Qt::TextShowMnemonic);
    EXPECT_TRUE(MapDrawTextFlags(DT_NOCLIP | DT_NOPREFIX) & Qt::TextDontClip);
}

TEST(SharedDrawText, PathEllipsisKeepsTheLastPartAndIsNotElideMiddle) {
    auto units = [](const QString& t) {
        return int(t.size());
    }; // one unit per character
    EXPECT_EQ(PathEllipsis("C:\\Data\\Sounds\\alarm.wav", 40, units), "C:\\Data\\Sounds\\alarm.wav");
    EXPECT_EQ(PathEllipsis("C:\\Data\\Sounds\\alarm.wav", 18, units), "C:\\Da...\\alarm.wav");
    EXPECT_EQ(PathEllipsis("/var/log/syslog/messages.1", 16, units), "/v.../messages.1");
    EXPECT_EQ(PathEllipsis("/var/log/syslog/messages.1", 17, units), "/va.../messages.1");
    EXPECT_EQ(PathEllipsis("abcdefghij", 6, units), "abc...");
    EXPECT_EQ(PathEllipsis("C:\\x\\verylongfilename", 10, units), "...\\verylo");
    EXPECT_EQ(PathEllipsis("abc", 2, units), "");
}

TEST(SharedDrawText, WrappedTextTallerThanItsCellStartsAtTheCellTop) {
    QImage image = Canvas(60, 60);
    QPainter canvas(&image);
    canvas.setFont(QFont("DejaVu Sans", 9));
    canvas.setPen(Qt::black);
    const QRect cell(0, 20, 60, 14); // the row above ends at y 19
    const QString text = "one two three four five six seven";
    DrawWrappedText(canvas, cell, false, text, true, taAlignBottom, taLeftJustify);
    canvas.end();
    QImage top = Canvas(60, 60);
    QPainter reference(&top);
    reference.setFont(QFont("DejaVu Sans", 9));
    reference.setPen(Qt::black);
    reference.setClipRect(cell);
    reference.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    reference.end();
    EXPECT_EQ(image, top);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(At(image, x, y), 0xFFFFFFu) << x << "," << y;

    // Text that fits moves down by the free height.
    QImage low = Canvas(60, 60);
    QPainter lowCanvas(&low);
    lowCanvas.setFont(QFont("DejaVu Sans", 9));
    lowCanvas.setPen(Qt::black);
    DrawWrappedText(lowCanvas, QRect(0, 0, 60, 60), false, "word", true, taAlignBottom, taLeftJustify);
    lowCanvas.end();
    int inkTop = -1;
    for (int y = 0; y < 60 && inkTop < 0; ++y)
        for (int x = 0; x < 60; ++x)
            if (At(low, x, y) != 0xFFFFFFu) {
                inkTop = y;
                break;
            }
    EXPECT_GT(inkTop, 40);
}

TEST(SharedDrawText, NameValueValueAndTextSizes) {
    const QStringList items = {"a=1", "name=some=value", "plain"};
    EXPECT_EQ(NameValueValue(items, 0), "1");
    EXPECT_EQ(NameValueValue(items, 1), "some=value");
    EXPECT_EQ(NameValueValue(items, 2), "");
    EXPECT_EQ(NameValueValue(items, 3), ""); // past the end
    EXPECT_EQ(NameValueValue(items, -1), "");
    const QFontMetrics metrics(QFont("DejaVu Sans", 9));
    EXPECT_EQ(TextWidthW(metrics, "Status"), metrics.horizontalAdvance("Status"));
    EXPECT_EQ(TextHeightW(metrics, "Status"), metrics.height());
    EXPECT_EQ(MultiLineTextWidth(metrics, "ab\nlonger line"), metrics.horizontalAdvance("longer line"));
}

TEST(SharedDrawThemes, TheProcessSwitchTurnsThemesOff) {
    EXPECT_TRUE(ThemesActive());
    {
        ClassicDrawing classic;
        EXPECT_FALSE(ThemesActive());
    }
    EXPECT_TRUE(ThemesActive());
}

TEST(SharedDrawHints, HintsArePlainTextCappedToTheScreen) {
    TGxHintWindow hint;
    const QString markup = "<img src=\"x.png\"><b>link down</b>";
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect size = CalcHintRect(hint, 100000, markup + QString(3000, u'x'));
    EXPECT_LE(size.width(), screen.width());
    EXPECT_LE(size.height(), screen.height());
    ShowHintText(hint, QRect(screen.right() - 10, screen.bottom() - 10, 400, 50), markup);
    EXPECT_EQ(hint.textFormat(), Qt::PlainText);
    EXPECT_EQ(hint.text(), markup);
    EXPECT_TRUE(screen.contains(hint.geometry())) << hint.geometry().x() << "," << hint.geometry().y();
    EXPECT_TRUE(hint.isVisible());
    ReleaseHint(hint);
    EXPECT_FALSE(hint.isVisible());
}

TEST(SharedDrawFlyout, FloatingWindowsNeverTakeFocusOrMouse) {
    TGxFlyoutControl flyout;
    const Qt::WindowFlags flags = flyout.windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(flags & Qt::WindowTransparentForInput);
    EXPECT_EQ(flyout.windowType(), Qt::Tool);
    EXPECT_TRUE(flyout.testAttribute(Qt::WA_ShowWithoutActivating));

    TRollShadow marker;
    EXPECT_EQ(marker.size(), QSize(32, 32));
    const QRegion shape = TRollShadow::Shape();
    EXPECT_EQ(marker.mask(), shape);
    EXPECT_TRUE(shape.contains(QPoint(7, 2)));  // up triangle
    EXPECT_TRUE(shape.contains(QPoint(6, 18))); // down triangle
    EXPECT_TRUE(shape.contains(QPoint(7, 11))); // the dot
    EXPECT_FALSE(shape.contains(QPoint(20, 20)));
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    marker.ShowAt(QPoint(100, 100));
    EXPECT_EQ(marker.pos(), QPoint(93, 89));
    QImage pixels = marker.grab().toImage();
    EXPECT_EQ(pixels.pixel(7, 11) & 0xFFFFFF, ColorToQColor(clGrayText, marker.palette()).rgb() & 0xFFFFFF);
}
