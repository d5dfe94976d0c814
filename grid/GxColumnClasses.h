// The concrete column kinds of the table control: how each stores its cells, shows them as
// text, accepts typed characters and prepares its in-place editor.
#pragma once

#include "grid/GxColumns.h"

#include <QObject>
#include <memory>

// An image list as the model knows it: the widget's list object and its image width.
struct TImageListRef {
    QObject* List = nullptr;
    int Width = 0;
    bool Assigned() const { return List != nullptr; }
};

class TGxTextColumn : public TGxCustomColumn {
public:
    TGxTextColumn();
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool value);
    QChar PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(QChar value);
    const QString& TextAfter() const { return FTextAfter; }
    void SetTextAfter(const QString& value);
    const QString& TextBefore() const { return FTextBefore; }
    void SetTextBefore(const QString& value);

    TEditorClass GetEditorClass() const override { return TEditorClass::TGxEdit; }
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TTextColumnDisplay; }
    uint8_t GetColumnFlags() const override { return 10; }
    int MeasureTextWidth(const QString& text) const override;
    bool GetMultiLine() const override { return FMultiLine; }
    void GetDisplayText(const TCellInfo& info, QString& text) const override;
    bool AcceptsChar(QChar key) const override { return key.unicode() > 32; }
    void PrepareEditor(TEditorSetup& setup) const override;
    void Assign(const TGxCustomColumn& source) override;

private:
    int FMaxLength = 0;
    bool FMultiLine = false;
    QChar FPasswordChar;
    QString FTextAfter;
    QString FTextBefore;
};

class TGxPopupColumn : public TGxTextColumn {
public:
    TEditorClass GetEditorClass() const override { return TEditorClass::TGxPopupEdit; }
    std::function<void(TGxCustomColumn* sender)> OnCloseUp;
    std::function<void(TGxCustomColumn* sender)> OnSelect;
};

class TGxStringsColumn : public TGxPopupColumn {
public:
    bool AutoDropDown() const { return FAutoDropDown; }
    void SetAutoDropDown(bool value) { FAutoDropDown = value; }
    TDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TDisplayMode value) { FDisplayMode = value; }
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value) { FDropDownCount = value; }
    const TImageListRef& Images() const { return FImages; }
    void SetImages(const TImageListRef& value) { FImages = value; }
    QStringList& Items() { return FItems; }
    const QStringList& Items() const { return FItems; }
    void SetItems(const QStringList& value) { FItems = value; }
    int ListWidth() const { return FListWidth; }
    void SetListWidth(int value) { FListWidth = value; }

    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TStringsColumnDisplay; }
    void PrepareEditor(TEditorSetup& setup) const override;
    void Assign(const TGxCustomColumn& source) override;

private:
    bool FAutoDropDown = false;
    TDisplayMode FDisplayMode = dmTextOnly;
    int FDropDownCount = 8;
    TImageListRef FImages;
    QStringList FItems;
    int FListWidth = 0;
};

// Cells hold an item index; the item's text is shown.
class TGxListColumn : public TGxStringsColumn {
public:
    TGxListColumn();
    // The list's own "sorted items" switch (distinct from the column's sort flag).
    bool ItemsSorted() const { return FItemsSorted; }
    void SetItemsSorted(bool value) { FItemsSorted = value; }

    TEditorClass GetEditorClass() const override { return TEditorClass::TGxComboBox; }
    void GetDisplayText(const TCellInfo& info, QString& text) const override;
    bool AcceptsChar(QChar key) const override;
    void PrepareEditor(TEditorSetup& setup) const override;
    void SyncEditor(TEditorSetup& setup, const QString& text) const override;
    bool GetEditorValue(QString& text) const override;
    void GetInputValue(QString& text) const override { GetInputText(text); }
    void GetInputText(QString& text) const override;

private:
    bool FItemsSorted = false;
};

class TGxDateColumn : public TGxPopupColumn {
public:
    TGxDateColumn();
    QChar DateSeparator() const { return FDateSeparator; }
    void SetDateSeparator(QChar value) { FDateSeparator = value; }
    const QString& EmptyCaption() const { return FEmptyCaption; }
    void SetEmptyCaption(const QString& value);
    const QString& FormatMask() const { return FFormatMask; }
    void SetFormatMask(const QString& value);
    bool HideWhenEmpty() const { return FHideWhenEmpty; }
    void SetHideWhenEmpty(bool value);
    const QString& NoneCaption() const { return FNoneCaption; }
    void SetNoneCaption(const QString& value) { FNoneCaption = value; }
    bool ShowNoneButton() const { return FShowNoneButton; }
    void SetShowNoneButton(bool value) { FShowNoneButton = value; }
    TStartDayOfWeek StartDay() const { return FStartDay; }
    void SetStartDay(TStartDayOfWeek value) { FStartDay = value; }
    const QString& TodayCaption() const { return FTodayCaption; }
    void SetTodayCaption(const QString& value) { FTodayCaption = value; }

    TEditorClass GetEditorClass() const override { return TEditorClass::TGxDatePicker; }
    void LocaleChanged() override;
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TDateColumnDisplay; }
    void GetDisplayText(const TCellInfo& info, QString& text) const override;
    bool AcceptsChar(QChar key) const override;
    void PrepareEditor(TEditorSetup& setup) const override;

private:
    QChar FDateSeparator = u'/';
    QString FEmptyCaption;
    QString FFormatMask;
    bool FHideWhenEmpty = false;
    QString FNoneCaption = QStringLiteral("None");
    bool FShowNoneButton = true;
    TStartDayOfWeek FStartDay = dwSunday;
    QString FTodayCaption = QStringLiteral("Today");
    QString FTodayDefault; // the computed default, replaced when the locale changes
};

