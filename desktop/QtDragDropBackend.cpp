// The Qt backend: format and MIME mapping, the two data wrappers, the drop filter on registered
// widgets, QDrag, QClipboard and the press watch.
#include "desktop/QtDragDropBackend.h"

#include "desktop/DragDrop.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <deque>

// ---- formats as MIME types ---------------------------------------------------------------

namespace {

TClipFormat RichTextFormat() {
    static const TClipFormat id = RegisterClipboardFormat(QStringLiteral("Rich Text Format"));
    return id;
}

TClipFormat CSVFormat() {
    static const TClipFormat id = RegisterClipboardFormat(QStringLiteral("CSV"));
    return id;
}

// The id of a name: a standard id by its CF_ name, else the registered name.
TClipFormat FormatOfName(const QString& Name) {
    for (int id = 1; id < FirstRegisteredFormat; ++id)
        if (id <= CF_MAX_XP || (id >= CF_OWNERDISPLAY && id <= CF_DSPENHMETAFILE))
            if (GetClipboardFormatNameStr(TClipFormat(id)) == Name)
                return TClipFormat(id);
    return RegisterClipboardFormat(Name);
}

QByteArray CutAtZero(const QByteArray& Bytes) {
    const qsizetype zero = Bytes.indexOf('\0');
    return zero < 0 ? Bytes : Bytes.left(zero);
}

} // namespace

QString MimeTypeOfFormat(TClipFormat Format) {
    if (Format == CF_UNICODETEXT)
        return QStringLiteral("text/plain");
    if (Format == RichTextFormat())
        return QStringLiteral("text/rtf");
    if (Format == CSVFormat())
        return QStringLiteral("text/csv");
    const QString name = GetClipboardFormatNameStr(Format);
    if (name.isEmpty())
        return QString();
    if (name.contains(u'/'))
        return name;
    return QString::fromLatin1(FormatMimePrefix) + u'"' + name + u'"';
}

TClipFormat FormatOfMimeType(const QString& MimeType) {
    if (MimeType == QLatin1String("text/plain") || MimeType.startsWith(QLatin1String("text/plain;")))
        return CF_UNICODETEXT;
    if (MimeType == QLatin1String("text/rtf") || MimeType == QLatin1String("application/rtf"))
        return RichTextFormat();
    if (MimeType == QLatin1String("text/csv"))
        return CSVFormat();
    const QString prefix = QString::fromLatin1(FormatMimePrefix);
    if (MimeType.startsWith(prefix) && MimeType.size() > prefix.size() + 2 && MimeType.endsWith(u'"') &&
        MimeType[prefix.size()] == u'"')
        return FormatOfName(MimeType.mid(prefix.size() + 1, MimeType.size() - prefix.size() - 2));
    return RegisterClipboardFormat(MimeType);
}

QByteArray MediumToMimeBytes(TClipFormat Format, const QByteArray& Bytes) {
    if (Format == CF_UNICODETEXT) {
        QString text(reinterpret_cast<const QChar*>(Bytes.constData()), Bytes.size() / 2);
        while (text.endsWith(QChar(0)))
            text.chop(1);
        return text.toUtf8();
    }
    if (Format == RichTextFormat() || Format == CSVFormat())
        return CutAtZero(Bytes);
    return Bytes;
}

