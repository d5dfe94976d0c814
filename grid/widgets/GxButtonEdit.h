// Edits with a button at the right edge: the button edit, the pop-up edit that opens a
// drop-down window under itself, and the combo box with its string list and typing search.
#pragma once

#include "grid/widgets/GxEdit.h"
#include "grid/widgets/GxPopupControl.h"

#include <QElapsedTimer>

class TGxCustomButtonEdit;

enum TGxEditOption : uint8_t { epDisablePaste = 1, epDisableTyping = 2 };
using TGxEditOptions = uint8_t;

// The button of a button edit: 21 pixels wide at the right edge, full client height.
class TGxSmallButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int ButtonWidth = 21;
    explicit TGxSmallButton(TGxCustomButtonEdit* edit);
    bool Pressed() const { return FPressed; }
    void SetPressed(bool value);
    bool Hot() const { return FHot; }
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& value);
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& value);

protected:
    // The face: a themed button part (pressed, hot, normal or disabled) on a rectangle one
    // pixel larger than the button, else a classic push button; then the glyph or caption.
    void paintEvent(QPaintEvent* event) override;
    virtual void PaintGlyph(QPainter& canvas, const QRect& rect);
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    TGxCustomButtonEdit* Edit() const { return FEdit; }

private:
    TGxCustomButtonEdit* FEdit;
    bool FPressed = false;
    bool FHot = false;
    QPixmap FGlyph;
    QString FCaption;
};

// The ellipsis button of a plain button edit.
class TGxExecuteButton : public TGxSmallButton {
    Q_OBJECT
public:
    explicit TGxExecuteButton(TGxCustomButtonEdit* edit);
};

// The arrow button of a pop-up edit.
class TDropDownButton : public TGxSmallButton {
    Q_OBJECT
public:
    explicit TDropDownButton(TGxCustomButtonEdit* edit);

protected:
    void PaintGlyph(QPainter& canvas, const QRect& rect) override;
};

class TGxCustomButtonEdit : public TGxEdit {
    Q_OBJECT
public:
    explicit TGxCustomButtonEdit(QWidget* parent = nullptr);

    TGxEditOptions Options() const { return FOptions; }
    void SetOptions(TGxEditOptions value) { FOptions = value; }
    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool value);
    TGxSmallButton& Button() const { return *FButton; }
    int ButtonsWidth() const override { return FShowButton ? TGxSmallButton::ButtonWidth : 0; }

    std::function<void(TGxCustomButtonEdit* sender)> OnButtonClick;
    std::function<void(TGxCustomButtonEdit* sender)> OnButtonDown;

    // The button's mouse: a left press focuses the edit, shows the button pressed and fires
    // OnButtonDown; the release of a pressed button over it fires OnButtonClick.
    void ButtonPressed();
    void ButtonReleased(bool over);

protected:
    // For subclasses with another button.
    TGxCustomButtonEdit(QWidget* parent, TGxSmallButton* (*makeButton)(TGxCustomButtonEdit*));
    virtual void ButtonDown();
    virtual void ButtonClick();

    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void PlaceButton();

private:
    TGxSmallButton* FButton;
    TGxEditOptions FOptions = 0;
    bool FShowButton = true;
};

class TGxButtonEdit : public TGxCustomButtonEdit {
    Q_OBJECT
public:
    using TGxCustomButtonEdit::TGxCustomButtonEdit;
};

// An edit that opens a drop-down window under itself at (-1, client height). The edit keeps
// the focus: Alt+Up or Alt+Down toggles the window, Enter closes it, Esc cancels it, and losing
// the focus closes it.
class TGxPopupEdit : public TGxCustomButtonEdit {
    Q_OBJECT
public:
    explicit TGxPopupEdit(QWidget* parent = nullptr);
    ~TGxPopupEdit() override;

    TDropDownStyle Style() const { return FStyle; }
    void SetStyle(TDropDownStyle value);
    bool HideFocus() const { return FHideFocus; }
    void SetHideFocus(bool value) { FHideFocus = value; }
    // The drop-down window, made on first use.
    TGxPopupControl* Popup();
    bool DroppedDown() const { return FPopup && !FPopup->Closed(); }
    bool PopupOpen() const override { return DroppedDown(); }
    void DropDown();
    void CloseUp();

    std::function<void(TGxPopupEdit* sender)> OnCloseUp;
    std::function<void(TGxPopupEdit* sender)> OnSelect;

