// The Qt backend of drag and drop: MIME data over our data objects and data objects over
// foreign MIME data, an event filter that turns a registered widget's drag events into the
// drop target calls, QDrag for the drag itself, QClipboard, and the press watch for drag starts.
// A drop from one of our own sources reaches that source's data object, so the target's
// feedback is written back to it.
#pragma once

#include "desktop/DragDropBackend.h"

#include <QElapsedTimer>
#include <QMimeData>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <utility>
#include <vector>

// The prefix of the MIME types that carry formats by name.
inline constexpr const char* FormatMimePrefix = "application/x-zt-clipboard-format;name=";

// CF_UNICODETEXT is text/plain, "Rich Text Format" text/rtf, "CSV" text/csv; any other named
// format has a MIME type of its own (a registered name that is itself a MIME type stands for
// itself). Empty for an id without a name.
QString MimeTypeOfFormat(TClipFormat Format);
// The reverse; a MIME type we do not know becomes a format of that name.
TClipFormat FormatOfMimeType(const QString& MimeType);
// A medium's bytes as the MIME type carries them (UTF-8 text, texts without their closing
// zero), and back.
QByteArray MediumToMimeBytes(TClipFormat Format, const QByteArray& Bytes);
QByteArray MimeToMediumBytes(TClipFormat Format, const QByteArray& Bytes);

uint32_t KeyStateOf(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers);
uint32_t EffectsOfActions(Qt::DropActions Actions);
// COPY, else MOVE, else LINK; IgnoreAction for none.
Qt::DropAction ActionOfEffect(uint32_t Effect);

// MIME data whose formats and bytes come from a data object, rendered when asked for.
class TDataObjectMimeData : public QMimeData {
    Q_OBJECT
public:
    // DataObject and Source are borrowed; Keep holds a data object that only this one uses.
    TDataObjectMimeData(IDataObject* DataObject, IDropSource* Source = nullptr,
                        std::shared_ptr<IDataObject> Keep = nullptr);

    IDataObject* DataObject() const { return FDataObject; }
    IDropSource* DropSource() const { return FSource; }
    // The data object is gone: nothing more is offered.
    void Detach();
    // Our own target refused the drop at the source's word.
    bool DropCancelled() const { return FDropCancelled; }
    void SetDropCancelled(bool Value) { FDropCancelled = Value; }

    QStringList formats() const override;
    bool hasFormat(const QString& MimeType) const override;

protected:
    QVariant retrieveData(const QString& MimeType, QMetaType Type) const override;

private:
    IDataObject* FDataObject;
    IDropSource* FSource;
    std::shared_ptr<IDataObject> FKeep;
    bool FDropCancelled = false;
};

// A read-only data object over foreign MIME data: each MIME type as one format in global memory.
class TMimeDataObject : public TDataObjectBase {
public:
    // Borrowed: valid while the drag that brought it lasts.
    explicit TMimeDataObject(const QMimeData* Data);
    explicit TMimeDataObject(std::unique_ptr<QMimeData> Data);

    HRESULT GetData(const TFormatEtc& Format, TStgMedium& Medium) override;
    HRESULT QueryGetData(const TFormatEtc& Format) override;
    HRESULT SetData(const TFormatEtc& Format, TStgMedium& Medium, bool Release) override;
    HRESULT EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) override;

private:
    void ReadFormats();
    const QString* MimeTypeOf(TClipFormat Format) const;

    std::unique_ptr<QMimeData> FOwned;
    QPointer<QMimeData> FData;
    std::vector<std::pair<TClipFormat, QString>> FFormats;
};

class TQtDragDropBackend : public QObject, public IDragDropBackend {
    Q_OBJECT
public:
    TQtDragDropBackend();
    ~TQtDragDropBackend() override;

    HRESULT RegisterDragDrop(QWidget* Window, IDropTarget* Target) override;
    HRESULT RevokeDragDrop(QWidget* Window) override;
    HRESULT DoDragDrop(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects, uint32_t* Effect,
                       const TDragImage& Image, QObject* DragSource) override;
    HRESULT SetClipboard(IDataObject* DataObject) override;
    std::shared_ptr<IDataObject> GetClipboard() override;
    HRESULT FlushClipboard() override;
    HRESULT IsCurrentClipboard(IDataObject* DataObject) override;
    bool DragButtonsDown() override;
    QSize DragDistance() override;
    std::unique_ptr<IDragStartInput> CaptureForDragStart(QWidget* Window) override;
    uint32_t TickCount() override;
    QPoint CursorPos() override;
    QWidget* WidgetAt(QPoint ScreenPoint) override;
    int ScrollBarExtent() override;

private:
    QElapsedTimer FClock;
    // Registered widgets and the filters that serve them (a filter dies with its widget).
    std::map<QWidget*, QPointer<QObject>> FRegistered;
    QPointer<TDataObjectMimeData> FClipboardData;
};
