// The host types dialog and LoadHostTypes.
#include "ui/dialogs/types_of_host_form.h"

#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/HostTypes.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxDisplays.h"
#include "grid/widgets/GxGridView.h"
#include "platform/FileDialog.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/HostDialogParts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TTypes_form* Types_form = nullptr;

namespace {

QPointer<QComboBox> MainTypeCombo;

const char* const PictureFilter = "Pictures (*.jpg *.jpeg *.bmp *.ico)";

// Saves the chosen picture as a 100 x 85 bitmap; nothing when no picture was chosen.
THostTypePictureWriter PictureWriter(const QString& Chosen) {
    if (Chosen.isEmpty()) {
        return {};
    }
    return [Chosen](const QString& Target) {
        const QImage picture = TTypes_form::LoadTypePicture(Chosen);
        return !picture.isNull() && picture.convertToFormat(QImage::Format_RGB888).save(Target, "BMP");
    };
}

} // namespace

TTypes_form::TTypes_form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Types_form"));
    setWindowTitle(QStringLiteral("Types of host"));
    TypesFolder = DataFolder() + QStringLiteral("Types");
    DataGrid1 = new TDataGrid(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    CreateHostTypeColumns(*DataGrid1);
    const char* const captions[] = {"#", "Type Name", "Image", "Image Path"};
    const int widths[] = {30, 130, 110, 200};
    for (int column = 0; column < 4; ++column) {
        TGxCustomColumn* item = DataGrid1->Columns().GetColumn(column);
        item->Header().SetCaption(QString::fromLatin1(captions[column]));
        item->SetWidth(widths[column]);
    }
    DataGrid1->SetRowSize(HostTypePictureHeight + 4);
    ImageList1 = new TGxImageList(HostTypePictureWidth, HostTypePictureHeight, this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));

    auto* layout = new QVBoxLayout(this);
    GroupBox1 = Make<QGroupBox>("GroupBox1", this);
    GroupBox1->setTitle(QStringLiteral("Edit/Add types of hosts"));
    auto* box = new QVBoxLayout(GroupBox1);
    DataGrid1View = new TGxGridView(DataGrid1, GroupBox1);
    DataGrid1View->setObjectName(QStringLiteral("DataGrid1View"));
    box->addWidget(DataGrid1View);
    Image1 = Make<QLabel>("Image1", this);
    Image1->setFixedSize(HostTypePictureWidth, HostTypePictureHeight);
    Image1->hide();
    auto* buttons = new QHBoxLayout;
    Add_ = MakeButton("Add_", QStringLiteral("Add"), GroupBox1);
    Edit_b = MakeButton("Edit_b", QStringLiteral("Edit"), GroupBox1);
    Delete_b = MakeButton("Delete_b", QStringLiteral("Delete"), GroupBox1);
    buttons->addWidget(Add_);
    buttons->addWidget(Edit_b);
    buttons->addWidget(Delete_b);
    buttons->addStretch();
    box->addLayout(buttons);
    layout->addWidget(GroupBox1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("OK"), this);
    bottom->addWidget(BitBtn1);
    layout->addLayout(bottom);
    resize(520, 420);

    BindClick(Add_, "TTypes_form.Add_Click", this, &TTypes_form::Add_Click);
    BindClick(Edit_b, "TTypes_form.Edit_bClick", this, &TTypes_form::Edit_bClick);
    BindClick(Delete_b, "TTypes_form.Delete_bClick", this, &TTypes_form::Delete_bClick);
    BindClick(BitBtn1, "TTypes_form.OKClick", this, &TTypes_form::OKClick);
}

TTypes_form::~TTypes_form() = default;

void TTypes_form::FormCreate() {
    LoadHostTypes();
}

void TTypes_form::SetMainTypeCombo(QComboBox* Combo) {
    MainTypeCombo = Combo;
}