    void ApplySetup(const TEditorSetup& setup) override;

protected:
    virtual TGxPopupControl* CreatePopup();
    // Size and content of the window before it shows.
    virtual void PreparePopup(TGxPopupControl& popup);
    // The window chose a text.
    virtual void PopupSelected(const QString& text);
    // Enter while open.
    virtual void PopupEnter() { CloseUp(); }
    // Whether typed characters are dropped in dsDropDownList style.
    virtual bool SwallowsTyping() const { return false; }
    void ButtonDown() override;
    void EditChanged(TEditChange change) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void FireSelect();

private:
    void PopupClosed();
    TGxPopupControl* FPopup = nullptr;
    TDropDownStyle FStyle = dsDropDown;
    bool FHideFocus = false;
};

class TGxComboBox : public TGxPopupEdit {
    Q_OBJECT
public:
    explicit TGxComboBox(QWidget* parent = nullptr);

    QStringList& Items() { return FItems; }
    const QStringList& Items() const { return FItems; }
    void SetItems(const QStringList& value);
    int ItemIndex() const override { return FItemIndex; }
    // Updates the text (outside loading), the open list and the preview.
    void SetItemIndex(int value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value) { FItemHeight = std::max(value, 1); }
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value) { FDropDownCount = std::max(value, 1); }
    int ListWidth() const { return FListWidth; }
    void SetListWidth(int value) { FListWidth = value; }
    TColor DropDownColor() const { return FDropDownColor; }
    void SetDropDownColor(TColor value) { FDropDownColor = value; }
    TColor SelectionColor() const { return FSelectionColor; }
    void SetSelectionColor(TColor value) { FSelectionColor = value; }
    TColor HighlightTextColor() const { return FHighlightTextColor; }
    void SetHighlightTextColor(TColor value) { FHighlightTextColor = value; }
    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& value);
    TItemsDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TItemsDisplayMode value);
    TDrawingOptions DrawingOptions() const { return FDrawingOptions; }
    void SetDrawingOptions(TDrawingOptions value) { FDrawingOptions = value; }
    bool AutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(bool value) { FAutoComplete = value; }
    int AutoCompleteDelay() const { return FAutoCompleteDelay; }
    void SetAutoCompleteDelay(int value) { FAutoCompleteDelay = value; }
    bool AutoDropDown() const { return FAutoDropDown; }
    void SetAutoDropDown(bool value) { FAutoDropDown = value; }
    bool Loading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }

    TGxPopupList* PopupList();
    // The list's size: ListWidth (the edit's width when 0, never narrower) by
    // min(DropDownCount, item count) rows of ItemHeight + 4.
    QSize ListSize() const;
    QString ItemText(int index) const { return ItemDisplayText(FItems, index, FDisplayMode); }
    // The first item (in dmValueList the first value) that starts with text, any case; -1.
    int FindItem(const QString& text) const;

    bool IsComboBox() const override { return true; }
    void ApplySetup(const TEditorSetup& setup) override;
    void SyncSetup(const TEditorSetup& setup) override;

    // Fires when typing selects another item.
    std::function<void(TGxComboBox* sender)> OnClick;
    std::function<void(TGxComboBox* sender, QPainter& canvas, int index, bool selected, const QRect& rect)>
        OnDrawItem;

protected:
    TGxPopupControl* CreatePopup() override;
    void PreparePopup(TGxPopupControl& popup) override;
    void PopupSelected(const QString& text) override;
    void PopupEnter() override;
    bool SwallowsTyping() const override { return true; }
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Algorithm of typing: true when the key was taken.
    bool TypeKey(QChar key);
    bool Backspace();
    void TextEdited(const QString& text);
    void ShowFocusColors(bool focused);

    QStringList FItems;
    int FItemIndex = -1;
    int FItemHeight = 16;
    int FDropDownCount = 8;
    int FListWidth = 0;
    TColor FDropDownColor = clWindow;
    TColor FSelectionColor = clHighlight;
    TColor FHighlightTextColor = clHighlightText;
    QList<QPixmap> FImages;
    TItemsDisplayMode FDisplayMode = dmDefault;
    TDrawingOptions FDrawingOptions = doNormal;
    bool FAutoComplete = false;
    int FAutoCompleteDelay = 750;
    bool FAutoDropDown = false;
    bool FLoading = false;
    bool FSettingText = false;
    QString FSearch;
    QElapsedTimer FLastKey;
    int FWheelRest = 0;
    bool FFocusColors = false;
    QPalette FPlainPalette;
};
