// The add-many-hosts dialog: hosts by address range or list.
#include "ui/dialogs/m_tasks_add.h"

#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SettingsModel.h"
#include "core/SoundQueue.h"
#include "grid/GxGrid.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/HostDialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>

TAdd_M_hosts* Add_M_hosts = nullptr;

namespace {

// A plain text editor whose line numbers are drawn beside the text: the text itself stays exactly
// what was typed.
class TNumberedLinesEdit : public QPlainTextEdit {
public:
    explicit TNumberedLinesEdit(QWidget* Parent) : QPlainTextEdit(Parent), FGutter(new TGutter(this)) {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateMargin(); });
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& Rect, int Dy) {
            if (Dy != 0) {
                FGutter->scroll(0, Dy);
            } else {
                FGutter->update(0, Rect.y(), FGutter->width(), Rect.height());
            }
        });
        UpdateMargin();
    }

    int GutterWidth() const {
        const int digits = QString::number(qMax(1, blockCount())).size() + 1;
        return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
    }

protected:
    void resizeEvent(QResizeEvent* Event) override {
        QPlainTextEdit::resizeEvent(Event);
        const QRect area = contentsRect();
        FGutter->setGeometry(area.left(), area.top(), GutterWidth(), area.height());
    }

private:
    class TGutter : public QWidget {
    public:
        explicit TGutter(TNumberedLinesEdit* Edit) : QWidget(Edit), FEdit(Edit) {}

    protected:
        void paintEvent(QPaintEvent*) override { FEdit->PaintGutter(*this); }

    private:
        TNumberedLinesEdit* FEdit;
    };

    void UpdateMargin() {
        setViewportMargins(GutterWidth(), 0, 0, 0);
        const QRect area = contentsRect();
        FGutter->setGeometry(area.left(), area.top(), GutterWidth(), area.height());
    }

    void PaintGutter(QWidget& Gutter) {
        QPainter painter(&Gutter);
        painter.fillRect(Gutter.rect(), palette().window());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        QTextBlock block = firstVisibleBlock();
        int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
        while (block.isValid() && top <= Gutter.height()) {
            const int height = qRound(blockBoundingRect(block).height());
            if (block.isVisible()) {
                painter.drawText(0, top, Gutter.width() - 4, height, Qt::AlignRight | Qt::AlignVCenter,
                                 QString::number(block.blockNumber() + 1) + QLatin1Char('.'));
            }
            top += height;
            block = block.next();
        }
    }

    TGutter* FGutter;
};

QSpinBox* MakeOctet(const char* Name, int Value, QWidget* Parent) {
    auto* spin = Make<QSpinBox>(Name, Parent);
    spin->setRange(0, 255);
    spin->setValue(Value);
    return spin;
}

QLineEdit* MakeMirror(const char* Name, QSpinBox* Source, QWidget* Parent) {
    auto* edit = Make<QLineEdit>(Name, Parent);
    edit->setReadOnly(true);
    edit->setMaximumWidth(50);
    edit->setText(QString::number(Source->value()));
    QObject::connect(Source, &QSpinBox::valueChanged, edit,
                     [edit](int Value) { edit->setText(QString::number(Value)); });
    return edit;
}

QStringList Lines(const QPlainTextEdit* Edit) {
    const QString text = Edit->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

} // namespace

TAdd_M_hosts::TAdd_M_hosts(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Add_M_hosts"));
    setWindowTitle(QStringLiteral("Add multiple hosts"));
    auto* layout = new QVBoxLayout(this);
    PageControl1 = Make<QTabWidget>("PageControl1", this);
    layout->addWidget(PageControl1);
    BuildRangePage();
    BuildListPage();
    // The caller chooses the page; the tabs themselves are not offered.
    PageControl1->tabBar()->hide();
    layout->addWidget(BuildDetails());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("OK"), this);
    BitBtn2 = MakeButton("BitBtn2", QStringLiteral("Cancel"), this);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    BindClick(BitBtn1, "TAdd_M_hosts.BitBtn1Click", this, &TAdd_M_hosts::BitBtn1Click);
    BindClick(BitBtn2, "TAdd_M_hosts.BitBtn2Click", this, &TAdd_M_hosts::BitBtn2Click);
    BindClick(Clear_button, "TAdd_M_hosts.ClearClick", this, &TAdd_M_hosts::ClearClick);
    BindClick(Browse_button, "TAdd_M_hosts.BrowseClick", this, &TAdd_M_hosts::BrowseClick);
    BindClick(Play_sound_button, "TAdd_M_hosts.Play_sound_buttonClick", this,
              &TAdd_M_hosts::Play_sound_buttonClick);
}

