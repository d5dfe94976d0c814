// Edits with a button: button edit, pop-up edit and combo box.
#include "grid/widgets/GxButtonEdit.h"
#include "grid/GxConvert.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWheelEvent>

namespace {

int EditFrame(const QLineEdit& edit) {
    return edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) : 0;
}

TGxSmallButton* MakeExecuteButton(TGxCustomButtonEdit* edit) {
    return new TGxExecuteButton(edit);
}

TGxSmallButton* MakeDropDownButton(TGxCustomButtonEdit* edit) {
    return new TDropDownButton(edit);
}

bool IsTypedCharacter(const QKeyEvent* event) {
    const QString text = event->text();
    return !text.isEmpty() && text[0].isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

} // namespace

// ---- buttons ------------------------------------------------------------------------------

TGxSmallButton::TGxSmallButton(TGxCustomButtonEdit* edit) : QWidget(edit), FEdit(edit) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void TGxSmallButton::SetPressed(bool value) {
    if (FPressed != value) {
        FPressed = value;
        update();
    }
}

void TGxSmallButton::SetGlyph(const QPixmap& value) {
    FGlyph = value;
    update();
}

void TGxSmallButton::SetCaption(const QString& value) {
    FCaption = value;
    update();
}

void TGxSmallButton::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    const bool enabled = FEdit->isEnabled();
    if (ThemesActive()) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = rect().adjusted(-1, -1, 1, 1);
        option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus | QStyle::State_Enabled);
        if (enabled)
            option.state |= QStyle::State_Enabled;
        option.state |= FPressed ? QStyle::State_Sunken : QStyle::State_Raised;
        if (FHot && enabled)
            option.state |= QStyle::State_MouseOver;
        canvas.fillRect(rect(), palette().color(QPalette::Button));
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &canvas, this);
    } else if (FPressed) {
        canvas.fillRect(rect(), ColorToQColor(clBtnFace, palette()));
        const QColor shadow = ColorToQColor(clBtnShadow, palette());
        Draw3DFrame(canvas, rect(), shadow, shadow);
    } else {
        DrawButtonFrame(canvas, rect(), false, palette());
        Draw3DFrame(canvas, rect(), ColorToQColor(clBtnHighlight, palette()), Qt::black);
    }
    PaintGlyph(canvas, FPressed ? rect().translated(1, 1) : rect());
}

void TGxSmallButton::PaintGlyph(QPainter& canvas, const QRect& rect) {
    if (!FGlyph.isNull()) {
        canvas.drawPixmap(rect.left() + (rect.width() - FGlyph.width()) / 2,
                          rect.top() + (rect.height() - FGlyph.height()) / 2, FGlyph);
        return;
    }
    canvas.setPen(ColorToQColor(FEdit->isEnabled() ? clBtnText : clGrayText, palette()));
    canvas.drawText(rect, Qt::AlignCenter, FCaption);
}

void TGxSmallButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FEdit->ButtonPressed();
    event->accept();
}

void TGxSmallButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FEdit->ButtonReleased(rect().contains(event->position().toPoint()));
    event->accept();
}

void TGxSmallButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    FHot = true;
    update();
}

void TGxSmallButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    FHot = false;
    update();
}

TGxExecuteButton::TGxExecuteButton(TGxCustomButtonEdit* edit) : TGxSmallButton(edit) {
    SetCaption(QStringLiteral("..."));
}

TDropDownButton::TDropDownButton(TGxCustomButtonEdit* edit) : TGxSmallButton(edit) {}

void TDropDownButton::PaintGlyph(QPainter& canvas, const QRect& rect) {
    const QColor color = ColorToQColor(Edit()->isEnabled() ? clBtnText : clGrayText, palette());
    const int cx = rect.left() + rect.width() / 2;
    const int cy = rect.top() + rect.height() / 2 - 1;
    for (int i = 0; i < 4; ++i)
        canvas.fillRect(QRect(cx - 3 + i, cy + i, 7 - 2 * i, 1), color);
}

// ---- button edit --------------------------------------------------------------------------

TGxCustomButtonEdit::TGxCustomButtonEdit(QWidget* parent) : TGxCustomButtonEdit(parent, MakeExecuteButton) {}

