// Edit controls of the table control family.
#include "grid/widgets/GxEdit.h"
#include "grid/GxConvert.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>

namespace {

int FrameWidth(const QLineEdit& edit) {
    return edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) : 0;
}

QPixmap TransparentGlyph(const QPixmap& glyph) {
    if (glyph.isNull())
        return glyph;
    // The bottom-left pixel names the transparent colour.
    QPixmap result = glyph;
    const QColor key = glyph.toImage().pixelColor(0, glyph.height() - 1);
    result.setMask(glyph.createMaskFromColor(key, Qt::MaskInColor));
    return result;
}

} // namespace

// ---- info child ---------------------------------------------------------------------------

TGxEditInfo::TGxEditInfo(TGxEdit* edit) : QWidget(edit), FEdit(edit) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    hide();
}

int TGxEditInfo::InfoWidth() const {
    int width = FEdit->Glyph().isNull() ? 0 : FEdit->Glyph().width() + 4;
    if (FEdit->ShowPreview())
        width += 20;
    return width;
}

QRect TGxEditInfo::PreviewRect() const {
    const int left = FEdit->Glyph().isNull() ? 0 : FEdit->Glyph().width() + 2;
    QRect box(left, 1, 20, std::max(height() - 2, 0));
    return FEdit->PreviewBorder() ? box.adjusted(1, 1, -1, -1) : box;
}

void TGxEditInfo::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    canvas.fillRect(rect(), ColorToQColor(FEdit->Color(), palette()));
    const QPixmap& glyph = FEdit->Glyph();
    if (!glyph.isNull())
        canvas.drawPixmap(0, (height() - glyph.height()) / 2, TransparentGlyph(glyph));
    if (!FEdit->ShowPreview())
        return;
    const QRect inner = PreviewRect();
    if (FEdit->PreviewBorder()) {
        const QColor gray = ColorToQColor(clGray, palette());
        Draw3DFrame(canvas, inner.adjusted(-1, -1, 1, 1), gray, gray);
    }
    if (FEdit->OnCustomPreviewDraw)
        FEdit->OnCustomPreviewDraw(FEdit, canvas, inner);
}

void TGxEditInfo::mousePressEvent(QMouseEvent* event) {
    const QPixmap& glyph = FEdit->Glyph();
    if (event->button() == Qt::LeftButton && !glyph.isNull() && event->position().x() < glyph.width() &&
        FEdit->OnGlyphClick)
        FEdit->OnGlyphClick(FEdit);
    event->accept();
}

// ---- text edit ----------------------------------------------------------------------------

TGxEdit::TGxEdit(QWidget* parent) : QLineEdit(parent), FInfo(new TGxEditInfo(this)) {
    resize(121, 20);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { TextChangedByControl(text); });
    for (TEditChange change : {ecAlignment, ecBorder, ecColor, ecLimits})
        EditChanged(change);
    UpdateMargins();
}

TGxEdit::~TGxEdit() = default;

void TGxEdit::SetText(const QString& value) {
    setText(value);
}

void TGxEdit::SetGlyph(const QPixmap& glyph) {
    FGlyph = glyph;
    UpdateMargins();
    FInfo->update();
}

int TGxEdit::LeftMargin() const {
    int left = EditMargins().Left();
    if (ShowPreview())
        left = left * 2 + 25;
    if (!FGlyph.isNull())
        left += FGlyph.width() + 4;
    return left;
}

int TGxEdit::RightMargin() const {
    return EditMargins().Right() + ButtonsWidth();
}

void TGxEdit::UpdateMargins() {
    setTextMargins(LeftMargin(), 0, RightMargin(), 0);
    const int frame = FrameWidth(*this);
    const int width = FInfo->InfoWidth();
    FInfo->setGeometry(frame, frame, width, std::max(height() - 2 * frame, 0));
    FInfo->setVisible(width > 0);
}

void TGxEdit::EditChanged(TEditChange change) {
    switch (change) {
    case ecAlignment: {
        const Qt::Alignment horizontal = Alignment() == taRightJustify ? Qt::AlignRight
                                         : Alignment() == taCenter     ? Qt::AlignHCenter
                                                                       : Qt::AlignLeft;
        setAlignment(horizontal | Qt::AlignVCenter);
        break;
    }
    case ecBorder:
        setFrame(BorderStyle() == bsSingle);
        UpdateMargins();
        update();
        break;
    case ecColor: {
        QPalette p = palette();
        p.setColor(QPalette::Base, ColorToQColor(Color(), p));
        setPalette(p);
        FInfo->update();
        break;
    }
    case ecMargins:
        UpdateMargins();
        break;
    case ecLimits:
        setMaxLength(MaxLength() > 0 ? MaxLength() : 32767);
        setEchoMode(PasswordChar().isNull() ? QLineEdit::Normal : QLineEdit::Password);
        setReadOnly(ReadOnly());
        TextChangedByControl(text());
        break;
    case ecPreview:
        FInfo->update();
        break;
    case ecLocale:
        break;
    }
}