void TAdd_M_hosts::BuildRangePage() {
    TabSheet1 = Make<QWidget>("TabSheet1", PageControl1);
    PageControl1->addTab(TabSheet1, QStringLiteral("IP Address Range"));
    auto* page = new QVBoxLayout(TabSheet1);
    auto* box = Make<QGroupBox>("GroupBox1", TabSheet1);
    box->setTitle(QStringLiteral("Enter the start and end ip address"));
    page->addWidget(box);
    auto* grid = new QGridLayout(box);
    IPN_1 = MakeOctet("IPN_1", 192, box);
    IPN_2 = MakeOctet("IPN_2", 168, box);
    IPN_3 = MakeOctet("IPN_3", 0, box);
    IPN_4 = MakeOctet("IPN_4", 1, box);
    IPK_1 = MakeMirror("IPK_1", IPN_1, box);
    IPK_2 = MakeMirror("IPK_2", IPN_2, box);
    IPK_3 = MakeMirror("IPK_3", IPN_3, box);
    IPK_4 = MakeOctet("IPK_4", 1, box);
    grid->addWidget(MakeLabel("Label1", QStringLiteral("Start IP address:"), box), 0, 0);
    grid->addWidget(MakeLabel("Label2", QStringLiteral("End IP address:"), box), 1, 0);
    QWidget* start[] = {IPN_1, IPN_2, IPN_3, IPN_4};
    QWidget* end[] = {IPK_1, IPK_2, IPK_3, IPK_4};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(start[i], 0, 1 + i);
        grid->addWidget(end[i], 1, 1 + i);
    }
    grid->setColumnStretch(5, 1);
    page->addStretch();
}

void TAdd_M_hosts::BuildListPage() {
    TabSheet2 = Make<QWidget>("TabSheet2", PageControl1);
    PageControl1->addTab(TabSheet2, QStringLiteral("List of Hosts"));
    auto* page = new QVBoxLayout(TabSheet2);
    auto* box = Make<QGroupBox>("GroupBox2", TabSheet2);
    box->setTitle(QStringLiteral("Each string it is single host"));
    page->addWidget(box);
    auto* grid = new QGridLayout(box);
    RichEdit1 = new TNumberedLinesEdit(box);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit2 = new TNumberedLinesEdit(box);
    RichEdit2->setObjectName(QStringLiteral("RichEdit2"));
    Clear_button = MakeButton("Clear_button", QStringLiteral("Clear"), box);
    grid->addWidget(MakeLabel("Label3", QStringLiteral("IP or domain names:"), box), 0, 0);
    grid->addWidget(MakeLabel("Label4", QStringLiteral("Descriptions:"), box), 0, 1);
    grid->addWidget(RichEdit1, 1, 0);
    grid->addWidget(RichEdit2, 1, 1);
    grid->addWidget(Clear_button, 2, 1, Qt::AlignRight);
}

QWidget* TAdd_M_hosts::BuildDetails() {
    auto* box = Make<QGroupBox>("GroupBox3", this);
    box->setTitle(QStringLiteral("Hosts details"));
    auto* form = new QFormLayout(box);
    Edit3 = Make<QComboBox>("Edit3", box);
    Edit5 = Make<QLineEdit>("Edit5", box);
    Edit5->setText(QStringLiteral("vorpal"));
    Edit4 = Make<QComboBox>("Edit4", box);
    Edit4->setEditable(true);
    Edit4->setEditText(QString::fromLatin1(DefaultUpSound));
    Browse_button = MakeButton("Browse_button", QStringLiteral("Browse"), box);
    Play_sound_button = MakeButton("Play_sound_button", QString(), box);
    Play_sound_button->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    Play_sound_button->setToolTip(QStringLiteral("Play"));
    Edit1 = Make<QLineEdit>("Edit1", box);
    FNamePreset = LangText(284);
    Edit1->setText(FNamePreset);
    form->addRow(MakeLabel("Label5", QStringLiteral("Type of hosts:"), box), Edit3);
    form->addRow(MakeLabel("Label6", QStringLiteral("Community:"), box), Edit5);
    auto* sound = new QHBoxLayout;
    sound->addWidget(Edit4, 1);
    sound->addWidget(Browse_button);
    sound->addWidget(Play_sound_button);
    form->addRow(MakeLabel("Label7", QStringLiteral("Alarm sound file:"), box), sound);
    form->addRow(MakeLabel("Label8", QStringLiteral("Hosts names begin from:"), box), Edit1);
    CheckBox_Alarm = MakeCheck("CheckBox_Alarm", QStringLiteral("Enable alert"), box, true);
    CheckBox_loops = MakeCheck("CheckBox_loops", QStringLiteral("Loop sound"), box, false);
    CheckBox_Ping_check = MakeCheck("CheckBox_Ping_check", QStringLiteral("ICMP check"), box, true);
    CheckBox_SNMP_check = MakeCheck("CheckBox_SNMP_check", QStringLiteral("SNMP check"), box, false);
    CheckBox_HTTP_Check = MakeCheck("CheckBox_HTTP_Check", QStringLiteral("HTTP check"), box, false);
    auto* checks = new QGridLayout;
    checks->addWidget(CheckBox_Alarm, 0, 0);
    checks->addWidget(CheckBox_loops, 0, 1);
    checks->addWidget(CheckBox_Ping_check, 1, 0);
    checks->addWidget(CheckBox_SNMP_check, 1, 1);
    checks->addWidget(CheckBox_HTTP_Check, 2, 0);
    form->addRow(checks);
    return box;
}