class TGxCustomNumberColumn : public TGxCustomColumn {
public:
    TGxCustomNumberColumn();
    TGxNumberEditOptions EditOptions() const { return FEditOptions; }
    void SetEditOptions(TGxNumberEditOptions value) { FEditOptions = value; }
    const QString& EmptyCaption() const { return FEmptyCaption; }
    void SetEmptyCaption(const QString& value);
    const QString& FormatMask() const { return FFormatMask; }
    void SetFormatMask(const QString& value);
    bool HideWhenEmpty() const { return FHideWhenEmpty; }
    void SetHideWhenEmpty(bool value);
    double Max() const { return FMax; }
    void SetMax(double value) { FMax = value; }
    double Min() const { return FMin; }
    void SetMin(double value) { FMin = value; }
    const QString& TextAfter() const { return FTextAfter; }
    void SetTextAfter(const QString& value);
    const QString& TextBefore() const { return FTextBefore; }
    void SetTextBefore(const QString& value);

    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TNumberColumnDisplay; }
    uint8_t GetColumnFlags() const override { return 10; }
    void GetDisplayText(const TCellInfo& info, QString& text) const override;
    bool AcceptsChar(QChar key) const override;
    void PrepareEditor(TEditorSetup& setup) const override;
    void Assign(const TGxCustomColumn& source) override;

private:
    TGxNumberEditOptions FEditOptions = eoAllowFloat;
    QString FEmptyCaption;
    QString FFormatMask;
    bool FHideWhenEmpty = false;
    double FMax = 0;
    double FMin = 0;
    QString FTextAfter;
    QString FTextBefore;
};

class TGxNumberColumn : public TGxCustomNumberColumn {
public:
    TGxNumberColumn();
    double Increment() const { return FIncrement; }
    void SetIncrement(double value) { FIncrement = value; }
    int Precision() const { return FPrecision; }
    void SetPrecision(int value) { FPrecision = value; }
    bool SpinButtons() const { return FSpinButtons; }
    void SetSpinButtons(bool value) { FSpinButtons = value; }

    TEditorClass GetEditorClass() const override { return TEditorClass::TGxSpinEdit; }
    void PrepareEditor(TEditorSetup& setup) const override;
    void SyncEditor(TEditorSetup& setup, const QString& text) const override;
    void Assign(const TGxCustomColumn& source) override;

private:
    double FIncrement = 1.0;
    int FPrecision = 0;
    bool FSpinButtons = true;
};

class TGxCheckBoxColumn : public TGxCustomColumn {
public:
    TGxCheckBoxColumn();
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TCheckBoxColumnDisplay; }
    TPlayClass GetPlayClass() const override { return TPlayClass::TCheckBoxColumnPlay; }
    uint8_t GetColumnFlags() const override { return 10; }
    std::function<void(TGxCustomColumn* sender)> OnChange;
};

// Running row numbers from 1.
class TGxIncrementColumn : public TGxCustomColumn {
public:
    TGxIncrementColumn();
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TIncrementColumnDisplay; }
    uint8_t GetColumnFlags() const override { return 8; }
    void GetDisplayText(const TCellInfo& info, QString& text) const override;
};

class TGxImageColumn : public TGxCustomColumn {
public:
    TGxImageColumn();
    const TImageListRef& Images() const { return FImages; }
    void SetImages(const TImageListRef& value) { FImages = value; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { FTransparent = value; }
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TImageColumnDisplay; }
    uint8_t GetColumnFlags() const override { return 8; }
    void Assign(const TGxCustomColumn& source) override;

private:
    TImageListRef FImages;
    bool FTransparent = true;
};

class TGxTreeColumn : public TGxCustomColumn {
public:
    TGxTreeColumn();
    bool ExpandLock() const { return FExpandLock; }
    void SetExpandLock(bool value) { FExpandLock = value; }
    bool HighlightButton() const { return FHighlightButton; }
    void SetHighlightButton(bool value);
    const TImageListRef& Images() const { return FImages; }
    void SetImages(const TImageListRef& value);
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool value);

    TEditorClass GetEditorClass() const override { return TEditorClass::TGxEdit; }
    TDisplayClass GetDisplayClass() const override { return TDisplayClass::TTreeColumnDisplay; }
    TPlayClass GetPlayClass() const override { return TPlayClass::TTreeColumnPlay; }
    uint8_t GetColumnFlags() const override { return 15; }
    bool AcceptsChar(QChar key) const override { return key.unicode() > 32; }
    void GetContentIndent(int level, int& left) const override;

private:
    bool FExpandLock = false;
    bool FHighlightButton = false;
    TImageListRef FImages;
    bool FShowButtons = true;
    bool FShowLines = false;
};

// The kinds by which a grid adds columns.
enum class TGxColumnKind : uint8_t {
    Text,
    CheckBox,
    Number,
    CustomNumber,
    Increment,
    Image,
    List,
    Date,
    Tree,
    Strings,
    Popup,
};

std::unique_ptr<TGxCustomColumn> CreateGridColumn(TGxColumnKind kind);

// Float text by a format mask ("0.00", "#,##0.0", literal text around the digits).
QString FormatFloatMask(const QString& mask, double value, const QLocale& locale);
// Date-time text by a format mask (d, dd, ddd, dddd, m, mm, mmm, mmmm, yy, yyyy, h, hh, n, nn,
// s, ss, "/" the date separator, ":" the time separator, quoted literals).
QString FormatDateTimeMask(const QString& mask, double value, const QLocale& locale, QChar dateSeparator);