void TGxEdit::TextChangedByControl(const QString& value) {
    if (FCasing)
        return;
    if (CharCase() != ecNormal) {
        const QString cased = CharCase() == ecUpperCase ? value.toUpper() : value.toLower();
        if (cased != value) {
            FCasing = true;
            const int cursor = cursorPosition();
            setText(cased);
            setCursorPosition(cursor);
            FCasing = false;
        }
    }
    if (OnChange && !FOwnEventsQuiet)
        OnChange(this);
}

void TGxEdit::SetEditLook(TColor color, const TGridFont& font) {
    SetColor(color);
    QFont made = font.Name.isEmpty() ? QApplication::font() : QFont(font.Name, font.Size);
    made.setBold(font.Style & fsBold);
    made.setItalic(font.Style & fsItalic);
    made.setUnderline(font.Style & fsUnderline);
    made.setStrikeOut(font.Style & fsStrikeOut);
    setFont(made);
    QPalette p = palette();
    p.setColor(QPalette::Text, ColorToQColor(font.Color, p));
    setPalette(p);
}

void TGxEdit::StartedByGrid(bool selectAll) {
    if (selectAll)
        this->selectAll();
    else
        end(false);
}

void TGxEdit::TypeCharacter(QChar key) {
    const int code = key.isLetterOrNumber() && key.unicode() < 128 ? QChar(key).toUpper().unicode() : 0;
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString(key));
    QCoreApplication::sendEvent(this, &press);
}

bool TGxEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Tab is the edit's own only while it wants tabs; else it moves the focus.
        if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && WantTabs()) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TGxEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    UpdateMargins();
}

void TGxEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (BorderWidth() <= 0)
        return;
    QPainter canvas(this);
    const QColor color = ColorToQColor(Color(), palette());
    for (int i = 0; i < BorderWidth(); ++i)
        Draw3DFrame(canvas, rect().adjusted(i, i, -i, -i), color, color);
}

void TGxEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    FInfo->update();
}

void TGxEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    FInfo->update();
}

// ---- number edit --------------------------------------------------------------------------

TGxCustomNumberEdit::TGxCustomNumberEdit(QWidget* parent) : TGxEdit(parent) {
    Reformat();
}

void TGxCustomNumberEdit::SetNullText(const QString& value) {
    FFormat.NullText = value;
    SetValue(0);
}

void TGxCustomNumberEdit::SetPrecision(int value) {
    FFormat.Precision = value;
    Reformat();
}

void TGxCustomNumberEdit::SetTextAfter(const QString& value) {
    const double current = Value();
    FFormat.TextAfter = value;
    if (!(FFormat.Options & eoAllowAll))
        SetValue(current);
}

void TGxCustomNumberEdit::SetTextBefore(const QString& value) {
    const double current = Value();
    FFormat.TextBefore = value;
    if (!(FFormat.Options & eoAllowAll))
        SetValue(current);
}

double TGxCustomNumberEdit::Value() const {
    return NumberValueOfText(text(), FFormat, Decimal(), FLastGood);
}

void TGxCustomNumberEdit::SetValue(double value) {
    if (FUpdating)
        return;
    FUpdating = true;
    setText(NumberTextOfValue(value, FFormat, Decimal()));
    FUpdating = false;
}

void TGxCustomNumberEdit::Reformat() {
    SetValue(Value());
}

void TGxCustomNumberEdit::SetText(const QString& value) {
    // The general text of a cell may carry an exponent; the number edit shows it written out.
    if (value.contains(u'E', Qt::CaseInsensitive)) {
        if (const auto number = TryTextToFloat(value, Locale())) {
            setText(PlainNumberText(*number, Decimal()));
            return;
        }
    }
    setText(value);
}

int32_t TGxCustomNumberEdit::GetAsInteger() const {
    return RoundToInt(Value(), Locale());
}

void TGxCustomNumberEdit::ApplySetup(const TEditorSetup& setup) {
    TGxEdit::ApplySetup(setup);
    FFormat.Options = setup.EditOptions;
    FFormat.Max = setup.Max;
    FFormat.Min = setup.Min;
}

void TGxCustomNumberEdit::SyncSetup(const TEditorSetup& setup) {
    // An empty text waits for the key that starts the edit: it is not turned into Min.
    if (text().isEmpty())
        FFormat.Precision = setup.Precision;
    else
        SetPrecision(setup.Precision);
}

