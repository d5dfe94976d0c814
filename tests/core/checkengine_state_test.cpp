// What the engine's state survives: a restart (the host row read back from table hosts), and a
// language file whose compared texts are empty lines.
#include "core/CheckRules.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "tests/core/engine_fixture.h"

#include <gtest/gtest.h>

#include <string>

using Codes = std::vector<QString>;

namespace {

// The host's grid row as the start-up load fills it from table hosts.
void ReloadHostRow(EngineFixture& F, int Id) {
    F.Hosts.DeleteRow(F.RowOf(Id));
    auto table = F.Database.OpenResultTable(QStringLiteral("select * from hosts where id=?"), {Id});
    ASSERT_EQ(table->RowCount(), 1);
    FillHostRow(F.Hosts, F.Hosts.AddRow(), *table);
}

} // namespace

TEST(CheckEngineState, HttpOutageAcrossARestartRecordsOneDownEvent) {
    EngineFixture f;
    f.SetThreshold(3);
    HostSpec spec;
    spec.Ping = false;
    spec.Http = true;
    const int id = f.AddHost(spec);
    f.Probes.SetHttp("127.0.0.1", "0 ");
    ASSERT_TRUE(f.RunPasses(3));
    ASSERT_EQ(f.EventCodes(id), Codes{"ID"});
    // The down event wrote the HTTP counter and status back with the others.
    auto stored = f.Rows(QStringLiteral("select Http_Kol_vo, Http_Status from hosts where id=%1").arg(id));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "3");
    EXPECT_EQ(stored[0][1], LangText(294) + " ");

    ReloadHostRow(f, id);
    EXPECT_EQ(f.Cell(id, "Http_Status"), LangText(294) + " ");
    ASSERT_TRUE(f.RunPasses(3));
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"}) << "the outage that went on across the restart is one outage";

    f.Probes.SetHttp("127.0.0.1", "200 OK");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (Codes{"ID", "IU"}));
    stored = f.Rows(QStringLiteral("select Http_Kol_vo, Http_Status from hosts where id=%1").arg(id));
    EXPECT_EQ(stored[0][0], "0");
    EXPECT_EQ(stored[0][1], "HTTP check 200 OK");

    // And the up state survives a restart too: the next start records nothing.
    ReloadHostRow(f, id);
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(id), (Codes{"ID", "IU"}));
}

TEST(CheckEngineState, EmptyDownTextLineInTheLanguageFileStillRaisesOneDownEvent) {
    EngineFixture f;
    f.SetThreshold(2);
    // The built-in English texts, with the echo down text's line left empty.
    std::string file;
    for (int line = 0; line < LangTextCount; ++line) {
        if (line != 291) {
            file += LangTextTable::BuiltInEnglish()->Text(line).toStdString();
        }
        file += "\r\n";
    }
    const std::string folder = f.Dir.file("Data");
    zt::test::RunCommand("mkdir -p '" + folder + "/lang_files'");
    zt::test::WriteFile(folder + "/lang_files/Blank291", file);
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(folder), QStringLiteral("Blank291")));

    const int id = f.AddHost({});
    f.Probes.SetPing("127.0.0.1", "Timeout");
    ASSERT_TRUE(f.RunPasses(5));
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"});
    EXPECT_EQ(f.Cell(id, "ICMP_Status"), LangTextTable::BuiltInEnglish()->Text(291) + " Timeout");
    f.Probes.SetPing("127.0.0.1", "");
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(id), (Codes{"ID", "IU"}));
    LangTexts::UseBuiltInEnglish();
}

TEST(CheckEngineState, EchoThatCannotBeSentIsSkippedNotFailed) {
    EngineFixture f;
    f.SetThreshold(2);
    HostSpec echoOnly;
    echoOnly.Status = QStringLiteral("Unknown");
    const int alone = f.AddHost(echoOnly);
    HostSpec withHttp;
    withHttp.Host = QStringLiteral("web");
    withHttp.IP = QStringLiteral("127.0.0.30");
    withHttp.Http = true;
    withHttp.Status = QStringLiteral("Unknown");
    const int web = f.AddHost(withHttp);
    HostSpec sampled;
    sampled.Host = QStringLiteral("sampled");
    sampled.IP = QStringLiteral("127.0.0.31");
    sampled.SPingCheck = true;
    const int latency = f.AddHost(sampled);
    for (const char* ip : {"127.0.0.1", "127.0.0.30", "127.0.0.31"})
        f.Probes.SetPingSkipped(ip);
    f.Owner.RestartSamplingWindow();
    ASSERT_TRUE(f.RunPasses(4));
    // Nothing is known of the echo-only host: no counter, no state change, no event.
    EXPECT_EQ(f.EventCodes(alone), Codes{});
    EXPECT_EQ(f.Cell(alone, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(alone, "ICMP_Status"), "");
    EXPECT_EQ(f.Cell(alone, "Kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(alone, "Status"), "Unknown");
    // A host with another check is judged by that check alone.
    EXPECT_EQ(f.EventCodes(web), Codes{});
    EXPECT_EQ(f.Cell(web, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(web, "Status"), LangText(277));
    EXPECT_EQ(f.EventCodes(latency), Codes{});
    // And no latency sample is stored for an echo that never went out.
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from Ping_data"))[0][0], "0");

    // Once echo can be sent, the checks count again.
    f.Probes.SetPing("127.0.0.1", "Timeout");
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(alone), Codes{"ID"});
    EXPECT_EQ(f.Cell(alone, "Status"), LangText(280));
}

TEST(CheckEngineState, HostAddedWithoutAStateWordPassesThroughPacketLoss) {
    EngineFixture f;
    f.SetThreshold(3);
    HostSpec added; // as the host dialog stores a host added while monitoring runs
    added.Status = QString();
    const int id = f.AddHost(added);
    f.Probes.SetPing("127.0.0.1", "Unknown error");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(278));
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), TColor(EventColourYellow));
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(280));
    EXPECT_EQ(f.Rows(QStringLiteral("select Status from hosts where id=%1").arg(id))[0][0], LangText(280));
}