TGxCustomButtonEdit::TGxCustomButtonEdit(QWidget* parent, TGxSmallButton* (*makeButton)(TGxCustomButtonEdit*))
    : TGxEdit(parent), FButton(makeButton(this)) {
    FButton->setObjectName(QStringLiteral("Button"));
    UpdateMargins();
    PlaceButton();
}

void TGxCustomButtonEdit::SetShowButton(bool value) {
    FShowButton = value;
    UpdateMargins();
    PlaceButton();
}

void TGxCustomButtonEdit::PlaceButton() {
    const int frame = EditFrame(*this);
    FButton->setGeometry(width() - frame - TGxSmallButton::ButtonWidth, frame, TGxSmallButton::ButtonWidth,
                         std::max(height() - 2 * frame, 0));
    FButton->setVisible(FShowButton);
}

void TGxCustomButtonEdit::ButtonPressed() {
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    FButton->SetPressed(true);
    ButtonDown();
}

void TGxCustomButtonEdit::ButtonReleased(bool over) {
    if (!FButton->Pressed())
        return;
    FButton->SetPressed(false);
    if (over)
        ButtonClick();
}

void TGxCustomButtonEdit::ButtonDown() {
    if (OnButtonDown)
        OnButtonDown(this);
}

void TGxCustomButtonEdit::ButtonClick() {
    if (OnButtonClick)
        OnButtonClick(this);
}

void TGxCustomButtonEdit::keyPressEvent(QKeyEvent* event) {
    if (FOptions & epDisablePaste && event->matches(QKeySequence::Paste)) {
        event->accept();
        return;
    }
    if (FOptions & epDisableTyping) {
        const int key = event->key();
        if (IsTypedCharacter(event) || key == Qt::Key_Backspace || key == Qt::Key_Delete ||
            key == Qt::Key_Clear || event->matches(QKeySequence::Cut) ||
            event->matches(QKeySequence::Paste)) {
            event->accept();
            return;
        }
    }
    TGxEdit::keyPressEvent(event);
}

void TGxCustomButtonEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (FOptions & epDisableTyping) {
        event->accept();
        return;
    }
    TGxEdit::inputMethodEvent(event);
}

void TGxCustomButtonEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection under X11.
    if (event->button() == Qt::MiddleButton && FOptions & (epDisablePaste | epDisableTyping)) {
        event->accept();
        return;
    }
    TGxEdit::mouseReleaseEvent(event);
}

void TGxCustomButtonEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if ((FOptions & (epDisablePaste | epDisableTyping) && name == QLatin1String("edit-paste")) ||
            (FOptions & epDisableTyping &&
             (name == QLatin1String("edit-cut") || name == QLatin1String("edit-delete") ||
              name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo"))))
            action->setEnabled(false);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TGxCustomButtonEdit::dropEvent(QDropEvent* event) {
    if (FOptions & (epDisablePaste | epDisableTyping)) {
        event->ignore();
        return;
    }
    TGxEdit::dropEvent(event);
}

void TGxCustomButtonEdit::resizeEvent(QResizeEvent* event) {
    TGxEdit::resizeEvent(event);
    PlaceButton();
}

void TGxCustomButtonEdit::changeEvent(QEvent* event) {
    TGxEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        FButton->update();
}

// ---- pop-up edit --------------------------------------------------------------------------

TGxPopupEdit::TGxPopupEdit(QWidget* parent) : TGxCustomButtonEdit(parent, MakeDropDownButton) {}

TGxPopupEdit::~TGxPopupEdit() {
    if (FPopup)
        FPopup->OnCloseUp = nullptr;
}

void TGxPopupEdit::SetStyle(TDropDownStyle value) {
    FStyle = value;
    EditChanged(ecLimits);
}

void TGxPopupEdit::EditChanged(TEditChange change) {
    TGxCustomButtonEdit::EditChanged(change);
    if (change != ecLimits)
        return;
    // A list style shows the chosen text only: read-only with the arrow cursor.
    setReadOnly(ReadOnly() || FStyle == dsDropDownList);
    setCursor(FStyle == dsDropDownList ? Qt::ArrowCursor : Qt::IBeamCursor);
}

TGxPopupControl* TGxPopupEdit::CreatePopup() {
    return new TGxPopupControl(this);
}

TGxPopupControl* TGxPopupEdit::Popup() {
    if (!FPopup) {
        FPopup = CreatePopup();
        FPopup->OnCloseUp = [this](TGxPopupControl*) {
            PopupClosed();
        };
        FPopup->OnSelect = [this](TGxPopupControl*, const QString& text) {
            PopupSelected(text);
        };
    }
    return FPopup;
}

void TGxPopupEdit::PreparePopup(TGxPopupControl& popup) {
    Q_UNUSED(popup);
}

void TGxPopupEdit::DropDown() {
    if (DroppedDown() || !isVisible())
        return;
    TGxPopupControl* popup = Popup();
    popup->setFont(font());
    popup->resize(width(), popup->height());
    PreparePopup(*popup);
    const QPoint at = mapToGlobal(QPoint(-1, height()));
    popup->PopupAt(at.x(), at.y());
    Button().SetPressed(true);
}

void TGxPopupEdit::CloseUp() {
    if (DroppedDown())
        FPopup->CloseUp(); // PopupClosed follows
}

void TGxPopupEdit::PopupClosed() {
    Button().SetPressed(false);
    if (OnCloseUp)
        OnCloseUp(this);
}

void TGxPopupEdit::FireSelect() {
    if (OnSelect)
        OnSelect(this);
}

void TGxPopupEdit::PopupSelected(const QString& text) {
    setText(text);
    FireSelect();
    CloseUp();
}

void TGxPopupEdit::ButtonDown() {
    TGxCustomButtonEdit::ButtonDown();
    if (DroppedDown())
        CloseUp();
    else
        DropDown();
}

void TGxPopupEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && event->modifiers() & Qt::AltModifier) {
        if (DroppedDown())
            CloseUp();
        else
            DropDown();
        event->accept();
        return;
    }
    if (DroppedDown() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        PopupEnter();
        event->accept();
        return;
    }
    if (DroppedDown() && key == Qt::Key_Escape) {
        FPopup->Cancel();
        event->accept();
        return;
    }
    if (FStyle == dsDropDownList && SwallowsTyping() && IsTypedCharacter(event)) {
        event->accept();
        return;
    }
    TGxCustomButtonEdit::keyPressEvent(event);
}

void TGxPopupEdit::mousePressEvent(QMouseEvent* event) {
    if (FStyle == dsDropDownList && event->button() == Qt::LeftButton) {
        if (!hasFocus())
            setFocus(Qt::MouseFocusReason);
        if (DroppedDown())
            CloseUp();
        else
            DropDown();
        event->accept();
        return;
    }
    TGxCustomButtonEdit::mousePressEvent(event);
}

void TGxPopupEdit::focusOutEvent(QFocusEvent* event) {
    CloseUp();
    TGxCustomButtonEdit::focusOutEvent(event);
}

void TGxPopupEdit::hideEvent(QHideEvent* event) {
    CloseUp();
    TGxCustomButtonEdit::hideEvent(event);
}

void TGxPopupEdit::ApplySetup(const TEditorSetup& setup) {
    TGxCustomButtonEdit::ApplySetup(setup);
    SetStyle(setup.Style);
}

// ---- combo box ----------------------------------------------------------------------------

TGxComboBox::TGxComboBox(QWidget* parent) : TGxPopupEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { TextEdited(text); });
    OnCustomPreviewDraw = [this](TGxEdit*, QPainter& canvas, const QRect& rect) {
        if (FItemIndex < 0 || FItemIndex >= FImages.size() || FImages[FItemIndex].isNull())
            return;
        const QPixmap& image = FImages[FItemIndex];
        canvas.drawPixmap(rect.left() + 1, rect.top() + (rect.height() - image.height()) / 2, image);
    };
}

void TGxComboBox::SetItems(const QStringList& value) {
    FItems = value;
    if (FItemIndex >= FItems.size())
        SetItemIndex(-1);
    if (DroppedDown())
        PopupList()->SetItems(FItems);
}

