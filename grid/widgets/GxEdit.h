// Edit controls of the table control family on the framework's line edit: the text edit with
// margins, glyph and preview child, the number edit with its key filter and paste cleaning,
// and the spin edit with its button pair. Inside a grid they are the in-place editors.
#pragma once

#include "grid/GxColumns.h"
#include "grid/GxNumberText.h"
#include "grid/widgets/GxSharedDraw.h"

#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <functional>

class TGxEdit;

// The child at the left edge of an edit that draws the glyph and the preview box.
class TGxEditInfo : public QWidget {
    Q_OBJECT
public:
    explicit TGxEditInfo(TGxEdit* edit);
    // Glyph width + 4, plus 20 with ShowPreview; 0 when there is nothing to show.
    int InfoWidth() const;
    // The preview box inside the frame (client coordinates of the info child).
    QRect PreviewRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TGxEdit* FEdit;
};

class TGxEdit : public QLineEdit, public TGxCustomEdit {
    Q_OBJECT
public:
    explicit TGxEdit(QWidget* parent = nullptr);
    ~TGxEdit() override;

    QString Text() const override { return text(); }
    void SetText(const QString& value) override;

    // The glyph at the left; its bottom-left pixel is the transparent colour.
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& glyph);
    TGxEditInfo& Info() const { return *FInfo; }
    // Margins as sent to the line edit: left = EditMargins.Left (doubled plus 25 with
    // ShowPreview) plus the glyph width + 4; right = EditMargins.Right plus the buttons.
    int LeftMargin() const;
    int RightMargin() const;
    // Width of the buttons at the right edge (none here).
    virtual int ButtonsWidth() const { return 0; }

    std::function<void(TGxEdit* sender)> OnChange;
    std::function<void(TGxEdit* sender, QPainter& canvas, const QRect& rect)> OnCustomPreviewDraw;
    std::function<void(TGxEdit* sender)> OnGlyphClick;
    // While the grid owns the editor its own change event is quiet.
    void SetOwnEventsQuiet(bool value) { FOwnEventsQuiet = value; }

    void SetEditLook(TColor color, const TGridFont& font) override;
    void StartedByGrid(bool selectAll) override;
    void TypeCharacter(QChar key) override;

protected:
    void EditChanged(TEditChange change) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void UpdateMargins();

private:
    void TextChangedByControl(const QString& text);

    QPixmap FGlyph;
    TGxEditInfo* FInfo;
    bool FOwnEventsQuiet = false;
    bool FCasing = false;
};

// A number edit: typed keys pass the number filter, every paste path is cleaned, and the text
// is read as Value within Min and Max.
class TGxCustomNumberEdit : public TGxEdit {
    Q_OBJECT
public:
    explicit TGxCustomNumberEdit(QWidget* parent = nullptr);

    double Max() const { return FFormat.Max; }
    void SetMax(double value) { FFormat.Max = value; }
    double Min() const { return FFormat.Min; }
    void SetMin(double value) { FFormat.Min = value; }
    const QString& NullText() const { return FFormat.NullText; }
    void SetNullText(const QString& value);
    TGxNumberEditOptions Options() const { return FFormat.Options; }
    void SetOptions(TGxNumberEditOptions value) { FFormat.Options = value; }
    int Precision() const { return FFormat.Precision; }
    void SetPrecision(int value);
    const QString& TextAfter() const { return FFormat.TextAfter; }
    void SetTextAfter(const QString& value);
    const QString& TextBefore() const { return FFormat.TextBefore; }
    void SetTextBefore(const QString& value);
    const TNumberFormat& Format() const { return FFormat; }

    // Read: NullText gives 0, an empty text Min, else the cleaned text within the range (the
    // last good value when it does not parse). Write: the text the value is shown as.
    double Value() const;
    void SetValue(double value);
    // The clipboard's text through the paste rules, in place of the selection.
    void Paste(const QString& text);
    void PasteClipboard();

    // A cell's text in the exponent form is written out in full.
    void SetText(const QString& value) override;
    double GetAsFloat() const override { return Value(); }
    // The nearest whole number; a value outside 32 bits raises the integer conversion error.
    int32_t GetAsInteger() const override;
    void SetAsFloat(double value) override { SetValue(value); }
    void SetAsInteger(int32_t value) override { SetValue(value); }
    void ApplySetup(const TEditorSetup& setup) override;
    void SyncSetup(const TEditorSetup& setup) override;
    void EditingDone() override;

protected:
    QChar Decimal() const { return DecimalSeparator(Locale()); }
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void Reformat();

private:
    TNumberCaret Caret() const;
    TNumberFormat FFormat;
    mutable double FLastGood = 0;
    bool FUpdating = false;
};

class TGxSpinEdit;

// The up and down buttons of a spin edit, SM_CXVSCROLL wide at the right edge: a press spins
// at once and, held for 400 ms, again every 20 ms until the release.
class TGxSpinButtons : public QWidget {
    Q_OBJECT
public:
    static constexpr int RepeatDelayMs = 400;
    static constexpr int RepeatIntervalMs = 20;
    explicit TGxSpinButtons(TGxSpinEdit* edit);
    // 1 up, 2 down, 0 none.
    int Pressed() const { return FPressed; }
    int Hot() const { return FHot; }
    // Starts the spin of a direction as a press does (also for the arrow keys).
    void Press(int direction);
    void Release();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TGxSpinEdit* FEdit;
    int FPressed = 0;
    int FHot = 0;
    QTimer FDelay;
    QTimer FRepeat;
};

class TGxSpinEdit : public TGxCustomNumberEdit {
    Q_OBJECT
public:
    explicit TGxSpinEdit(QWidget* parent = nullptr);

    double Increment() const { return FIncrement; }
    void SetIncrement(double value) { FIncrement = value; }
    bool SpinButtons() const { return FSpinButtons; }
    void SetSpinButtons(bool value);
    TGxSpinButtons& Buttons() const { return *FButtons; }
    int ButtonsWidth() const override;
    // One step: 1 up, 2 down (see SpinTarget); read-only edits do nothing.
    void Spin(int direction);
    std::function<void(TGxSpinEdit* sender, int direction)> OnSpin;
    void ApplySetup(const TEditorSetup& setup) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double FIncrement = 1.0;
    bool FSpinButtons = true;
    TGxSpinButtons* FButtons;
    int FWheelRest = 0;
};
