// Drawing the text tray icon. The text is drawn without anti-aliasing: the merge over a
// background icon keys on the exact background colour, and blended edge pixels would show as a
// fringe.
#include "desktop/TextTrayIcon.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int span = TTextTrayIcon::IconSize - 1; // the centring formulas work on 15

// Pixels of exactly this colour become transparent.
void MakeTransparent(QImage& Image, QRgb Key) {
    for (int y = 0; y < Image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(Image.scanLine(y));
        for (int x = 0; x < Image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (Key & 0xFFFFFF))
                line[x] = 0;
    }
}

} // namespace

TTextTrayIcon::TTextTrayIcon(std::unique_ptr<ITrayIconBackend> Backend, QObject* parent)
    : TNotifyTrayIcon(std::move(Backend), parent) {
    Render();
}

void TTextTrayIcon::SetLook(const TTextIconLook& Value) {
    FLook = Value;
    Render();
}

void TTextTrayIcon::SetText(const QString& Value) {
    Set(&TTextIconLook::Text, Value);
}

void TTextTrayIcon::SetFont(const QFont& Value) {
    Set(&TTextIconLook::Font, Value);
}

void TTextTrayIcon::SetFontColor(TColor Value) {
    Set(&TTextIconLook::FontColor, Value);
}

void TTextTrayIcon::SetColor(TColor Value) {
    Set(&TTextIconLook::Color, Value);
}

void TTextTrayIcon::SetBorder(bool Value) {
    Set(&TTextIconLook::Border, Value);
}

void TTextTrayIcon::SetBorderColor(TColor Value) {
    Set(&TTextIconLook::BorderColor, Value);
}

void TTextTrayIcon::SetOptions(const TOffsetOptions& Value) {
    Set(&TTextIconLook::Options, Value);
}

void TTextTrayIcon::SetBackgroundIcon(const QImage& Value) {
    Set(&TTextIconLook::BackgroundIcon, Value);
}

void TTextTrayIcon::Render() {
    SetIcon(QIcon(QPixmap::fromImage(RenderIconImage(FLook))));
}

TColor TTextTrayIcon::TextBackground(const TTextIconLook& Look) {
    if (Look.Color == clNone || Look.Color == Look.FontColor)
        return ColorToRGB(Look.FontColor) ^ 0xFFFFFF;
    return Look.Color;
}

QImage TTextTrayIcon::RenderTextIcon(const TTextIconLook& Look) {
    QImage image(IconSize, IconSize, QImage::Format_RGB32);
    image.fill(ColorToQColor(TextBackground(Look)));
    QPainter painter(&image);
    QFont font = Look.Font;
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(ColorToQColor(Look.FontColor));
    const QFontMetrics metrics(font);
    const TOffsetOptions& o = Look.Options;
    const QStringList lines = Look.Text.split(QLatin1Char('\r'));
    if (lines.size() == 1) {
        const int x = (span - metrics.horizontalAdvance(Look.Text)) / 2 + o.OffsetX;
        const int y = (span - metrics.height()) / 2 + o.OffsetY;
        painter.drawText(x, y + metrics.ascent(), Look.Text);
    } else {
        const int h = metrics.height() + o.LineDistance;
        const int top = (span - int(lines.size()) * h) / 2 + o.OffsetY;
        for (int i = 0; i < lines.size(); ++i) {
            const int x = (span - metrics.horizontalAdvance(lines[i])) / 2 + o.OffsetX;
            painter.drawText(x, top + i * h + metrics.ascent(), lines[i]);
        }
    }
    if (Look.Border) {
        painter.setPen(ColorToQColor(Look.BorderColor));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, span, span);
    }
    return image;
}

QImage TTextTrayIcon::RenderIconImage(const TTextIconLook& Look) {
    const QImage text = RenderTextIcon(Look);
    const QRgb key = ColorToQColor(TextBackground(Look)).rgb();
    if (Look.BackgroundIcon.isNull()) {
        QImage image = text.convertToFormat(QImage::Format_ARGB32);
        if (Look.Color == clNone)
            MakeTransparent(image, key);
        return image;
    }
    QImage image(IconSize, IconSize, QImage::Format_ARGB32);
    image.fill(key);
    {
        QPainter painter(&image);
        painter.drawImage(QRect(0, 0, IconSize, IconSize), Look.BackgroundIcon);
        QImage floating = text.convertToFormat(QImage::Format_ARGB32);
        MakeTransparent(floating, key);
        painter.drawImage(0, 0, floating);
    }
    MakeTransparent(image, key);
    return image;
}