void TAdd_M_hosts::FormCreate() {}

void TAdd_M_hosts::FitToPage(int Page) {
    // The page control is as tall as its tallest shown page: the range page would stand above the
    // list page's empty height. The width never shrinks, so the details keep their room.
    for (int i = 0; i < PageControl1->count(); ++i) {
        const bool shown = i == Page;
        PageControl1->setTabVisible(i, true);
        PageControl1->widget(i)->setSizePolicy(QSizePolicy::Preferred,
                                               shown ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
    PageControl1->setCurrentIndex(Page);
    PageControl1->setTabVisible(1 - Page, false);
    layout()->activate();
    resize(std::max(width(), sizeHint().width()), sizeHint().height());
}

void TAdd_M_hosts::SetHostTypes(const QStringList& Names) {
    FillHostTypeCombo(Edit3, Names);
}

void TAdd_M_hosts::RenewNamePreset() {
    // The preset was made before the language loaded; a name the operator typed stays.
    if (Edit1->text() == FNamePreset) {
        FNamePreset = LangText(284);
        Edit1->setText(FNamePreset);
    }
}

void TAdd_M_hosts::ShowPage(int Page, int Group) {
    RenewNamePreset();
    FitToPage(Page == 1 ? 1 : 0);
    SelectedGroup = Group;
    show();
    raise();
}

int TAdd_M_hosts::Execute(int Group) {
    SelectedGroup = Group;
    const TSettingsSnapshot kept = FServices->Settings().Snapshot();
    IPN_1->setValue(kept->IPN_1);
    IPN_2->setValue(kept->IPN_2);
    IPN_3->setValue(kept->IPN_3);
    RenewNamePreset();
    FitToPage(PageControl1->currentIndex());
    return exec();
}

std::vector<TBulkHostEntry> TAdd_M_hosts::Entries() {
    if (PageControl1->currentIndex() == 1) {
        return ExpandHostList(Lines(RichEdit1), Lines(RichEdit2), Edit1->text());
    }
    if (IPK_4->value() < IPN_4->value()) {
        IPN_4->setValue(IPK_4->value());
    }
    return ExpandHostRange(IPN_1->value(), IPN_2->value(), IPN_3->value(), IPN_4->value(), IPK_4->value(),
                           Edit1->text());
}

TBulkHostDefaults TAdd_M_hosts::Defaults() const {
    TBulkHostDefaults d;
    d.TypeIndex = Edit3->currentIndex();
    d.Comunity = Edit5->text();
    d.Alarm = Edit4->currentText();
    d.AlertEnabled = CheckBox_Alarm->isChecked();
    d.Loop_sound = CheckBox_loops->isChecked();
    d.Ping_check = CheckBox_Ping_check->isChecked();
    d.SNMP_check = CheckBox_SNMP_check->isChecked();
    d.Http_check = CheckBox_HTTP_Check->isChecked();
    d.Group = SelectedGroup;
    return d;
}

int TAdd_M_hosts::BitBtn1Click() {
    const std::vector<TBulkHostEntry> entries = Entries();
    accept();
    // The range's block is what the next "Add Many Hosts" starts from, also after a restart.
    FServices->Settings().Update([this](TSettings& S) {
        S.IPN_1 = IPN_1->value();
        S.IPN_2 = IPN_2->value();
        S.IPN_3 = IPN_3->value();
    });
    int added = 0;
    // Monitoring stops first and starts again once its old threads have ended.
    FServices->Controller().RunWithMonitoringPaused([&] { added = AddHosts(entries); });
    return added;
}

int TAdd_M_hosts::AddHosts(const std::vector<TBulkHostEntry>& Entries) {
    TDataGrid& hosts = FServices->DataGrid1();
    TSQLiteDatabase& database = FServices->Database();
    int added = 0;
    // The work is guarded here: the progress window closes and the restart follows even after an error.
    Guarded("TAdd_M_hosts.BitBtn1Click", [&] {
        if (database.IsOpen() && !database.InTransaction()) {
            OpenLongTransaction(database);
        }
        const int first = ShownRowCount(hosts);
        RunWithProgress(FServices->Roles().Progress(), QStringLiteral("Multi adding hosts... "),
                        int(Entries.size()) - 1, [&](const std::function<void(int)>& Step) {
                            added =
                                AddBulkHosts(hosts, FServices->HostStore(), Entries, Defaults(), first, Step);
                        });
        if (database.IsOpen() && database.InTransaction()) {
            CycleLongTransaction(database);
        }
    });
    return added;
}

void TAdd_M_hosts::BitBtn2Click() {
    reject();
}

void TAdd_M_hosts::ClearClick() {
    RichEdit1->clear();
    RichEdit2->clear();
}

void TAdd_M_hosts::BrowseClick() {
    BrowseHostSound(this, Edit4);
}

void TAdd_M_hosts::Play_sound_buttonClick() {
    PlayOrStopHostSound(Edit4->currentText());
}