void TGxCustomNumberEdit::EditingDone() {
    if (!(FFormat.Options & eoAllowAll))
        Reformat();
}

TNumberCaret TGxCustomNumberEdit::Caret() const {
    TNumberCaret caret;
    caret.Text = text();
    caret.SelStart = hasSelectedText() ? selectionStart() : cursorPosition();
    caret.SelLength = hasSelectedText() ? int(selectedText().size()) : 0;
    return caret;
}

void TGxCustomNumberEdit::Paste(const QString& clipboard) {
    if (isReadOnly())
        return;
    const TNumberCaret caret = Caret();
    const auto inserted =
        NumberPasteText(clipboard, caret, FFormat.Options, FFormat.Min, FFormat.Max, Decimal());
    if (!inserted)
        return;
    setText(caret.Text.left(caret.SelStart) + *inserted + caret.Text.mid(caret.SelStart + caret.SelLength));
    setCursorPosition(caret.SelStart);
}

void TGxCustomNumberEdit::PasteClipboard() {
    Paste(QGuiApplication::clipboard()->text());
}

void TGxCustomNumberEdit::keyPressEvent(QKeyEvent* event) {
    // Shortcuts are told by their key sequence: the text of a Ctrl+V event is "v".
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        event->accept();
        return;
    }
    const int key = event->key();
    if ((FFormat.Options & eoDisableTyping) &&
        (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Clear)) {
        event->accept();
        return;
    }
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QString typed = event->text();
    if (!command && !typed.isEmpty() && typed.at(0).isPrint()) {
        for (QChar c : typed)
            if (!NumberCharAccepted(c, Caret(), FFormat.Options, Decimal())) {
                event->accept();
                return;
            }
    }
    TGxEdit::keyPressEvent(event);
}

void TGxCustomNumberEdit::focusOutEvent(QFocusEvent* event) {
    // A menu of the edit's own or another window taking the focus for a while is no leaving.
    const bool leaving =
        event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
    if (!(FFormat.Options & eoAllowAll) && leaving)
        Reformat();
    TGxEdit::focusOutEvent(event);
}

void TGxCustomNumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    // The menu's paste goes through the paste rules too.
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste") &&
            !action->text().startsWith(QLineEdit::tr("&Paste")))
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this] { PasteClipboard(); });
        if (FFormat.Options & eoDisablePaste)
            action->setEnabled(false);
    }
    menu->exec(event->globalPos());
}

void TGxCustomNumberEdit::dropEvent(QDropEvent* event) {
    if ((FFormat.Options & eoDisablePaste) || isReadOnly() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    Paste(event->mimeData()->text());
    event->acceptProposedAction();
}

void TGxCustomNumberEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        event->accept();
        return;
    }
    TGxEdit::mousePressEvent(event);
}

void TGxCustomNumberEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The X11 selection pasted by the middle button is cleaned like any paste.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        Paste(QGuiApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    TGxEdit::mouseReleaseEvent(event);
}

void TGxCustomNumberEdit::inputMethodEvent(QInputMethodEvent* event) {
    if ((FFormat.Options & eoAllowAll) || event->commitString().isEmpty()) {
        TGxEdit::inputMethodEvent(event);
        return;
    }
    QString kept;
    TNumberCaret caret = Caret();
    for (QChar c : event->commitString()) {
        if (!NumberCharAccepted(c, caret, FFormat.Options, Decimal()))
            continue;
        kept += c;
        caret.Text.insert(caret.SelStart, c);
        ++caret.SelStart;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    TGxEdit::inputMethodEvent(&filtered);
}

// ---- spin buttons -------------------------------------------------------------------------

TGxSpinButtons::TGxSpinButtons(TGxSpinEdit* edit) : QWidget(edit), FEdit(edit) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
    FDelay.setSingleShot(true);
    FDelay.setInterval(RepeatDelayMs);
    FRepeat.setInterval(RepeatIntervalMs);
    connect(&FDelay, &QTimer::timeout, this, [this] { FRepeat.start(); });
    connect(&FRepeat, &QTimer::timeout, this, [this] {
        if (FPressed)
            FEdit->Spin(FPressed);
    });
}

void TGxSpinButtons::Press(int direction) {
    FPressed = direction;
    update();
    FEdit->Spin(direction);
    FRepeat.stop();
    FDelay.start();
}

void TGxSpinButtons::Release() {
    FPressed = 0;
    FDelay.stop();
    FRepeat.stop();
    update();
}

