// Messaging client figures: the sign-on against the checking server on 127.0.0.1 (median of 20, Login
// to the server's receipt of the last sign-on frame), set against a replay of the same frames on bare
// sockets; and the remote commands "status|<group>" at 10,000 hosts and "groups" at 1,000 groups
// without the fixed waits, set against one plain pass over the same grid or tree.
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/RemoteCommands.h"
#include "grid/GxGrid.h"
#include "messaging/ICQClient.h"
#include "tests/messaging/checking_server_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

using zt::msgtest::TCheckingServer;
using zt::msgtest::TClientFrame;

namespace {

double Median(std::vector<double> Values) {
    if (Values.empty())
        return -1;
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

double Ms(const QElapsedTimer& Timer) {
    return static_cast<double>(Timer.nsecsElapsed()) / 1e6;
}

bool Spin(const std::function<bool()>& Done, int LimitMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!Done() && timer.elapsed() < LimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return Done();
}

// Replays recorded client frames on bare sockets: on the login connection frame 0 after the hello
// and frame 1 after the reply; on the session connection the next batch after each prompt.
class TReplay {
public:
    TReplay(const std::vector<TClientFrame>& Frames, TCheckingServer& Server)
        : FFrames(Frames), FServer(Server) {}

    double Run() {
        QElapsedTimer timer;
        timer.start();
        const int before = FServer.SignOns();
        Open(FServer.LoginPort(), false);
        const bool done = Spin([&] { return FServer.SignOns() == before + 1; });
        const double ms = Ms(timer);
        FSocket.reset();
        return done ? ms : -1;
    }

private:
    void Open(quint16 Port, bool Bos) {
        FSocket = std::make_unique<QTcpSocket>();
        FSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        FBos = Bos;
        FPrompts = 0;
        FBuffer.clear();
        QObject::connect(FSocket.get(), &QTcpSocket::readyRead, [this] { Read(); });
        FSocket->connectToHost(QHostAddress(QHostAddress::LocalHost), Port);
    }

    void Send(int First, int Last) {
        for (int i = First; i <= Last && i < static_cast<int>(FFrames.size()); ++i)
            FSocket->write(zt::msgtest::Flap(FFrames[i].Channel, FFrames[i].Seq, FFrames[i].Payload));
    }

    void Read() {
        FBuffer += FSocket->readAll();
        while (FBuffer.size() >= 6) {
            const int length = static_cast<quint8>(FBuffer[4]) << 8 | static_cast<quint8>(FBuffer[5]);
            if (FBuffer.size() < 6 + length)
                return;
            FBuffer.remove(0, 6 + length);
            Prompt(++FPrompts);
        }
    }

    void Prompt(int Count) {
        if (!FBos) {
            if (Count == 1) {
                Send(0, 0);
            } else if (Count == 2) {
                Send(1, 1);
                FSocket->disconnectFromHost();
                QTcpSocket* old = FSocket.release();
                old->deleteLater();
                Open(FServer.BosPort(), true);
            }
            return;
        }
        // Hello, versions prompt, rate prompt (after the versions reply), rate information, privacy rights.
        switch (Count) {
        case 1:
            Send(2, 2);
            break;
        case 2:
            Send(3, 3);
            break;
        case 4:
            Send(4, 4);
            break;
        case 5:
            Send(5, 11);
            break;
        case 6:
            Send(12, 20);
            break;
        default:
            break;
        }
    }

    const std::vector<TClientFrame>& FFrames;
    TCheckingServer& FServer;
    std::unique_ptr<QTcpSocket> FSocket;
    QByteArray FBuffer;
    bool FBos = false;
    int FPrompts = 0;
};

void SignOn() {
    TCheckingServer server;
    std::vector<double> client, replay;
    std::vector<TClientFrame> recorded;
    int failed = 0;
    TICQClient icq;
    icq.ICQServer = QStringLiteral("127.0.0.1");
    icq.ICQPort = server.LoginPort();
    icq.UIN = server.Options().UIN;
    icq.Password = QString::fromLatin1(server.Options().Password);
    icq.DisableDirectConnections = true;
    for (int round = 0; round < 20; ++round) {
        const std::size_t first = server.Frames().size();
        const int before = server.SignOns();
        QElapsedTimer timer;
        timer.start();
        icq.Login(ICQInitialStatus);
        if (!Spin([&] { return icq.LoggedIn() && server.SignOns() == before + 1; })) {
            ++failed;
            continue;
        }
        client.push_back(Ms(timer));
        if (recorded.empty())
            recorded.assign(server.Frames().begin() + static_cast<std::ptrdiff_t>(first),
                            server.Frames().end());
        icq.LogOff();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const int clientFaults = static_cast<int>(server.Faults().size());
    for (int round = 0; round < 20 && !recorded.empty(); ++round) {
        TReplay player(recorded, server);
        const double ms = player.Run();
        if (ms < 0)
            ++failed;
        else
            replay.push_back(ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::printf(
        "sign-on, 20 rounds (%d failed, %d faults noted by the server): TICQClient median %.3f ms; anchor: "
        "replay of the same %zu frames on bare QTcpSockets median %.3f ms   [loopback, one client signing "
        "on and off, checking server on the same event loop, 2 connections per sign-on]\n",
        failed, clientFaults, Median(client), recorded.size(), Median(replay));
}

class TBenchHost : public IRemoteCommandHost {
public:
    TBenchHost() {
        CreateHostGridColumns(Hosts);
        Down.AddColumn<TGxTextColumn>(QStringLiteral("c0"));
    }
    const TGroupTree& GroupTree() override { return Tree; }
    TDataGrid& HostGrid() override { return Hosts; }
    TDataGrid& DownGrid() override { return Down; }
    void RefreshDownGrid() override {}
    TDataGrid& LogsGrid() override { return Down; }
    TSQLiteDatabase& Database() override { return MonitorDatabase; }
    void PumpDelay(int) override {}
    double Now() override { return 45000; }
    bool SendMessage(qint64, const QString& Text) override {
        Characters += Text.size();
        ++Pieces;
        return true;
    }
    void AddProgramLog(const QString&) override {}

    TGroupTree Tree;
    TDataGrid Hosts, Down;
    qsizetype Characters = 0;
    int Pieces = 0;
};

TGroupTreeNode Node(const QString& Caption, const QString& Group, int Parent) {
    TGroupTreeNode node;
    node.ParentIndex = Parent;
    node.Caption = Caption;
    node.Record = std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{Caption, QString(), Group});
    return node;
}

template <typename F> double BestOf(int Runs, F&& Body) {
    double best = 1e300;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        Body();
        best = std::min(best, Ms(timer));
    }
    return best;
}

void Commands() {
    TBenchHost host;
    for (int g = 0; g < 100; ++g)
        host.Tree.push_back(Node(QStringLiteral("Group %1").arg(g), QString::number(g), -1));
    host.Hosts.BeginUpdate();
    for (int i = 0; i < 10000; ++i) {
        const int row = host.Hosts.AddRow();
        host.Hosts.Cell(u"Host", row).SetAsString(QStringLiteral("host-%1").arg(i));
        host.Hosts.Cell(u"IP", row).SetAsString(QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250));
        host.Hosts.Cell(u"Status", row)
            .SetAsString(i % 3 == 0 ? QStringLiteral("Down") : QStringLiteral("OK"));
        host.Hosts.Cell(u"N_group", row).SetAsString(QString::number(i % 100));
        host.Hosts.Cell(u"Note_", row).SetAsString(QStringLiteral("note"));
    }
    host.Hosts.EndUpdate();
    TRemoteCommands commands(host);
    const double status = BestOf(5, [&] { commands.MessageReceived(QStringLiteral("status|GROUP 7"), "1"); });
    const int statusPieces = host.Pieces / 5;
    const qsizetype statusCharacters = host.Characters / 5;
    const int groupColumn = host.Hosts.ColumnIndex(u"N_group");
    const int statusColumn = host.Hosts.ColumnIndex(u"Status");
    int notUp = 0;
    const double scan = BestOf(5, [&] {
        notUp = 0;
        for (int row = 0; row < host.Hosts.RowCount(); ++row)
            notUp += host.Hosts.CellText(groupColumn, row) == QLatin1String("7") &&
                     host.Hosts.CellText(statusColumn, row) != QLatin1String("OK");
    });
    std::printf(
        "\"status|<group>\" at 10,000 hosts in 100 groups: %.3f ms (%d not-up hosts, %lld characters in %d "
        "pieces); anchor: one pass reading N_group and Status of every row %.3f ms   [best of 5, no "
        "waits, reply sent to a counting host]\n",
        status, notUp, static_cast<long long>(statusCharacters), statusPieces, scan);

    host.Tree.clear();
    for (int g = 0; g < 1000; ++g)
        host.Tree.push_back(
            Node(QStringLiteral("Group %1").arg(g), QString::number(g), g % 10 == 0 ? -1 : g - g % 10));
    host.Pieces = 0;
    host.Characters = 0;
    const double groups = BestOf(5, [&] { commands.MessageReceived(QStringLiteral("groups"), "1"); });
    QString joined;
    const double concat = BestOf(5, [&] {
        joined.clear();
        for (const TGroupTreeNode& node : host.Tree)
            joined += QLatin1Char('\r') + node.Caption;
    });
    std::printf(
        "\"groups\" at 1,000 groups (100 with 9 sub-groups each): %.3f ms (%lld characters in %d pieces); "
        "anchor: joining the 1,000 captions in list order %.3f ms   [best of 5]\n",
        groups, static_cast<long long>(host.Characters / 5), host.Pieces / 5, concat);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    std::printf("[build: RelWithDebInfo unless configured otherwise]\n");
    SignOn();
    Commands();
    return 0;
}