void TGxComboBox::SetImages(const QList<QPixmap>& value) {
    FImages = value;
    Info().update();
}

void TGxComboBox::SetDisplayMode(TItemsDisplayMode value) {
    FDisplayMode = value;
    SetItemIndex(FItemIndex);
}

TGxPopupList* TGxComboBox::PopupList() {
    return static_cast<TGxPopupList*>(Popup());
}

TGxPopupControl* TGxComboBox::CreatePopup() {
    auto* list = new TGxPopupList(this);
    list->setObjectName(QStringLiteral("PopupList"));
    list->OnDrawItem = [this](TGxPopupList*, QPainter& canvas, int index, bool selected, const QRect& rect) {
        if (OnDrawItem)
            OnDrawItem(this, canvas, index, selected, rect);
    };
    return list;
}

QSize TGxComboBox::ListSize() const {
    const int width = std::max(FListWidth > 0 ? FListWidth : this->width(), this->width());
    const int rows = std::min(FDropDownCount, int(FItems.size()));
    return QSize(width, rows * FItemHeight + 4);
}

void TGxComboBox::PreparePopup(TGxPopupControl& popup) {
    auto& list = static_cast<TGxPopupList&>(popup);
    list.resize(ListSize());
    list.SetBackgroundColor(FDropDownColor);
    list.SetHighlightColor(FSelectionColor);
    list.SetHighlightTextColor(FHighlightTextColor);
    list.SetDropDownCount(FDropDownCount);
    list.SetRowHeight(FItemHeight);
    list.SetDisplayMode(FDisplayMode);
    list.SetDrawStyle(FDrawingOptions);
    list.SetImages(FImages);
    list.SetShowImages(!FImages.isEmpty());
    list.SetItems(FItems);
    list.SetItemIndex(FItemIndex);
}

void TGxComboBox::SetItemIndex(int value) {
    if (value < -1 || value >= FItems.size())
        value = -1;
    FItemIndex = value;
    if (!FLoading) {
        FSettingText = true;
        setText(ItemText(value));
        FSettingText = false;
    }
    if (DroppedDown())
        PopupList()->SetItemIndex(value);
    Info().update();
}

void TGxComboBox::TextEdited(const QString& text) {
    if (FSettingText || FDisplayMode != dmDefault)
        return;
    // A text that is no item leaves no item chosen.
    if (FItemIndex >= 0 && (FItemIndex >= FItems.size() || FItems[FItemIndex] != text)) {
        FItemIndex = int(FItems.indexOf(text));
        Info().update();
    }
}

void TGxComboBox::PopupSelected(const QString& text) {
    Q_UNUSED(text);
    const int row = PopupList()->ItemIndex();
    SetItemIndex(row);
    FireSelect();
    CloseUp();
}

void TGxComboBox::PopupEnter() {
    TGxPopupList* list = PopupList();
    const int row = list->HotIndex() >= 0 ? list->HotIndex() : list->ItemIndex();
    if (row >= 0) {
        SetItemIndex(row);
        FireSelect();
    }
    CloseUp();
}