void TGxSpinButtons::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Press(event->position().y() < height() / 2.0 ? 1 : 2);
    event->accept();
}

void TGxSpinButtons::mouseReleaseEvent(QMouseEvent* event) {
    Release();
    event->accept();
}

void TGxSpinButtons::mouseMoveEvent(QMouseEvent* event) {
    const int hot = event->position().y() < height() / 2.0 ? 1 : 2;
    if (hot != FHot) {
        FHot = hot;
        update();
    }
}

void TGxSpinButtons::leaveEvent(QEvent*) {
    FHot = 0;
    update();
}

void TGxSpinButtons::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const int direction = i + 1;
        const QRect r = halves[i];
        QStyleOption option;
        option.initFrom(this);
        option.rect = r;
        if (FPressed == direction)
            option.state |= QStyle::State_Sunken;
        else
            option.state |= QStyle::State_Raised;
        if (FHot == direction && ThemesActive())
            option.state |= QStyle::State_MouseOver;
        if (!FEdit->isEnabled())
            option.state &= ~QStyle::State_Enabled;
        if (ThemesActive()) {
            style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &canvas, this);
        } else {
            DrawButtonFrame(canvas, r, FPressed != direction, palette());
            if (FPressed == direction) {
                const QColor shadow = ColorToQColor(clBtnShadow, palette());
                Draw3DFrame(canvas, r, shadow, shadow);
            }
        }
        // The arrow: a small filled triangle, grey when the edit is disabled.
        const QColor ink = ColorToQColor(FEdit->isEnabled() ? clBtnText : clGrayText, palette());
        const int cx = r.left() + r.width() / 2 + (FPressed == direction ? 1 : 0);
        const int cy = r.top() + r.height() / 2 + (FPressed == direction ? 1 : 0);
        for (int k = 0; k < 3; ++k) {
            const int y = direction == 1 ? cy - 1 + k : cy + 1 - k;
            canvas.fillRect(QRect(cx - k, y, 2 * k + 1, 1), ink);
        }
    }
}

// ---- spin edit ----------------------------------------------------------------------------

TGxSpinEdit::TGxSpinEdit(QWidget* parent) : TGxCustomNumberEdit(parent), FButtons(new TGxSpinButtons(this)) {
    SetPrecision(0);
    SetValue(0);
    UpdateMargins();
}

int TGxSpinEdit::ButtonsWidth() const {
    return FSpinButtons ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) : 0;
}

void TGxSpinEdit::SetSpinButtons(bool value) {
    FSpinButtons = value;
    FButtons->setVisible(value);
    UpdateMargins();
    resizeEvent(nullptr);
}

void TGxSpinEdit::Spin(int direction) {
    if (isReadOnly() || ReadOnly())
        return;
    if (!hasFocus() && isVisible())
        setFocus(Qt::OtherFocusReason);
    const auto target = SpinTarget(Value(), direction == 1, FIncrement, Format());
    if (!target)
        return;
    SetValue(*target);
    end(false);
    if (OnSpin)
        OnSpin(this, direction);
    setModified(true);
}

void TGxSpinEdit::ApplySetup(const TEditorSetup& setup) {
    TGxCustomNumberEdit::ApplySetup(setup);
    SetIncrement(setup.Increment);
    SetSpinButtons(setup.SpinButtons);
}

void TGxSpinEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !(event->modifiers() & Qt::AltModifier)) {
        // The key holds the matching button down; the button repeats by itself.
        if (!event->isAutoRepeat())
            FButtons->Press(key == Qt::Key_Up ? 1 : 2);
        event->accept();
        return;
    }
    TGxCustomNumberEdit::keyPressEvent(event);
}

void TGxSpinEdit::keyReleaseEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && !event->isAutoRepeat()) {
        FButtons->Release();
        event->accept();
        return;
    }
    TGxCustomNumberEdit::keyReleaseEvent(event);
}

void TGxSpinEdit::wheelEvent(QWheelEvent* event) {
    if (EmbeddedInGrid()) {
        event->ignore(); // the grid has the wheel
        return;
    }
    FWheelRest += event->angleDelta().y();
    while (FWheelRest >= 120) {
        FWheelRest -= 120;
        Spin(1);
    }
    while (FWheelRest <= -120) {
        FWheelRest += 120;
        Spin(2);
    }
    event->accept();
}

void TGxSpinEdit::resizeEvent(QResizeEvent* event) {
    if (event)
        TGxCustomNumberEdit::resizeEvent(event);
    const int frame = FrameWidth(*this);
    const int width = ButtonsWidth();
    FButtons->setGeometry(this->width() - frame - width, frame, width, std::max(height() - 2 * frame, 0));
}
