// The owner-drawn status bar: panel widths (fixed, automatic and shared), the setter rules, the
// embedded control, DrawPanel's x rules in pixels, the 128-panel limit, clicks, hints and menus.
#include "desktop/StatusBarEx.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QStatusTipEvent>
#include <gtest/gtest.h>

namespace {

// Where a test keeps its screenshots, when ZT_SCREENSHOT_DIR names a folder.
void SaveShot(const QImage& Image, const QString& Name) {
    const QString dir = qEnvironmentVariable("ZT_SCREENSHOT_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        Image.save(dir + QLatin1Char('/') + Name);
}

std::unique_ptr<TStatusBarPro> Bar(int Width) {
    auto bar = std::make_unique<TStatusBarPro>();
    bar->resize(Width, TStatusBarPro::BarHeight);
    return bar;
}

QImage Shot(TStatusBarPro& Bar) {
    return Bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// First and last column of a rectangle holding a pixel that passes Ink; -1 when none.
template <class P> std::pair<int, int> InkColumns(const QImage& Image, const QRect& Area, P Ink) {
    int first = -1, last = -1;
    for (int x = Area.left(); x <= Area.right(); ++x)
        for (int y = Area.top(); y <= Area.bottom(); ++y)
            if (Ink(Image.pixel(x, y))) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

std::pair<int, int> Columns(const QImage& Image, const QRect& Area, QRgb Colour) {
    return InkColumns(Image, Area, [Colour](QRgb p) { return p == Colour; });
}

// Text pixels: anything but the panel's background (anti-aliased edges included).
std::pair<int, int> TextColumns(const QImage& Image, const QRect& Area, QRgb Background) {
    return InkColumns(Image, Area, [Background](QRgb p) { return p != Background; });
}

// Bluish text pixels (the tests' blue font, anti-aliased).
bool Bluish(QRgb p) {
    return qBlue(p) > qRed(p) + 40 && qBlue(p) > qGreen(p) + 40;
}

void Send(QWidget& Target, QEvent::Type Type, QPoint At, Qt::MouseButton Button = Qt::LeftButton) {
    QMouseEvent event(Type, QPointF(At), Target.mapToGlobal(QPointF(At)), Button, Button, Qt::NoModifier);
    QApplication::sendEvent(&Target, &event);
}

} // namespace

TEST(StatusBarEx, HeightIs19AndTheGripSitsAtTheRight) {
    auto bar = Bar(400);
    bar->show();
    EXPECT_EQ(bar->height(), 19);
    auto* grip = bar->findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry(), QRect(384, 0, 16, 19));
    bar->SetSizeGrip(false);
    EXPECT_FALSE(grip->isVisible());
}

TEST(StatusBarEx, TwoAutoSizePanelsShareWhatTheFixedOnesLeave) {
    auto bar = Bar(500);
    TStatusPanelsPro& panels = bar->Panels();
    panels.Add().SetWidth(100);
    panels.Add().SetAutoSize(true);
    panels.Add().SetWidth(84);
    panels.Add().SetAutoSize(true);
    EXPECT_EQ(bar->PanelWidths(), (std::vector<int>{100, 150, 84, 150}));
    EXPECT_EQ(bar->PanelRect(0), QRect(0, 0, 100, 19));
    EXPECT_EQ(bar->PanelRect(1), QRect(100, 0, 150, 19));
    EXPECT_EQ(bar->PanelRect(2), QRect(250, 0, 84, 19));
    // The last panel reaches to the end of the bar; it is drawn short of the grip.
    EXPECT_EQ(bar->PanelRect(3), QRect(334, 0, 166, 19));
    EXPECT_EQ(bar->PanelDrawRect(3), QRect(335, 1, 148, 17));
    bar->SetSizeGrip(false);
    EXPECT_EQ(bar->PanelWidths(), (std::vector<int>{100, 158, 84, 158}));
    panels[0].SetWidth(600);
    EXPECT_EQ(bar->PanelWidths(), (std::vector<int>{600, 0, 84, 0}));
}

TEST(StatusBarEx, WidthRules) {
    auto bar = Bar(500);
    TStatusPanelPro& panel = bar->Panels().Add();
    EXPECT_EQ(panel.Width(), 50);
    panel.SetMinWidth(30);
    panel.SetWidth(10);
    EXPECT_EQ(panel.Width(), 30);
    panel.SetMaxWidth(80);
    panel.SetWidth(200);
    EXPECT_EQ(panel.Width(), 80);
    panel.SetWidth(60);
    EXPECT_EQ(panel.Width(), 60);

    panel.SetAutoWidth(true);
    panel.SetWidth(40);
    EXPECT_EQ(panel.Width(), 60);
    panel.SetAutoSize(true);
    EXPECT_FALSE(panel.AutoWidth());
    panel.SetWidth(40);
    EXPECT_EQ(panel.Width(), 60);
    panel.SetAutoWidth(true);
    EXPECT_FALSE(panel.AutoSize());

    // Switching AutoSize off brings the width back into its bounds.
    TStatusPanelPro& other = bar->Panels().Add();
    other.SetAutoSize(true);
    other.SetMinWidth(70);
    EXPECT_EQ(other.Width(), 50);
    other.SetAutoSize(false);
    EXPECT_EQ(other.Width(), 70);
}

TEST(StatusBarEx, AutoWidthFitsTextIndentAndImage) {
    auto bar = Bar(600);
    TStatusPanelPro& panel = bar->Panels().Add();
    panel.SetText(QStringLiteral("Monitoring is active"));
    panel.SetIndent(3);
    panel.SetAutoWidth(true);
    const int text = QFontMetrics(panel.Font()).horizontalAdvance(panel.Text());
    EXPECT_EQ(bar->PanelWidths()[0], text + 2 * 3 + 2);
    TStatusImageList images;
    images.Size = QSize(12, 12);
    images.Images.append(QPixmap(12, 12));
    bar->SetImages(&images);
    panel.SetImageIndex(0);
    EXPECT_EQ(bar->PanelWidths()[0], text + 6 + 2 + 12 + 2);
    panel.SetImageIndex(5); // outside the list: no image
    EXPECT_EQ(bar->PanelWidths()[0], text + 8);
    panel.SetMaxWidth(20);
    EXPECT_EQ(bar->PanelWidths()[0], 20);
    // A longer text widens it (up to its maximum).
    panel.SetMaxWidth(10000);
    panel.SetText(panel.Text() + QStringLiteral("!!!"));
    EXPECT_GT(bar->PanelWidths()[0], text + 8);
}

TEST(StatusBarEx, AtMost128PanelsAreLaidOut) {
    auto bar = Bar(2000);
    for (int i = 0; i < 130; ++i)
        bar->Panels().Add().SetWidth(10);
    EXPECT_EQ(bar->PanelWidths().size(), 128u);
    EXPECT_EQ(bar->PanelRect(126), QRect(1260, 0, 10, 19));
    EXPECT_EQ(bar->PanelRect(127), QRect(1270, 0, 730, 19));
    EXPECT_TRUE(bar->PanelRect(128).isEmpty());
    EXPECT_EQ(bar->PanelAt(QPoint(1995, 5)), 127);
    Shot(*bar); // paints without touching the panels beyond the limit
}

TEST(StatusBarEx, AControlMovesBetweenPanels) {
    auto bar = Bar(500);
    TStatusPanelsPro& panels = bar->Panels();
    panels.Add().SetWidth(100);
    panels.Add().SetWidth(120);
    panels.Add();
    QLineEdit* edit = new QLineEdit;
    panels[0].SetControl(edit);
    EXPECT_EQ(edit->parentWidget(), bar.get());
    EXPECT_EQ(edit->geometry(), bar->PanelDrawRect(0));
    panels[1].SetControl(edit);
    EXPECT_EQ(panels[0].Control(), nullptr);
    EXPECT_EQ(panels[1].Control(), edit);
    EXPECT_EQ(edit->geometry(), QRect(101, 1, 118, 17));
    // It follows its panel when the layout changes.
    panels[0].SetWidth(50);
    EXPECT_EQ(edit->geometry(), QRect(51, 1, 118, 17));
    bar->SetSimplePanel(true);
    EXPECT_TRUE(edit->isHidden());
    bar->SetSimplePanel(false);
    EXPECT_FALSE(edit->isHidden());
}

TEST(StatusBarEx, CentredImageThenTextTwoPixelsAfter) {
    auto bar = Bar(300);
    bar->SetSizeGrip(false);
    TStatusImageList images;
    QPixmap square(16, 16);
    square.fill(QColor(255, 0, 0));
    images.Images.append(square);
    bar->SetImages(&images);
    TStatusPanelPro& panel = bar->Panels().Add();
    panel.SetWidth(200);
    panel.SetAlignment(Qt::AlignHCenter);
    panel.SetImageIndex(0);
    panel.SetText(QStringLiteral("|||"));
    panel.SetFontColor(0xFF0000); // blue
    bar->Panels().Add();
    const QImage image = Shot(*bar);
    SaveShot(image, QStringLiteral("statusbar-image-text.png"));
    const QRect area = bar->PanelDrawRect(0);
    const int textWidth = QFontMetrics(panel.Font()).horizontalAdvance(panel.Text());
    const int x = area.left() + (area.width() - 16 - textWidth) / 2;
    EXPECT_EQ(Columns(image, area, qRgb(255, 0, 0)), std::make_pair(x, x + 15));
    // The image is centred vertically: 16 rows inside the 17 of the panel.
    EXPECT_EQ(image.pixel(x, area.top()), qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(x, area.top() + 16), qRgb(255, 0, 0));
    const auto [inkFirst, inkLast] = InkColumns(image, area, Bluish);
    // The text starts at x + 16 + 2; "|" has a small left bearing.
    EXPECT_GE(inkFirst, x + 18);
    EXPECT_LE(inkFirst, x + 18 + 2);
    EXPECT_LT(inkLast, x + 18 + textWidth);
}

TEST(StatusBarEx, LeftAndRightAlignedTextFollowTheIndent) {
    auto bar = Bar(300);
    bar->SetSizeGrip(false);
    TStatusPanelPro& left = bar->Panels().Add();
    left.SetWidth(140);
    left.SetIndent(5);
    left.SetText(QStringLiteral("|"));
    left.SetFontColor(0xFF0000);
    TStatusPanelPro& right = bar->Panels().Add();
    right.SetAlignment(Qt::AlignRight);
    right.SetIndent(4);
    right.SetText(QStringLiteral("|"));
    right.SetFontColor(0xFF0000);
    const QImage image = Shot(*bar);
    const QFontMetrics m(left.Font());
    const QRect a = bar->PanelDrawRect(0);
    const QRect b = bar->PanelDrawRect(1);
    // Left: rect left + indent + 1, then 2 more after the (absent) image.
    const auto [l0, l1] = InkColumns(image, a, Bluish);
    EXPECT_GE(l0, a.left() + 5 + 1 + 2);
    EXPECT_LE(l1, a.left() + 5 + 1 + 2 + m.horizontalAdvance("|"));
    // Right: rect right - indent - 1 - 2, less the text width.
    const int start = b.left() + b.width() - 4 - 1 - 2 - m.horizontalAdvance("|");
    const auto [r0, r1] = InkColumns(image, b, Bluish);
    EXPECT_GE(r0, start);
    EXPECT_LT(r1, start + m.horizontalAdvance("|"));
}

TEST(StatusBarEx, PanelColourFontColourAndBevel) {
    auto bar = Bar(200);
    bar->SetSizeGrip(false);
    TStatusPanelPro& panel = bar->Panels().Add();
    panel.SetWidth(100);
    panel.SetColor(clYellow);
    panel.SetText(QStringLiteral("1 host down"));
    panel.SetFontColor(clRed);
    TStatusPanelPro& flat = bar->Panels().Add();
    flat.SetBevel(pbNone);
    flat.SetColor(clLime);
    const QImage image = Shot(*bar);
    SaveShot(image, QStringLiteral("statusbar-colours.png"));
    const QRect area = bar->PanelDrawRect(0);
    EXPECT_EQ(image.pixel(area.topLeft()), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(area.bottomRight()), qRgb(255, 255, 0));
    EXPECT_NE(InkColumns(image, area, [](QRgb p) { return qRed(p) > qGreen(p) + 60; }).first, -1);
    // The lowered bevel: shadow above, light below.
    const QPalette& pal = bar->palette();
    EXPECT_EQ(image.pixel(50, 0), pal.color(QPalette::Mid).rgb());
    EXPECT_EQ(image.pixel(50, 18), pal.color(QPalette::Light).rgb());
    // Without a bevel the panel's colour is all there is inside; the edge shows the bar.
    EXPECT_EQ(image.pixel(150, 1), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(150, 0), pal.color(QPalette::Button).rgb());
    EXPECT_EQ(panel.Color(), clYellow);
    EXPECT_FALSE(panel.ParentColor());
    EXPECT_FALSE(panel.ParentFont());
    EXPECT_EQ(panel.Font(), bar->BarFont());
}

TEST(StatusBarEx, OwnerDrawHandlerDrawsOwnerDrawPanelsOnly) {
    auto bar = Bar(300);
    QList<int> drawn;
    QList<QRect> rects;
    bar->OnDrawPanel = [&](TStatusBarPro&, TStatusPanelPro& panel, QPainter& painter, const QRect& rect) {
        drawn << panel.Index();
        rects << rect;
        painter.fillRect(rect, Qt::magenta);
    };
    bar->Panels().Add().SetWidth(100);
    bar->Panels().Add().SetStyle(psOwnerDraw);
    const QImage image = Shot(*bar);
    EXPECT_EQ(drawn, QList<int>({1}));
    EXPECT_EQ(rects, QList<QRect>({bar->PanelDrawRect(1)}));
    EXPECT_EQ(image.pixel(150, 9), qRgb(255, 0, 255));
    EXPECT_NE(image.pixel(50, 9), qRgb(255, 0, 255));
    EXPECT_FALSE(bar->Panels()[1].NeedsRefresh());
}

TEST(StatusBarEx, ClicksGoToThePanelElseTheBar) {
    auto bar = Bar(300);
    bar->Panels().Add().SetWidth(100);
    bar->Panels().Add();
    QStringList clicks;
    bar->Panels()[0].OnClick = [&](TStatusPanelPro&) {
        clicks << "panel0";
    };
    bar->Panels()[0].OnDblClick = [&](TStatusPanelPro&) {
        clicks << "dbl0";
    };
    bar->OnClick = [&](TStatusBarPro&) {
        clicks << "bar";
    };
    bar->OnDblClick = [&](TStatusBarPro&) {
        clicks << "dblbar";
    };
    Send(*bar, QEvent::MouseButtonPress, QPoint(20, 5));
    Send(*bar, QEvent::MouseButtonRelease, QPoint(20, 5));
    Send(*bar, QEvent::MouseButtonPress, QPoint(200, 5));
    Send(*bar, QEvent::MouseButtonRelease, QPoint(200, 5));
    Send(*bar, QEvent::MouseButtonDblClick, QPoint(20, 5));
    Send(*bar, QEvent::MouseButtonDblClick, QPoint(200, 5));
    EXPECT_EQ(clicks, QStringList({"panel0", "bar", "dbl0", "dblbar"}));
    EXPECT_EQ(bar->PanelUnderMouse(), 1);
}

TEST(StatusBarEx, ContextPopupGoesToThePanelFirst) {
    auto bar = Bar(300);
    bar->Panels().Add().SetWidth(100);
    bar->Panels().Add();
    QStringList calls;
    bar->Panels()[0].OnContextPopup = [&](TStatusPanelPro&, QPoint, bool& handled) {
        calls << "panel";
        handled = true;
    };
    bar->OnContextPopup = [&](TStatusBarPro&, QPoint, bool&) {
        calls << "bar";
    };
    QContextMenuEvent first(QContextMenuEvent::Mouse, QPoint(10, 5));
    QApplication::sendEvent(bar.get(), &first);
    QContextMenuEvent second(QContextMenuEvent::Mouse, QPoint(150, 5));
    QApplication::sendEvent(bar.get(), &second);
    EXPECT_EQ(calls, QStringList({"panel", "bar"}));
}

TEST(StatusBarEx, AutoHintWritesStatusTipsIntoItsPanel) {
    QWidget window;
    auto* bar = new TStatusBarPro(&window);
    bar->Panels().Add();
    bar->Panels().Add();
    bar->SetAutoHintPanelIndex(1);
    bar->SetAutoHintPanelIndex(7); // no such panel: ignored
    EXPECT_EQ(bar->AutoHintPanelIndex(), 1);
    bar->SetAutoHint(true);
    QStatusTipEvent tip(QStringLiteral("Open the\nhost list"));
    QApplication::sendEvent(&window, &tip);
    EXPECT_EQ(bar->Panels()[1].Text(), "Open the host list");
    bar->OnHint = [](TStatusBarPro&, const QString& hint) {
        return hint.startsWith(u'!');
    };
    QStatusTipEvent taken(QStringLiteral("!taken"));
    QApplication::sendEvent(&window, &taken);
    EXPECT_EQ(bar->Panels()[1].Text(), "Open the host list");
    bar->SetSimplePanel(true);
    bar->ShowAutoHint(QStringLiteral("simple\r\ntext"));
    EXPECT_EQ(bar->SimpleText(), "simple text");
}

TEST(StatusBarEx, FlipChildrenReversesThePanels) {
    auto bar = Bar(500);
    bar->SetSizeGrip(false);
    bar->Panels().Add().SetWidth(100);
    bar->Panels().Add().SetWidth(150);
    bar->Panels().Add().SetWidth(50);
    bar->Panels()[0].SetText(QStringLiteral("a"));
    bar->Panels()[2].SetText(QStringLiteral("c"));
    bar->FlipChildren();
    EXPECT_EQ(bar->Panels()[0].Text(), "c");
    EXPECT_EQ(bar->Panels()[2].Text(), "a");
    EXPECT_EQ(bar->Panels()[0].Width(), 250); // what the last panel had on the bar
    EXPECT_EQ(bar->Panels()[2].Width(), 100);
}

TEST(StatusBarEx, SetPanelSetsTextAndColour) {
    auto bar = Bar(300);
    bar->Panels().Add();
    bar->SetPanel(0, QStringLiteral("Monitoring is NOT active"), clRed);
    EXPECT_EQ(bar->Panels()[0].Text(), "Monitoring is NOT active");
    EXPECT_EQ(bar->Panels()[0].FontColor(), clRed);
    bar->SetPanel(5, QStringLiteral("nowhere"), clRed); // ignored
    EXPECT_EQ(bar->Panels().Count(), 1);
}

TEST(StatusBarEx, TheMainWindowsPanels) {
    auto bar = Bar(1100);
    const int widths[] = {1, 220, 165, 150, 170, 155, 150};
    for (int i = 0; i < 7; ++i) {
        TStatusPanelPro& panel = bar->Panels().Add();
        panel.SetWidth(widths[i]);
        panel.SetStyle(i == 0 ? psText : psOwnerDraw);
        if (i >= 1 && i <= 5)
            panel.SetAlignment(Qt::AlignHCenter);
    }
    bar->SetPanel(1, QStringLiteral("Sound: on"), clWindowText);
    bar->SetPanel(2, QStringLiteral("Monitoring is active"), clBlack);
    bar->SetPanel(3, QStringLiteral("2 hosts OK"), clGreen);
    bar->SetPanel(4, QStringLiteral("1 host down"), clRed);
    bar->SetPanel(5, QStringLiteral("1 host disabled"), clWindowText);
    bar->SetPanel(6, QStringLiteral("Next check in 2 s"), clWindowText);
    bar->show();
    const QImage image = Shot(*bar);
    SaveShot(image, QStringLiteral("statusbar-main.png"));
    EXPECT_EQ(bar->PanelRect(6), QRect(861, 0, 239, 19));
    // Each centred text sits in the middle of its panel.
    for (int i = 1; i <= 5; ++i) {
        const QRect area = bar->PanelDrawRect(i);
        const QRgb background = image.pixel(area.topLeft());
        const auto [first, last] = TextColumns(image, area, background);
        ASSERT_NE(first, -1) << i;
        const int leftGap = first - area.left();
        const int rightGap = area.right() - last;
        // Centred, then moved 2 px right as after an image: 4 px more on the left.
        EXPECT_NEAR(leftGap - 4, rightGap, 2) << i;
    }
}