QByteArray MimeToMediumBytes(TClipFormat Format, const QByteArray& Bytes) {
    if (Format == CF_UNICODETEXT) {
        const QString text = QString::fromUtf8(Bytes);
        QByteArray units(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        units.append(2, '\0');
        return units;
    }
    if (Format == RichTextFormat() || Format == CSVFormat())
        return Bytes + QByteArray(1, '\0');
    return Bytes;
}

uint32_t KeyStateOf(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers) {
    uint32_t keys = 0;
    if (Buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (Buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (Buttons & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (Modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (Modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    if (Modifiers & Qt::AltModifier)
        keys |= MK_ALT;
    return keys;
}

uint32_t EffectsOfActions(Qt::DropActions Actions) {
    uint32_t effects = 0;
    if (Actions & Qt::CopyAction)
        effects |= DROPEFFECT_COPY;
    if (Actions & Qt::MoveAction)
        effects |= DROPEFFECT_MOVE;
    if (Actions & Qt::LinkAction)
        effects |= DROPEFFECT_LINK;
    return effects;
}

Qt::DropAction ActionOfEffect(uint32_t Effect) {
    if (Effect & DROPEFFECT_COPY)
        return Qt::CopyAction;
    if (Effect & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (Effect & DROPEFFECT_LINK)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

namespace {

Qt::DropActions ActionsOfEffects(uint32_t Effects) {
    Qt::DropActions actions;
    if (Effects & DROPEFFECT_COPY)
        actions |= Qt::CopyAction;
    if (Effects & DROPEFFECT_MOVE)
        actions |= Qt::MoveAction;
    if (Effects & DROPEFFECT_LINK)
        actions |= Qt::LinkAction;
    return actions;
}

} // namespace

// ---- MIME data over a data object --------------------------------------------------------

TDataObjectMimeData::TDataObjectMimeData(IDataObject* DataObject, IDropSource* Source,
                                         std::shared_ptr<IDataObject> Keep)
    : FDataObject(DataObject), FSource(Source), FKeep(std::move(Keep)) {}

void TDataObjectMimeData::Detach() {
    FDataObject = nullptr;
    FSource = nullptr;
    FKeep.reset();
}

QStringList TDataObjectMimeData::formats() const {
    QStringList types;
    if (!FDataObject)
        return types;
    for (const TFormatEtc& format : EnumeratedFormats(*FDataObject, DATADIR_GET)) {
        const QString type = MimeTypeOfFormat(format.cfFormat);
        if (!type.isEmpty() && !types.contains(type))
            types.append(type);
    }
    return types;
}

bool TDataObjectMimeData::hasFormat(const QString& MimeType) const {
    if (!FDataObject)
        return false;
    const TFormatEtc request{FormatOfMimeType(MimeType), nullptr, DVASPECT_CONTENT, -1,
                             TYMED_HGLOBAL | TYMED_ISTREAM};
    return FDataObject->QueryGetData(request) == S_OK;
}

QVariant TDataObjectMimeData::retrieveData(const QString& MimeType, QMetaType Type) const {
    if (!FDataObject)
        return QVariant();
    const TClipFormat format = FormatOfMimeType(MimeType);
    TStgMedium medium;
    const TFormatEtc request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM};
    if (Failed(FDataObject->GetData(request, medium)))
        return QVariant();
    const QByteArray bytes = MediumToMimeBytes(format, MediumBytes(medium));
    if (Type.id() == QMetaType::QString)
        return QString::fromUtf8(bytes);
    return bytes;
}

// ---- data object over foreign MIME data --------------------------------------------------

TMimeDataObject::TMimeDataObject(const QMimeData* Data) : FData(const_cast<QMimeData*>(Data)) {
    ReadFormats();
}

TMimeDataObject::TMimeDataObject(std::unique_ptr<QMimeData> Data)
    : FOwned(std::move(Data)), FData(FOwned.get()) {
    ReadFormats();
}

void TMimeDataObject::ReadFormats() {
    if (!FData)
        return;
    for (const QString& type : FData->formats()) {
        const TClipFormat format = FormatOfMimeType(type);
        if (format != 0 && !MimeTypeOf(format))
            FFormats.emplace_back(format, type);
    }
}

const QString* TMimeDataObject::MimeTypeOf(TClipFormat Format) const {
    for (const auto& entry : FFormats)
        if (entry.first == Format)
            return &entry.second;
    return nullptr;
}

HRESULT TMimeDataObject::QueryGetData(const TFormatEtc& Format) {
    if (!FData || !MimeTypeOf(Format.cfFormat))
        return DV_E_FORMATETC;
    if (Format.dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    return (Format.tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
}

HRESULT TMimeDataObject::GetData(const TFormatEtc& Format, TStgMedium& Medium) {
    return GuardedResult([&]() -> HRESULT {
        ReleaseStgMedium(Medium);
        const HRESULT query = QueryGetData(Format);
        if (query != S_OK)
            return query;
        Medium.tymed = TYMED_HGLOBAL;
        Medium.hGlobal = std::make_shared<TGlobalMemory>(
            TGlobalMemory{MimeToMediumBytes(Format.cfFormat, FData->data(*MimeTypeOf(Format.cfFormat)))});
        return S_OK;
    });
}

HRESULT TMimeDataObject::SetData(const TFormatEtc&, TStgMedium&, bool) {
    return E_NOTIMPL;
}

HRESULT TMimeDataObject::EnumFormatEtc(uint32_t Direction, std::unique_ptr<IEnumFormatEtc>& Enum) {
    if (Direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<TFormatEtc> formats;
    for (const auto& entry : FFormats)
        formats.push_back({entry.first, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    Enum = std::make_unique<TFormatEtcEnumerator>(std::move(formats));
    return S_OK;
}

// ---- the drop filter ---------------------------------------------------------------------

namespace {

// Turns the drag events of a registered widget (and of its viewport) into drop target calls.
class TDropTargetFilter : public QObject {
public:
    TDropTargetFilter(QWidget* Control, IDropTarget* Target)
        : QObject(Control), FTarget(Target), FControl(Control), FClient(ClientWidget(Control)) {
        // Recorded before any is set: a scroll area passes the flag on to its viewport.
        for (QWidget* widget : Widgets())
            FAcceptedDrops.push_back(widget->acceptDrops());
        for (QWidget* widget : Widgets()) {
            widget->installEventFilter(this);
            widget->setAcceptDrops(true);
            connect(widget, &QObject::destroyed, this, [this] { FDead = true; });
        }
    }

    ~TDropTargetFilter() override {
        if (FDead)
            return;
        const std::vector<QWidget*> widgets = Widgets();
        for (size_t i = widgets.size(); i-- > 0;) {
            widgets[i]->removeEventFilter(this);
            widgets[i]->setAcceptDrops(FAcceptedDrops[i]);
        }
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        switch (Event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            break;
        default:
            return false;
        }
        try {
            Handle(static_cast<QWidget*>(Watched), Event);
        } catch (...) {
            Event->ignore();
        }
        return true;
    }

private:
    std::vector<QWidget*> Widgets() const {
        std::vector<QWidget*> widgets{FControl};
        if (FClient != FControl)
            widgets.push_back(FClient);
        return widgets;
    }

    IDataObject* DataObjectOf(const QMimeData* Mime) {
        FOwn = qobject_cast<TDataObjectMimeData*>(const_cast<QMimeData*>(Mime));
        if (FOwn && FOwn->DataObject())
            return FOwn->DataObject();
        FOwn = nullptr;
        FForeign = std::make_unique<TMimeDataObject>(Mime);
        return FForeign.get();
    }

    void Release() {
        FForeign.reset();
        FOwn = nullptr;
    }

    // Our own source hears the effect at once, as it would after every move.
    void Feedback(uint32_t Effect) {
        if (FOwn && FOwn->DropSource())
            FOwn->DropSource()->GiveFeedback(Effect);
    }

    static void Answer(QDropEvent* Event, uint32_t Effect) {
        const Qt::DropAction action = ActionOfEffect(Effect);
        if (action == Qt::IgnoreAction) {
            Event->ignore();
            return;
        }
        Event->setDropAction(action);
        Event->accept();
    }

    void Handle(QWidget* Widget, QEvent* Event) {
        if (Event->type() == QEvent::DragLeave) {
            FTarget->DragLeave();
            Release();
            return;
        }
        auto* drop = static_cast<QDropEvent*>(Event);
        const QPoint screen = Widget->mapToGlobal(drop->position().toPoint());
        const uint32_t keys = KeyStateOf(drop->buttons(), drop->modifiers());
        uint32_t effect = EffectsOfActions(drop->possibleActions());
        if (Event->type() == QEvent::DragEnter) {
            Release();
            IDataObject* dataObject = DataObjectOf(drop->mimeData());
            if (Failed(FTarget->DragEnter(dataObject, keys, screen, &effect)))
                effect = DROPEFFECT_NONE;
            Feedback(effect);
            // Accepted in any case, so the moves keep coming; each move answers for itself.
            drop->setDropAction(ActionOfEffect(effect));
            drop->accept();
            return;
        }
        if (Event->type() == QEvent::DragMove) {
            if (Failed(FTarget->DragOver(keys, screen, &effect)))
                effect = DROPEFFECT_NONE;
            Feedback(effect);
            Answer(drop, effect);
            return;
        }
        // The drop: our own source has the last word, as the button went up.
        if (FOwn && FOwn->DropSource() &&
            FOwn->DropSource()->QueryContinueDrag(false, keys & ~(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) !=
                DRAGDROP_S_DROP) {
            FOwn->SetDropCancelled(true);
            FTarget->DragLeave();
            drop->ignore();
            Release();
            return;
        }
        IDataObject* dataObject = FOwn ? FOwn->DataObject() : FForeign.get();
        if (!dataObject)
            dataObject = DataObjectOf(drop->mimeData());
        if (Failed(FTarget->Drop(dataObject, keys, screen, &effect)))
            effect = DROPEFFECT_NONE;
        Answer(drop, effect);
        Release();
    }

    IDropTarget* FTarget;
    QWidget* FControl;
    QWidget* FClient;
    std::vector<bool> FAcceptedDrops;
    bool FDead = false;
    QPointer<TDataObjectMimeData> FOwn;
    std::unique_ptr<TMimeDataObject> FForeign;
};

// Watches the input after a press: moves and keys are taken (and swallowed), button messages
// are kept and handed back to their widgets afterwards.
class TQtDragStartInput : public QObject, public IDragStartInput {
public:
    TQtDragStartInput(QWidget* Window, IDragDropBackend& Backend) : FWindow(Window), FBackend(Backend) {
        FWindow->grabMouse();
        qApp->installEventFilter(this);
    }

    ~TQtDragStartInput() override {
        qApp->removeEventFilter(this);
        if (FWindow && QWidget::mouseGrabber() == FWindow)
            FWindow->releaseMouse();
        for (auto& [receiver, event] : FButtons)
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
    }

    bool HasCapture() override { return FWindow && QWidget::mouseGrabber() == FWindow; }
    bool ButtonMessageWaiting() override { return !FButtons.empty(); }

    bool TakeMessage(TInputMessage& Message) override {
        if (FMessages.empty())
            return false;
        Message = FMessages.front();
        FMessages.pop_front();
        return true;
    }

    bool WaitForInput(uint32_t Ms) override {
        if (!FMessages.empty() || !FButtons.empty())
            return true;
        QEventLoop loop;
        FLoop = &loop;
        FWoken = false;
        bool timedOut = false;
        QTimer::singleShot(int(Ms), &loop, [&] {
            timedOut = true;
            loop.exit(0);
        });
        const int code = loop.exec();
        FLoop = nullptr;
        if (!timedOut && !FWoken) // the program's loop was told to quit meanwhile
            FMessages.push_back({TInputMessage::imQuit, QPoint(), FBackend.TickCount(), 0, code});
        return !timedOut || !FMessages.empty() || !FButtons.empty();
    }

    void RepostQuit(int ExitCode) override { QCoreApplication::exit(ExitCode); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        switch (Event->type()) {
        case QEvent::MouseMove: {
            const auto* move = static_cast<QMouseEvent*>(Event);
            Push({TInputMessage::imMouseMove, move->globalPosition().toPoint(), FBackend.TickCount(), 0, 0});
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            FButtons.emplace_back(Watched, std::unique_ptr<QEvent>(Event->clone()));
            Wake();
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape ? VK_ESCAPE : 0;
            Push({TInputMessage::imKeyDown, QPoint(), FBackend.TickCount(), key, 0});
            return true;
        }
        case QEvent::KeyRelease:
            return true;
        case QEvent::WindowDeactivate:
        case QEvent::ApplicationDeactivate:
            Push({TInputMessage::imCancelMode, QPoint(), FBackend.TickCount(), 0, 0});
            return false;
        default:
            return false;
        }
    }

private:
    void Push(const TInputMessage& Message) {
        FMessages.push_back(Message);
        Wake();
    }

    void Wake() {
        if (FLoop) {
            FWoken = true;
            FLoop->exit(0);
        }
    }

    QPointer<QWidget> FWindow;
    IDragDropBackend& FBackend;
    std::deque<TInputMessage> FMessages;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> FButtons;
    QEventLoop* FLoop = nullptr;
    bool FWoken = false;
};

} // namespace

// ---- the backend -------------------------------------------------------------------------

TQtDragDropBackend::TQtDragDropBackend() {
    FClock.start();
}

TQtDragDropBackend::~TQtDragDropBackend() {
    for (auto& [widget, filter] : FRegistered)
        delete filter.data();
    if (FClipboardData)
        FClipboardData->Detach();
}

HRESULT TQtDragDropBackend::RegisterDragDrop(QWidget* Window, IDropTarget* Target) {
    if (!Window || !Target)
        return DRAGDROP_E_INVALIDHWND;
    QPointer<QObject>& slot = FRegistered[Window];
    if (slot)
        return DRAGDROP_E_ALREADYREGISTERED;
    slot = new TDropTargetFilter(Window, Target); // owned by the widget
    return S_OK;
}

HRESULT TQtDragDropBackend::RevokeDragDrop(QWidget* Window) {
    const auto found = FRegistered.find(Window);
    if (found == FRegistered.end())
        return DRAGDROP_E_NOTREGISTERED;
    const bool alive = !found->second.isNull();
    delete found->second.data();
    FRegistered.erase(found);
    return alive ? S_OK : DRAGDROP_E_NOTREGISTERED;
}

HRESULT TQtDragDropBackend::DoDragDrop(IDataObject* DataObject, IDropSource* Source, uint32_t OkEffects,
                                       uint32_t* Effect, const TDragImage& Image, QObject* DragSource) {
    if (!DataObject || !Effect)
        return E_INVALIDARG;
    *Effect = DROPEFFECT_NONE;
    // Qt deletes the drag (and its MIME data) itself once the drag is over.
    auto* drag = new QDrag(DragSource ? DragSource : this);
    auto* mime = new TDataObjectMimeData(DataObject, Source);
    drag->setMimeData(mime);
    if (!Image.Pixmap.isNull()) {
        drag->setPixmap(Image.Pixmap);
        drag->setHotSpot(Image.HotSpot);
    }
    if (Source)
        connect(drag, &QDrag::actionChanged, mime, [mime](Qt::DropAction Action) {
            if (mime->DropSource())
                mime->DropSource()->GiveFeedback(EffectsOfActions(Action));
        });
    const Qt::DropActions actions = ActionsOfEffects(OkEffects);
    const Qt::DropAction preferred =
        (OkEffects & DROPEFFECT_MOVE) ? Qt::MoveAction : ActionOfEffect(OkEffects);
    const Qt::DropAction action = drag->exec(actions, preferred);
    const bool cancelled = mime->DropCancelled();
    mime->Detach();
    if (action == Qt::IgnoreAction || cancelled)
        return DRAGDROP_S_CANCEL;
    *Effect = EffectsOfActions(action) & OkEffects;
    return DRAGDROP_S_DROP;
}

HRESULT TQtDragDropBackend::SetClipboard(IDataObject* DataObject) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (FClipboardData)
        FClipboardData->Detach();
    if (!DataObject) {
        clipboard->clear();
        FClipboardData = nullptr;
        return S_OK;
    }
    auto* mime = new TDataObjectMimeData(DataObject);
    clipboard->setMimeData(mime); // the clipboard owns it
    FClipboardData = mime;
    return S_OK;
}

std::shared_ptr<IDataObject> TQtDragDropBackend::GetClipboard() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return nullptr;
    if (const auto* own = qobject_cast<const TDataObjectMimeData*>(data); own && own->DataObject())
        return std::shared_ptr<IDataObject>(own->DataObject(), [](IDataObject*) {}); // borrowed
    auto copy = std::make_unique<QMimeData>();
    for (const QString& type : data->formats())
        copy->setData(type, data->data(type));
    return std::make_shared<TMimeDataObject>(std::move(copy));
}

HRESULT TQtDragDropBackend::FlushClipboard() {
    if (!FClipboardData || !FClipboardData->DataObject())
        return S_OK;
    std::shared_ptr<TStaticDataObject> snapshot = SnapshotDataObject(*FClipboardData->DataObject());
    FClipboardData->Detach();
    auto* mime = new TDataObjectMimeData(snapshot.get(), nullptr, snapshot);
    QGuiApplication::clipboard()->setMimeData(mime);
    FClipboardData = mime;
    return S_OK;
}

HRESULT TQtDragDropBackend::IsCurrentClipboard(IDataObject* DataObject) {
    const bool current = DataObject && FClipboardData && FClipboardData->DataObject() == DataObject &&
                         QGuiApplication::clipboard()->mimeData() == FClipboardData.data();
    return current ? S_OK : S_FALSE;
}

bool TQtDragDropBackend::DragButtonsDown() {
    return (QGuiApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton)) != 0;
}

QSize TQtDragDropBackend::DragDistance() {
    const int distance = QApplication::startDragDistance();
    return QSize(distance, distance);
}

std::unique_ptr<IDragStartInput> TQtDragDropBackend::CaptureForDragStart(QWidget* Window) {
    return std::make_unique<TQtDragStartInput>(Window, *this);
}

uint32_t TQtDragDropBackend::TickCount() {
    return uint32_t(FClock.elapsed());
}

QPoint TQtDragDropBackend::CursorPos() {
    return QCursor::pos();
}

QWidget* TQtDragDropBackend::WidgetAt(QPoint ScreenPoint) {
    return FindWidgetAt(ScreenPoint);
}

int TQtDragDropBackend::ScrollBarExtent() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}
