// A tray icon whose 16 x 16 picture is drawn from short lines of text on a background colour,
// optionally framed and laid over a background icon.
#pragma once

#include "desktop/NotifyTrayIcon.h"
#include "grid/widgets/GxSharedDraw.h"

#include <QFont>
#include <QImage>
#include <QString>

// Shifts of the drawn text.
struct TOffsetOptions {
    int OffsetX = 0;
    int OffsetY = 0;
    int LineDistance = 0;
    bool operator==(const TOffsetOptions&) const = default;
};

// Everything the picture is drawn from.
struct TTextIconLook {
    QString Text; // lines separated by CR (character 13)
    QFont Font;   // its pixel size is what counts on a 16 x 16 picture
    TColor FontColor = clWindowText;
    TColor Color = clBtnFace; // background; clNone allowed
    bool Border = false;
    TColor BorderColor = clBlack;
    TOffsetOptions Options;
    QImage BackgroundIcon; // a null image is none
};

class TTextTrayIcon : public TNotifyTrayIcon {
    Q_OBJECT

public:
    static constexpr int IconSize = 16;

    explicit TTextTrayIcon(std::unique_ptr<ITrayIconBackend> Backend, QObject* parent = nullptr);

    // Every setter draws the picture again and makes it the icon.
    const TTextIconLook& Look() const { return FLook; }
    void SetLook(const TTextIconLook& Value);
    void SetText(const QString& Value);
    void SetFont(const QFont& Value);
    void SetFontColor(TColor Value);
    void SetColor(TColor Value);
    void SetBorder(bool Value);
    void SetBorderColor(TColor Value);
    void SetOptions(const TOffsetOptions& Value);
    void SetBackgroundIcon(const QImage& Value);

    // The text picture alone (step one of the icon), 16 x 16, opaque.
    QImage RenderTextIcon() const { return RenderTextIcon(FLook); }
    static QImage RenderTextIcon(const TTextIconLook& Look);
    // The final icon picture: the text picture, or the text over the background icon with the
    // background colour transparent.
    static QImage RenderIconImage(const TTextIconLook& Look);

    // The background colour of the text picture: Color, or the inverted font colour when
    // Color is clNone or equals the font colour (so the text stays readable).
    static TColor TextBackground(const TTextIconLook& Look);

private:
    template <class T, class V> void Set(T TTextIconLook::*Member, const V& Value) {
        FLook.*Member = Value;
        Render();
    }
    void Render();

    TTextIconLook FLook;
};
