// The status bar of the main window: a row of panels the bar paints itself, each with its own
// text, colour, font, image, indent, automatic width, hint, menu, click events and embedded
// control, and a size grip at the right end.
#pragma once

#include "grid/widgets/GxSharedDraw.h"

#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include <QMenu>
class QPainter;
class QSizeGrip;
class TStatusBarPro;
class TStatusPanelsPro;

enum TStatusPanelBevel : uint8_t { pbNone, pbLowered, pbRaised };
enum TStatusPanelStyle : uint8_t { psText, psOwnerDraw };

// Pictures of one size for the panels' ImageIndex.
struct TStatusImageList {
    QSize Size{16, 16};
    QVector<QPixmap> Images;
};

class TStatusPanelPro {
public:
    explicit TStatusPanelPro(TStatusPanelsPro& Owner);
    ~TStatusPanelPro();
    TStatusPanelPro(const TStatusPanelPro&) = delete;
    TStatusPanelPro& operator=(const TStatusPanelPro&) = delete;

    int Index() const;

    const QString& Text() const { return FText; }
    void SetText(const QString& Value);
    const QString& Hint() const { return FHint; }
    void SetHint(const QString& Value) { FHint = Value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }

    // Width is ignored while AutoSize or AutoWidth is on and kept within MinWidth..MaxWidth.
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int Value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int Value);
    // AutoWidth: as wide as text and image need. AutoSize: a share of what the fixed panels
    // leave. Each switches the other off.
    bool AutoWidth() const { return FAutoWidth; }
    void SetAutoWidth(bool Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    // Background; ParentColor takes the bar's. Setting Color clears ParentColor.
    TColor Color() const;
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);

    // Font and font colour; ParentFont takes the bar's. Setting either clears ParentFont.
    QFont Font() const;
    void SetFont(const QFont& Value);
    TColor FontColor() const;
    void SetFontColor(TColor Value);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);

    Qt::Alignment Alignment() const { return FAlignment; } // Qt::AlignLeft, AlignRight or AlignHCenter
    void SetAlignment(Qt::Alignment Value);
    TStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TStatusPanelBevel Value);
    // Right to left reading; ParentBiDiMode takes the bar's layout direction.
    bool RightToLeft() const;
    void SetRightToLeft(bool Value);
    bool ParentBiDiMode() const { return FParentBiDiMode; }
    void SetParentBiDiMode(bool Value);
    int Indent() const { return FIndent; }
    void SetIndent(int Value);
    TStatusPanelStyle Style() const { return FStyle; }
    void SetStyle(TStatusPanelStyle Value);

    // A widget shown inside the panel; the bar becomes its parent and it leaves any other panel.
    QWidget* Control() const { return FControl; }
    void SetControl(QWidget* Value);

    std::function<void(TStatusPanelPro&)> OnClick;
    std::function<void(TStatusPanelPro&)> OnDblClick;
    // Handled preset to false; a handled request goes no further.
    std::function<void(TStatusPanelPro&, QPoint, bool& Handled)> OnContextPopup;

    // Set by a change, cleared when the bar has painted the panel.
    bool NeedsRefresh() const { return FNeedsRefresh; }

private:
    friend class TStatusBarPro;
    friend class TStatusPanelsPro;
    void Changed(bool Relayout);
    TStatusBarPro& Bar() const;

    TStatusPanelsPro& FOwner;
    QString FText;
    QString FHint;
    int FImageIndex = -1;
    QPointer<QMenu> FPopupMenu;
    int FWidth = 50;
    int FMinWidth = 0;
    int FMaxWidth = 10000;
    bool FAutoWidth = false;
    bool FAutoSize = false;
    TColor FColor = clBtnFace;
    bool FParentColor = true;
    QFont FFont;
    TColor FFontColor = clWindowText;
    bool FParentFont = true;
    Qt::Alignment FAlignment = Qt::AlignLeft;
    TStatusPanelBevel FBevel = pbLowered;
    bool FRightToLeft = false;
    bool FParentBiDiMode = true;
    int FIndent = 0;
    TStatusPanelStyle FStyle = psText;
    QPointer<QWidget> FControl;
    bool FNeedsRefresh = true;
};

class TStatusPanelsPro {
public:
    explicit TStatusPanelsPro(TStatusBarPro& Bar) : FBar(Bar) {}

    TStatusPanelPro& Add();
    TStatusPanelPro& Insert(int Index);
    void Delete(int Index);
    void Clear();
    int Count() const { return int(FItems.size()); }
    TStatusPanelPro& Items(int Index) const { return *FItems.at(size_t(Index)); }
    TStatusPanelPro& operator[](int Index) const { return Items(Index); }
    int IndexOf(const TStatusPanelPro& Panel) const;
    // Reverses the order of the panels (see TStatusBarPro::FlipChildren).
    void Reverse();

