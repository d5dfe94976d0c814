// The shared vocabulary of drag and drop: clipboard formats (one format id between a data
// object and memory), data formats (the application's data and its conversions), the
// process-wide map of which clipboard formats serve which data format, the component base, the
// detector that turns a press into a drag, format names, drop effects and the unit's lifetime.
#pragma once

#include "desktop/DataTransfer.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <vector>

class QWidget;
class TClipboardFormat;
class TCustomDataFormat;
class TDragDropComponent;

// The keys and buttons held during a drag. The key bits are those of the grid's ssShift (1),
// ssAlt (2) and ssCtrl (4), so either set of names serves.
using TShiftState = uint8_t;
namespace DragShift {
inline constexpr TShiftState Shift = 1;
inline constexpr TShiftState Alt = 2;
inline constexpr TShiftState Ctrl = 4;
inline constexpr TShiftState Left = 8;
inline constexpr TShiftState Right = 16;
inline constexpr TShiftState Middle = 32;
} // namespace DragShift

// Raised by the components' own operations (never by the interface methods).
class EDragDropError : public std::runtime_error {
public:
    explicit EDragDropError(const QString& Message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Bits of a conversion's directions: a receiver may read the format; the format is offered or
// written back.
enum TDataDirectionFlag : uint8_t { ddRead = 1, ddWrite = 2 };
using TDataDirections = uint8_t;

// Which side asks for the clipboard formats of a data format.
enum TConversionSide : uint8_t { csSource = 0, csTarget = 1 };

// A class reference of a clipboard format class: its name, its parent and its default
// constructor (none for abstract classes).
struct TClipboardFormatClassInfo {
    const char* ClassName;
    const TClipboardFormatClassInfo* Parent;
    std::unique_ptr<TClipboardFormat> (*Create)();
    TDataDirections Directions;
    bool InheritsFrom(const TClipboardFormatClassInfo* Other) const;
};
using TClipboardFormatClass = const TClipboardFormatClassInfo*;

// A class reference of a data format class, with its class-level registration of conversions.
struct TDataFormatClassInfo {
    const char* ClassName;
    const TDataFormatClassInfo* Parent;
    void (*RegisterCompatibleFormats)();
    bool InheritsFrom(const TDataFormatClassInfo* Other) const;
};
using TDataFormatClass = const TDataFormatClassInfo*;

template <typename T> std::unique_ptr<TClipboardFormat> MakeClipboardFormat() {
    return std::make_unique<T>();
}

// Declares a class's class reference (defined beside its methods).
#define ZT_CLIPBOARD_FORMAT_CLASS                                                                            \
public:                                                                                                      \
    static const TClipboardFormatClassInfo ClassInfo;                                                        \
    TClipboardFormatClass ClassType() const override {                                                       \
        return &ClassInfo;                                                                                   \
    }

#define ZT_DATA_FORMAT_CLASS                                                                                 \
public:                                                                                                      \
    static const TDataFormatClassInfo ClassInfo;                                                             \
    TDataFormatClass ClassType() const override {                                                            \
        return &ClassInfo;                                                                                   \
    }

// Moves one clipboard format between a data object and memory.
class TClipboardFormat {
public:
    static const TClipboardFormatClassInfo ClassInfo;
    virtual TClipboardFormatClass ClassType() const { return &ClassInfo; }
    QString ClassName() const { return QString::fromLatin1(ClassType()->ClassName); }

    // Target none, aspect content, index -1, the given media; the id is asked of the class on
    // first use.
    explicit TClipboardFormat(uint32_t Tymed = TYMED_HGLOBAL | TYMED_ISTREAM);
    // A copy of a given format record.
    explicit TClipboardFormat(const TFormatEtc& FormatEtc);
    virtual ~TClipboardFormat();
    TClipboardFormat(const TClipboardFormat&) = delete;
    TClipboardFormat& operator=(const TClipboardFormat&) = delete;

    // Reads the data out of a filled medium (base: nothing, false).
    virtual bool DoGetData(const TStgMedium& Medium);
    // Renders the data into a new medium (base: false).
    virtual bool DoSetData(const TFormatEtc& FormatEtc, TStgMedium& Medium);
    // The id; the base raises "Internal error: <class>.GetClipboardFormat needs implementation"
    // unless an id was given.
    virtual TClipFormat GetClipboardFormat();
    virtual void SetClipboardFormat(TClipFormat Value);
    // The registered name of the id (at most 255 characters).
    virtual QString GetClipboardFormatName();
    // The base raises "<class>.ClipboardFormat is read-only".
    virtual void SetClipboardFormatName(const QString& Value);
    // The media of our mask for which DataObject answers QueryGetData with success, each bit
    // tested alone, lowest first.
    virtual uint32_t GetValidTymeds(IDataObject& DataObject);
    // True at the first single medium for which QueryGetData succeeds.
    virtual bool HasValidFormats(IDataObject& DataObject);
    // Same id, no target device, same aspect and a common medium.
    virtual bool AcceptFormat(const TFormatEtc& FormatEtc);
    // Clears, then reads our format from DataObject in the media it answers for.
    virtual bool GetData(IDataObject& DataObject);
    // Clears and reads a medium of our media; the medium is released in every case.
    virtual bool GetDataFromMedium(TStgMedium& Medium);
    // Renders a medium for FormatEtc (our id, aspect and a medium of ours) and hands it to
    // DataObject's SetData; a medium that was not handed over is released here.
    virtual bool SetDataToMedium(IDataObject& DataObject, const TFormatEtc& FormatEtc);
    // Data formats do the converting; a clipboard format does not know them.
    virtual bool AssignTo(TCustomDataFormat& DataFormat);
    virtual bool Assign(TCustomDataFormat& DataFormat);
    virtual void Clear() = 0;
    virtual bool HasData();
    virtual TDataDirections DataDirections() const { return ClassType()->Directions; }

    TClipFormat ClipboardFormat();
    // The format record with the id filled in.
    const TFormatEtc& FormatEtc();
    TCustomDataFormat* DataFormat() const { return FDataFormat; }
    void SetDataFormat(TCustomDataFormat* Value) { FDataFormat = Value; }

protected:
    TFormatEtc FFormatEtc;

private:
    TCustomDataFormat* FDataFormat = nullptr;
};

// An ordered list of clipboard formats. An owning list makes its data format their owner.
class TClipboardFormats {
public:
    explicit TClipboardFormats(TCustomDataFormat* Owner = nullptr, bool OwnsObjects = true);

    size_t Add(std::shared_ptr<TClipboardFormat> Format);
    size_t Count() const { return FFormats.size(); }
    TClipboardFormat* Formats(size_t Index) const { return FFormats[Index].get(); }
    // The first format with the id, or none.
    TClipboardFormat* FindFormat(TClipFormat Id) const;
    void Clear();
    // Empties this list, turns owning off and refers to the other list's formats.
    void Assign(const TClipboardFormats& Other);
    bool OwnsObjects() const { return FOwnsObjects; }

    auto begin() const { return FFormats.begin(); }
    auto end() const { return FFormats.end(); }

private:
    TCustomDataFormat* FOwner;
    bool FOwnsObjects;
    std::vector<std::shared_ptr<TClipboardFormat>> FFormats;
};

// One kind of application data and its conversions to and from clipboard formats.
class TCustomDataFormat {
public:
    static const TDataFormatClassInfo ClassInfo;
    virtual TDataFormatClass ClassType() const { return &ClassInfo; }

    // Adds itself to the owner's data formats; the owner fills the compatible formats.
    explicit TCustomDataFormat(TDragDropComponent* Owner);
    // Standalone: the compatible formats come from the map for one side.
    explicit TCustomDataFormat(TConversionSide Side);
    virtual ~TCustomDataFormat();
    TCustomDataFormat(const TCustomDataFormat&) = delete;
    TCustomDataFormat& operator=(const TCustomDataFormat&) = delete;

    // Fired before any change of the data.
    std::function<void(TCustomDataFormat* Sender)> OnChanging;
    virtual void Changing();

    virtual void Clear() = 0;
    // Takes the data of a clipboard format (base: the clipboard format's AssignTo).
    virtual bool Assign(TClipboardFormat& Format);
    // Gives the data to a clipboard format (base: the clipboard format's Assign).
    virtual bool AssignTo(TClipboardFormat& Format);
    // Clears, then tries the compatible formats in order while data is still needed; true
    // when one was taken.
    virtual bool GetData(IDataObject& DataObject);
    virtual bool HasData() = 0;
    virtual bool NeedsData();
    virtual bool HasValidFormats(IDataObject& DataObject);
    virtual bool AcceptFormat(const TFormatEtc& FormatEtc);

    // Made on first use; a data format with neither owner nor side raises.
    TClipboardFormats& CompatibleFormats();
    TDragDropComponent* Owner() const { return FOwner; }
    // The owner went away.
    void DetachOwner() { FOwner = nullptr; }

private:
    TDragDropComponent* FOwner = nullptr;
    int FSide = -1;
    std::unique_ptr<TClipboardFormats> FCompatibleFormats;
};

// The data formats a component carries, in creation order; not owned.
class TDataFormats {
public:
    // The index of the format (also when it was present already).
    size_t Add(TCustomDataFormat* Format);
    void Remove(TCustomDataFormat* Format);
    int IndexOf(const TCustomDataFormat* Format) const;
    size_t Count() const { return FFormats.size(); }
    TCustomDataFormat* Formats(size_t Index) const { return FFormats[Index]; }
    auto begin() const { return FFormats.begin(); }
    auto end() const { return FFormats.end(); }

    // Called for each format newly added.
    std::function<void(TCustomDataFormat*)> OnAdd;

private:
    std::vector<TCustomDataFormat*> FFormats;
};

// Holds one start of a unit for as long as it lives.
class TUnitReference {
public:
    TUnitReference(void (*Start)(), void (*Stop)()) : FStop(Stop) { Start(); }
    ~TUnitReference() { FStop(); }
    TUnitReference(const TUnitReference&) = delete;
    TUnitReference& operator=(const TUnitReference&) = delete;

private:
    void (*FStop)();
};

void DragDropUnitStart();
void DragDropUnitStop();

// The base of drop sources and targets: the data formats it carries.
class TDragDropComponent : public QObject {
    Q_OBJECT
public:
    explicit TDragDropComponent(QObject* Owner = nullptr);
    ~TDragDropComponent() override;

    TDataFormats& DataFormats() { return FDataFormats; }
    // Fills Formats with the clipboard formats of a data format class (base: none).
    virtual void GetDataFormatConversions(TDataFormatClass DataFormatClass, TClipboardFormats& Formats);
    // Design mode: never in this program.
    bool Designing() const { return false; }

private:
    TUnitReference FUnit{DragDropUnitStart, DragDropUnitStop};
    TDataFormats FDataFormats;
};

// One conversion of the map.
struct TConversionEntry {
    TDataFormatClass DataFormat;
    TClipboardFormatClass ClipboardFormat;
    int32_t Priority;
    TDataDirections Directions;
};

// Which clipboard formats serve which data format, in the order a source offers them and a
// target tries them.
class TDataFormatMap {
public:
    // Adds an entry or merges one whose classes inherit from the given ones, then places it
    // among the entries of its data format class by priority.
    void Add(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass, int32_t Priority,
             TDataDirections Directions);
    const std::vector<TConversionEntry>& Entries() const { return FEntries; }

private:
    std::vector<TConversionEntry> FEntries;
};

// The registered data format classes, without repeats.
class TDataFormatClasses {
public:
    bool Add(TDataFormatClass DataFormatClass);
    bool Contains(TDataFormatClass DataFormatClass) const;
    const std::vector<TDataFormatClass>& Classes() const { return FClasses; }

private:
    std::vector<TDataFormatClass> FClasses;
};

// The process-wide instances, made on first use (again after the unit stopped, with a note on
// the debug output).
TDataFormatMap& DataFormatMap();
TDataFormatClasses& DataFormatClasses();

// Ignored while the unit stops.
void RegisterDataConversion(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                            int32_t Priority, TDataDirections Directions);
// Adds the class (once) and lets it register its conversions. Ignored while the unit stops.
void RegisterDataFormatClass(TDataFormatClass DataFormatClass);
// New clipboard formats of every conversion of the class (or of a descendant) that serves the
// side, in map order.
void GetCompatibleFormats(TDataFormatClass DataFormatClass, TClipboardFormats& Formats, TConversionSide Side);

// Whether a press at Point (a client point of Window, or a screen point) becomes a drag: the
// pointer leaves the drag rectangle 200 ms or more after the start, or rests 500 ms.
bool DetectDragStart(QWidget* Window, QPoint Point);
inline constexpr uint32_t DragDelayMs = 200;
inline constexpr uint32_t DragHoldTimeoutMs = 500;

// "CF_TEXT" ... for the standard ids, else the registered name (empty without one).
QString GetClipboardFormatNameStr(TClipFormat Id);

// Duplicates a medium; the result code of the copy.
HRESULT CopyStgMedium(const TStgMedium& Source, TStgMedium& Dest);

enum TDragType : uint8_t { dtCopy, dtMove, dtLink };

class TDragTypes {
public:
    constexpr TDragTypes() = default;
    constexpr TDragTypes(std::initializer_list<TDragType> Types) {
        for (TDragType type : Types)
            FBits = static_cast<uint8_t>(FBits | (1u << type));
    }
    static constexpr TDragTypes FromBits(uint8_t Bits) {
        TDragTypes types;
        types.FBits = Bits;
        return types;
    }
    constexpr bool Contains(TDragType Type) const { return (FBits >> Type) & 1u; }
    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TDragTypes&) const = default;

private:
    uint8_t FBits = 0;
};

enum TDragResult : uint8_t { drDropCopy, drDropMove, drDropLink, drCancel, drOutMemory, drAsync, drUnknown };

uint32_t DragTypesToDropEffect(TDragTypes Types);
// COPY, else MOVE, else LINK; false (and dtCopy) when none is set.
bool DropEffectToDragType(uint32_t Effect, TDragType& Type);
TDragResult DropEffectToDragResult(uint32_t Effect);
TShiftState KeysToShiftState(uint32_t KeyState);
// LINK for Ctrl+Shift, COPY for Ctrl, else MOVE, masked with Allowed; when that is empty and
// FallBack, the first of COPY, MOVE, LINK that Allowed holds.
uint32_t ShiftStateToDropEffect(TShiftState ShiftState, uint32_t Allowed, bool FallBack);
// A client point relative to the window's outer rectangle.
QPoint ClientToWindow(QWidget* Window, QPoint Point);

// Runs an interface method's body: an exception becomes OnError.
template <typename TBody> HRESULT GuardedResult(TBody&& Body, HRESULT OnError = E_UNEXPECTED) noexcept {
    try {
        return Body();
    } catch (...) {
        return OnError;
    }
}