QImage TTypes_form::LoadTypePicture(const QString& FileName) {
    QImageReader reader(FileName);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    return image.scaled(HostTypePictureWidth, HostTypePictureHeight, Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

QImage TTypes_form::PlaceholderPicture() {
    QImage image(HostTypePictureWidth, HostTypePictureHeight, QImage::Format_RGB888);
    image.fill(QColor(236, 236, 236));
    QPainter painter(&image);
    painter.setPen(QPen(QColor(150, 150, 150), 2, Qt::DashLine));
    painter.drawRect(image.rect().adjusted(4, 4, -5, -5));
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

QStringList TTypes_form::TypeNames() const {
    return HostTypeNames(*DataGrid1);
}

void TTypes_form::LoadHostTypes() {
    LoadHostTypeFile(*DataGrid1, TypesFolder);
    auto* images = new TGxImageList(HostTypePictureWidth, HostTypePictureHeight, this);
    images->setObjectName(QStringLiteral("ImageList1"));
    const int pathColumn = DataGrid1->ColumnIndex(u"Path");
    for (int row = 0; row < DataGrid1->RowCount(); ++row) {
        const QString file = HostTypePictureFile(TypesFolder, DataGrid1->CellText(pathColumn, row));
        const QImage picture = file.isEmpty() ? QImage() : LoadTypePicture(file);
        images->Add(picture.isNull() ? PlaceholderPicture() : picture);
        DataGrid1->GetCellObject(DataGrid1->ColumnIndex(u"ImageType"), row).SetAsInteger(row);
    }
    static_cast<TGxImageColumn*>(DataGrid1->Columns().GetColumn(DataGrid1->ColumnIndex(u"ImageType")))
        ->SetImages(images->Ref());
    delete ImageList1;
    ImageList1 = images;
    const QStringList names = TypeNames();
    if (IHostDialog* dialog = FServices->Roles().HostDialog())
        dialog->SetHostTypes(names);
    if (IAddManyDialog* dialog = FServices->Roles().AddMany())
        dialog->SetHostTypes(names);
    if (MainTypeCombo) {
        // Filled, not chosen: the list keeps the rows it shows (a chosen "All" would list every
        // group under the caption of one).
        const QSignalBlocker quiet(MainTypeCombo);
        MainTypeCombo->clear();
        MainTypeCombo->addItems(names);
        MainTypeCombo->addItem(LangText(283));
        MainTypeCombo->setCurrentIndex(MainTypeCombo->count() - 1);
    }
    // The host list shows each host's type picture and name by the type's index.
    TDataGrid& hosts = FServices->DataGrid1();
    if (auto* pictures = dynamic_cast<TGxImageColumn*>(hosts.Columns().ColumnByName(u"HType")))
        pictures->SetImages(ImageList1->Ref());
    if (auto* typeNames = dynamic_cast<TGxListColumn*>(hosts.Columns().ColumnByName(u"HType2")))
        typeNames->SetItems(names);
    hosts.BeginUpdate();
    hosts.EndUpdate();
    DataGrid1View->viewport()->update();
}

void TTypes_form::Report(const QString& Failure) {
    if (Failure.isEmpty()) {
        return;
    }
    AddProgramLog(Failure);
    ShowMessageBox(Failure);
}

void TTypes_form::Add_Click() {
    const auto name = InputQuery(QStringLiteral("Input name of new type"), QStringLiteral("Name of new type"),
                                 QStringLiteral("New type of host"));
    if (!name) {
        return; // a cancelled name adds nothing
    }
    const QString picture = OpenFileDialog(this, TypesFolder, QString::fromLatin1(PictureFilter));
    Report(AddHostType(*DataGrid1, TypesFolder, *name, PictureWriter(picture)));
    LoadHostTypes();
}

void TTypes_form::Edit_bClick() {
    const int row = DataGrid1->SelectedRow();
    if (row < 0 || row >= DataGrid1->RowCount()) {
        ShowMessageBox(LangText(LangLine::NoHostTypeChosen));
        return;
    }
    const QString current = DataGrid1->CellText(DataGrid1->ColumnIndex(u"Type_name"), row);
    const auto name =
        InputQuery(QStringLiteral("Input new name of type"), QStringLiteral("New name of type"), current);
    if (!name) {
        return;
    }
    const QString picture = OpenFileDialog(this, TypesFolder, QString::fromLatin1(PictureFilter));
    Report(EditHostType(*DataGrid1, TypesFolder, row, *name, PictureWriter(picture)));
    LoadHostTypes();
}

void TTypes_form::Delete_bClick() {
    const int row = DataGrid1->SelectedRow();
    if (row < 0 || row >= DataGrid1->RowCount()) {
        ShowMessageBox(LangText(LangLine::NoHostTypeChosen));
        return;
    }
    const QString failure = DeleteHostType(*DataGrid1, TypesFolder, row);
    Report(failure);
    if (failure.isEmpty() && FServices) {
        // The hosts of later types keep their type: their index moves down with it.
        ShiftHostTypes(FServices->DataGrid1(), FServices->HostStore(), row);
    }
    LoadHostTypes();
}

void TTypes_form::OKClick() {
    accept();
}