    // Refreshes one panel, or every panel when none is given.
    void Update(TStatusPanelPro* Item = nullptr);

    TStatusBarPro& Bar() const { return FBar; }

private:
    TStatusBarPro& FBar;
    std::vector<std::unique_ptr<TStatusPanelPro>> FItems;
};

class TStatusBarPro : public QWidget {
    Q_OBJECT

public:
    // The common height of the bar, the width the size grip takes, and the most panels laid out.
    static constexpr int BarHeight = 19;
    static constexpr int GripWidth = 16;
    static constexpr int MaxPanels = 128;

    explicit TStatusBarPro(QWidget* parent = nullptr);
    ~TStatusBarPro() override;

    TStatusPanelsPro& Panels() { return *FPanels; }
    const TStatusPanelsPro& Panels() const { return *FPanels; }

    // Convenience for the program's state panels: text and font colour at once.
    void SetPanel(int Index, const QString& Text, TColor FontColor);

    const TStatusImageList* Images() const { return FImages; }
    void SetImages(const TStatusImageList* Value); // not owned

    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool Value);
    const QString& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const QString& Value);

    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool Value);
    // On: the bar's font is the system's hint font.
    bool UseSystemFont() const { return FUseSystemFont; }
    void SetUseSystemFont(bool Value);
    QFont BarFont() const;
    void SetBarFont(const QFont& Value); // switches UseSystemFont off
    TColor BarFontColor() const { return FFontColor; }
    void SetBarFontColor(TColor Value);

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    // Status tips of the window go into panel AutoHintPanelIndex (or SimpleText), line breaks
    // as blanks, unless OnHint takes them.
    bool AutoHint() const { return FAutoHint; }
    void SetAutoHint(bool Value);
    int AutoHintPanelIndex() const { return FAutoHintPanelIndex; }
    void SetAutoHintPanelIndex(int Value); // only an existing panel's index is taken
    void ShowAutoHint(const QString& Hint);

    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }

    // The widths the panels get at the bar's current width (first MaxPanels panels).
    std::vector<int> PanelWidths() const;
    // A panel's place on the bar (empty beyond MaxPanels and in simple mode).
    QRect PanelRect(int Index) const;
    // The rectangle DrawPanel paints: inside the bevel; the last panel's stops before the grip.
    QRect PanelDrawRect(int Index) const;
    // The panel under a point, -1 when none.
    int PanelAt(QPoint Pos) const;
    int PanelUnderMouse() const { return FMousePanel; }

    // Draws one panel: the owner-draw handler, or colour, image and text by the panel's rules.
    virtual void DrawPanel(QPainter& Painter, TStatusPanelPro& Panel, const QRect& Rect);

    // Reverses the panels; the first then takes the width the last one had on the bar and the
    // last the first one's width.
    void FlipChildren();

    // Lays the panels out and places their controls (called by every change).
    void UpdatePanels();

    std::function<void(TStatusBarPro&, TStatusPanelPro&, QPainter&, const QRect&)> OnDrawPanel;
    // Returns true when it took the hint.
    std::function<bool(TStatusBarPro&, const QString&)> OnHint;
    std::function<void(TStatusBarPro&)> OnClick;
    std::function<void(TStatusBarPro&)> OnDblClick;
    std::function<void(TStatusBarPro&, QPoint, bool& Handled)> OnContextPopup;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TStatusPanelPro;
    friend class TStatusPanelsPro;
    TStatusPanelPro* PanelOrNull(int Index) const;
    void PanelChanged(TStatusPanelPro& Panel, bool Relayout);
    void ReleaseControl(QWidget* Control, const TStatusPanelPro* Keeper);
    void PlaceControls();
    void PlaceGrip();
    void DrawBevel(QPainter& Painter, const QRect& Rect, TStatusPanelBevel Bevel) const;
    int AutoWidthOf(const TStatusPanelPro& Panel) const;
    int ImageWidthOf(const TStatusPanelPro& Panel) const;
    void WatchStatusTips();

    std::unique_ptr<TStatusPanelsPro> FPanels;
    QSizeGrip* FGrip = nullptr;
    const TStatusImageList* FImages = nullptr;
    QPointer<QMenu> FPopupMenu;
    QPointer<QWidget> FTipWindow;
    QString FSimpleText;
    QFont FFont;
    TColor FFontColor = clWindowText;
    TColor FColor = clBtnFace;
    int FAutoHintPanelIndex = 0;
    int FMousePanel = -1;
    bool FSimplePanel = false;
    bool FSizeGrip = true;
    bool FUseSystemFont = true;
    bool FAutoHint = false;
};
