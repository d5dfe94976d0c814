// What drag and drop needs of the window system, behind one interface: drop target
// registration, the synchronous drag, the clipboard, and the input that decides whether a press
// becomes a drag. The Qt backend serves the program; the scripted one drives the same
// interfaces without a display.
#pragma once

#include "desktop/DataTransfer.h"

#include <QPixmap>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>

class QObject;
class QWidget;

// The picture that follows the pointer during a drag.
struct TDragImage {
    QPixmap Pixmap;
    QPoint HotSpot;
};

// One input message seen while deciding on a drag; Time is on the backend's tick clock.
struct TInputMessage {
    enum TKind { imMouseMove, imKeyDown, imCancelMode, imQuit };
    TKind Kind = imMouseMove;
    QPoint ScreenPoint;
    uint32_t Time = 0;
    int Key = 0;
    int ExitCode = 0;
};

// Key code of Esc in TInputMessage::Key.
inline constexpr int VK_ESCAPE = 0x1B;

// The pointer captured for one window while a press is watched; the capture ends with the
// object.
class IDragStartInput {
public:
    virtual ~IDragStartInput() = default;
    virtual bool HasCapture() = 0;
    // A button press or release waits (it is left for the window to handle).
    virtual bool ButtonMessageWaiting() = 0;
    // Removes the next pointer move, key, cancel or quit message; false when none waits.
    virtual bool TakeMessage(TInputMessage& Message) = 0;
    // Waits up to Ms for any input; false on time-out.
    virtual bool WaitForInput(uint32_t Ms) = 0;
    // A quit request seen while watching goes back to the program's loop.
    virtual void RepostQuit(int ExitCode) = 0;
};

class IDragDropBackend {
public:
    virtual ~IDragDropBackend() = default;

    // Drops over Window (and its children) go to Target from now on.
    virtual HRESULT RegisterDragDrop(QWidget* Window, IDropTarget* Target) = 0;
    virtual HRESULT RevokeDragDrop(QWidget* Window) = 0;

    // Runs a whole drag and returns when it ended: DRAGDROP_S_DROP with the effect the target
    // chose, DRAGDROP_S_CANCEL, or a failure. DragSource is the object the drag leaves from.
    virtual HRESULT DoDragDrop(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects,
                               uint32_t* Effect, const TDragImage& Image, QObject* DragSource) = 0;

    // The clipboard: DataObject (borrowed until flushed or replaced) or nothing.
    virtual HRESULT SetClipboard(IDataObject* DataObject) = 0;
    // What the clipboard holds now, or an empty pointer.
    virtual std::shared_ptr<IDataObject> GetClipboard() = 0;
    // Copies the rendered formats onto the clipboard and lets the data object go.
    virtual HRESULT FlushClipboard() = 0;
    // S_OK when DataObject is on the clipboard now, else S_FALSE.
    virtual HRESULT IsCurrentClipboard(IDataObject* DataObject) = 0;

    // Left or right mouse button down now.
    virtual bool DragButtonsDown() = 0;
    // Half the size of the rectangle the pointer must leave before a press becomes a drag.
    virtual QSize DragDistance() = 0;
    virtual std::unique_ptr<IDragStartInput> CaptureForDragStart(QWidget* Window) = 0;

    // Milliseconds on a monotonic clock.
    virtual uint32_t TickCount() = 0;
    virtual QPoint CursorPos() = 0;
    // The deepest widget under a screen point, or none.
    virtual QWidget* WidgetAt(QPoint ScreenPoint) = 0;
    // Width of a vertical and height of a horizontal scroll bar.
    virtual int ScrollBarExtent() = 0;
};

// The backend in use, made on first use (the Qt backend) unless one was set.
IDragDropBackend& DragDropBackend();
// Puts a backend in place and returns the one it replaces (empty when none was made yet).
std::unique_ptr<IDragDropBackend> SetDragDropBackend(std::unique_ptr<IDragDropBackend> Backend);

// The widget whose coordinates are a control's client coordinates: the viewport of a scroll
// area, else the control itself.
QWidget* ClientWidget(QWidget* Control);

// The deepest visible widget under a screen point, found through the top-level widgets.
QWidget* FindWidgetAt(QPoint ScreenPoint);