int TGxComboBox::FindItem(const QString& text) const {
    for (int i = 0; i < FItems.size(); ++i) {
        const QString candidate =
            FDisplayMode == dmValueList ? ItemDisplayText(FItems, i, dmValueList) : FItems[i];
        if (candidate.startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

bool TGxComboBox::TypeKey(QChar key) {
    QString search;
    if (Style() == dsDropDownList) {
        if (!FLastKey.isValid() || FLastKey.elapsed() > FAutoCompleteDelay)
            FSearch.clear();
        FLastKey.restart();
        FSearch += key;
        search = FSearch;
    } else {
        search = text().left(hasSelectedText() ? selectionStart() : cursorPosition()) + key;
    }
    if (!FAutoComplete)
        return Style() == dsDropDownList;
    const int found = FindItem(search);
    if (found < 0)
        return Style() == dsDropDownList;
    const int old = FItemIndex;
    SetItemIndex(found);
    if (old != found && OnClick)
        OnClick(this);
    const int length = int(text().size());
    const int kept = std::min(int(search.size()), length);
    setSelection(length, kept - length); // the completed rest selected, the caret after the typed part
    return true;
}

bool TGxComboBox::Backspace() {
    if (Style() != dsDropDownList || !FAutoComplete)
        return false;
    // The search loses its last character; the rest of the item stays selected.
    FSearch = text().left(hasSelectedText() ? selectionStart() : cursorPosition());
    if (!FSearch.isEmpty())
        FSearch.chop(1);
    FLastKey.restart();
    const int length = int(text().size());
    const int kept = std::min(int(FSearch.size()), length);
    setSelection(length, kept - length);
    if (OnChange)
        OnChange(this);
    return true;
}

void TGxComboBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (FAutoDropDown && !alt) {
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            CloseUp();
        else if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape && !DroppedDown() &&
                 (IsTypedCharacter(event) || key == Qt::Key_Up || key == Qt::Key_Down))
            DropDown();
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !alt) {
        const int delta = key == Qt::Key_Up ? -1 : 1;
        if (DroppedDown())
            PopupList()->MoveSelection(delta);
        else if (!FItems.isEmpty())
            SetItemIndex(std::clamp(FItemIndex + delta, 0, int(FItems.size()) - 1));
        event->accept();
        return;
    }
    if (key == Qt::Key_Backspace && Backspace()) {
        event->accept();
        return;
    }
    if (IsTypedCharacter(event) && !(Options() & epDisableTyping) && !ReadOnly()) {
        if (TypeKey(event->text()[0])) {
            if (DroppedDown())
                PopupList()->SetItemIndex(FItemIndex);
            event->accept();
            return;
        }
    }
    TGxPopupEdit::keyPressEvent(event);
}

void TGxComboBox::wheelEvent(QWheelEvent* event) {
    if (!DroppedDown() && EmbeddedInGrid()) {
        event->ignore(); // the grid has the wheel
        return;
    }
    FWheelRest += event->angleDelta().y();
    while (FWheelRest >= 120 || FWheelRest <= -120) {
        const int step = FWheelRest > 0 ? -1 : 1;
        FWheelRest += step * 120;
        if (DroppedDown())
            PopupList()->ScrollBy(step);
        else if (!FItems.isEmpty())
            SetItemIndex(std::clamp(FItemIndex + step, 0, int(FItems.size()) - 1));
    }
    event->accept();
}

void TGxComboBox::ShowFocusColors(bool focused) {
    // A focused, editable list-style box shows itself in the highlight colours.
    const bool want = focused && Style() == dsDropDownList && !ReadOnly();
    if (want == FFocusColors)
        return;
    if (want) {
        FPlainPalette = palette();
        QPalette p = palette();
        p.setColor(QPalette::Base, ColorToQColor(clHighlight, p));
        p.setColor(QPalette::Text, ColorToQColor(clHighlightText, p));
        setPalette(p);
    } else {
        setPalette(FPlainPalette);
    }
    FFocusColors = want;
}

void TGxComboBox::focusInEvent(QFocusEvent* event) {
    TGxPopupEdit::focusInEvent(event);
    ShowFocusColors(true);
}

void TGxComboBox::focusOutEvent(QFocusEvent* event) {
    ShowFocusColors(false);
    TGxPopupEdit::focusOutEvent(event);
}

void TGxComboBox::ApplySetup(const TEditorSetup& setup) {
    TGxPopupEdit::ApplySetup(setup);
    SetItems(setup.Items);
    SetDropDownCount(setup.DropDownCount);
    SetListWidth(setup.ListWidth);
    SetShowPreview(setup.ShowPreview);
    SetAutoDropDown(setup.AutoDropDown);
    // A list cell starts editing with a key that begins an item (the column checks it): the
    // search has to pick that item, or the key would be lost.
    SetAutoComplete(setup.Style == dsDropDownList);
}

void TGxComboBox::SyncSetup(const TEditorSetup& setup) {
    int index = setup.ItemIndex;
    // A list cell holds its item's index, which is no item text: the index itself chooses.
    if (index < 0 && !FItems.contains(text()))
        if (const auto number = TryTextToInt(text()); number && *number >= 0 && *number < FItems.size())
            index = *number;
    SetItemIndex(index);
}
