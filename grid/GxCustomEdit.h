// The in-place editor as the table control model sees it: the edit properties that need no
// display, the text the control holds, value access in every type, and the notification that
// tells the columns and the grid when an editor goes away.
#pragma once

#include "grid/GxTypes.h"

#include <QLocale>
#include <QString>
#include <functional>
#include <vector>

struct TEditorSetup;
struct TGridFont;

// Left and right inner margins of an edit control, in pixels.
class TGxEditMargins {
public:
    int Left() const { return FLeft; }
    int Right() const { return FRight; }
    void SetLeft(int value);
    void SetRight(int value);
    std::function<void()> OnChange;

private:
    int FLeft = 0;
    int FRight = 0;
};

// What changed on an edit, for the control that shows it.
enum TEditChange : uint8_t {
    ecAlignment,
    ecBorder,
    ecColor,
    ecMargins,
    ecLimits, // MaxLength, PasswordChar, ReadOnly, CharCase
    ecPreview,
    ecLocale,
};

class TGxCustomEdit {
public:
    TGxCustomEdit();
    virtual ~TGxCustomEdit();
    TGxCustomEdit(const TGxCustomEdit&) = delete;
    TGxCustomEdit& operator=(const TGxCustomEdit&) = delete;

    // The text the control holds.
    virtual QString Text() const = 0;
    virtual void SetText(const QString& value) = 0;

    // Value access: the base converts the text with Locale(). Boolean: the text as a Boolean;
    // date-time: 0 for an empty text, else the text parsed; Float, Integer: the text as a
    // number. The setters write "True"/"False", the locale's short date-time, the general number
    // form with ASCII digits and no exponent, and decimal text. Bad text raises the grid's
    // conversion errors.
    virtual bool GetAsBoolean() const;
    virtual double GetAsDateTime() const;
    virtual double GetAsFloat() const;
    virtual int32_t GetAsInteger() const;
    virtual QString GetAsString() const { return Text(); }
    virtual void SetAsBoolean(bool value);
    virtual void SetAsDateTime(double value);
    virtual void SetAsFloat(double value);
    virtual void SetAsInteger(int32_t value);
    virtual void SetAsString(const QString& value) { SetText(value); }

    // Published properties that need no display.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value) { FAutoSize = value; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TGxEditMargins& EditMargins() { return FEditMargins; }
    const TGxEditMargins& EditMargins() const { return FEditMargins; }
    bool PreviewBorder() const { return FPreviewBorder; }
    void SetPreviewBorder(bool value);
    bool ShowPreview() const { return FShowPreview; }
    void SetShowPreview(bool value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    QChar PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(QChar value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value);
    // Inside a grid the editor leaves the mouse wheel and list keys to the grid.
    bool EmbeddedInGrid() const { return FEmbeddedInGrid; }
    void SetEmbeddedInGrid(bool value) { FEmbeddedInGrid = value; }
    // Numbers and dates follow this locale (the grid's while the editor is embedded).
    const QLocale& Locale() const { return FLocale; }
    void SetLocale(const QLocale& value);

    // Applies what a column asks of its built-in editor before it is shown.
    virtual void ApplySetup(const TEditorSetup& setup);
    // The grid has loaded the editor's text (Precision, ItemIndex and the like follow).
    virtual void SyncSetup(const TEditorSetup& setup);
    // The cell's colour and the column's font while editing.
    virtual void SetEditLook(TColor color, const TGridFont& font) {
        Q_UNUSED(font);
        SetColor(color);
    }
    // The grid starts editing: all text selected, or the caret at the end.
    virtual void StartedByGrid(bool selectAll) { Q_UNUSED(selectAll); }
    // A character arrives as if typed.
    virtual void TypeCharacter(QChar key) { SetText(Text() + key); }
    // The edit is about to be read for storing (a number edit rewrites its text from Value).
    virtual void EditingDone() {}
    // While a drop-down of the editor is open, its focus loss does not end the edit.
    virtual bool PopupOpen() const { return false; }
    virtual bool IsComboBox() const { return false; }
    virtual int ItemIndex() const { return -1; }

    // Told once when the editor is destroyed; owner identifies the entry.
    using TFreeObserver = std::function<void(TGxCustomEdit* edit)>;
    void AddFreeObserver(const void* owner, TFreeObserver observer);
    void RemoveFreeObserver(const void* owner);

protected:
    // A property changed: the control shows it.
    virtual void EditChanged(TEditChange change) { Q_UNUSED(change); }

private:
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSelect = true;
    bool FAutoSize = true;
    TBorderStyle FBorderStyle = bsSingle;
    int FBorderWidth = 0;
    TColor FColor = clWindow;
    TGxEditMargins FEditMargins;
    bool FPreviewBorder = true;
    bool FShowPreview = false;
    bool FWantTabs = false;
    int FMaxLength = 0;
    QChar FPasswordChar;
    bool FReadOnly = false;
    TEditCharCase FCharCase = ecNormal;
    bool FEmbeddedInGrid = false;
    QLocale FLocale;
    std::vector<std::pair<const void*, TFreeObserver>> FFreeObservers;
};
