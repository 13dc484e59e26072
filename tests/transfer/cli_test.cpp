// wegmate-cli against its built-in simulator: options answer the questions,
// boxes are printed with their German texts, the exit status reports errors.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/transfer/transfer_helpers.h"

#ifdef WEGMATE_CLI_PATH

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun runCli(const std::string& arguments)
{
    const std::string errFile = tempFile("cli.err");
    const std::string command = std::string(WEGMATE_CLI_PATH) + " " + arguments + " 2>" + errFile;
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = readFile(errFile);
    return run;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Cli, DownloadAndUploadAgainstTheSimulator)
{
    const std::string mif = tempFile("cli.mif");
    CliRun down = runCli("download tracks --port sim --format mif --objects points -o " + mif);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.out, "Wegmate-INFO: Übertragung erfolgreich beendet (00240 Punkte)."));
    EXPECT_TRUE(contains(down.err, "Track-Aufzeichnung abrufen? -> Nein (ohne --track)"));
    EXPECT_TRUE(fileExists(mif));

    CliRun up = runCli("upload tracks --port sim-usb --format mif --separate-tracks " + mif);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.out, "Wegmate-INFO: Übertragung erfolgreich beendet (0240 Punkte)."));
    EXPECT_TRUE(contains(up.err, "-> Ja (--separate-tracks)"));
}

TEST(Cli, TrackOptionChoosesOneTrackAndTheIdOptionNamesIt)
{
    const std::string ovl = tempFile("cli.ovl");
    CliRun down = runCli("download tracks --port sim-usb --format ovl-ascii --objects points --track 2 -o " + ovl);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.out, "(00120 Punkte)"));
    EXPECT_TRUE(contains(down.err, "TRACK02"));

    // Without --id the name dialog is cancelled, and stderr says so.
    CliRun up = runCli("upload tracks --port sim-usb --format ovl-ascii " + ovl);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.err, "abgebrochen (ohne --id"));
    CliRun named = runCli("upload tracks --port sim-usb --format ovl-ascii --id HEIMWEG " + ovl);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(contains(named.err, "'HEIMWEG' (--id)"));
    EXPECT_TRUE(contains(named.out, "(0120 Punkte)"));
}

TEST(Cli, ErrorsGiveExitStatusOne)
{
    const std::string missing = tempFile("missing.mif");
    CliRun up = runCli("upload waypoints --port sim-usb --format mif " + missing);
    EXPECT_EQ(up.status, 1);
    EXPECT_TRUE(contains(up.err, "FEHLER: Datei nicht gefunden"));

    const std::string out = tempFile("five.mif");
    CliRun down = runCli("download tracks --port sim-usb --format mif --objects lines --track 5 -o " + out);
    EXPECT_EQ(down.status, 1);
    EXPECT_FALSE(fileExists(out));

    CliRun initials = runCli("upload waypoints --port sim-usb --format mif --initials A- " + out);
    EXPECT_EQ(initials.status, 1);
    EXPECT_TRUE(contains(initials.err, "FEHLER: Als Eingabe werden hier genau zwei Zeichen"));

    CliRun usage = runCli("download planets --port sim -o " + out);
    EXPECT_EQ(usage.status, 1);
}

TEST(Cli, WaypointsAsRoutesWithInitialsAndConversion)
{
    const std::string ovl = tempFile("routes.ovl");
    CliRun down = runCli("download routes --port sim-usb --format ovl-binary --objects lines -o " + ovl);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.err, "ROUTE(N) zugeordnet sind?"));
    EXPECT_TRUE(contains(down.err, "-> Ja (--as-routes)"));

    CliRun up = runCli("upload waypoints --port sim-usb --format ovl-binary --as-routes --initials XY " + ovl);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.err, "XY (--initials)"));
    EXPECT_TRUE(contains(up.out, "(0010 Punkte)"));

    const std::string converted = tempFile("converted.ovl");
    CliRun convert = runCli("convert " + ovl + " " + converted);
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_TRUE(contains(convert.out, "Neue OVL-Datei mit editierbaren"));
    EXPECT_TRUE(fileExists(converted));
}

TEST(Cli, MainJobScriptFallsBackToTheSimulator)
{
    const std::string dir = tempFile("job");
    const std::string build = std::string(WEGMATE_CLI_PATH).substr(0, std::string(WEGMATE_CLI_PATH).rfind("/tools/"));
    const std::string command = "mkdir -p " + dir + " && cd " + dir + " && " + WEGMATE_SOURCE_DIR +
                                "/tools/run-main-job " + build + " >out.txt 2>&1";
    const int raw = std::system(command.c_str());
    const std::string out = readFile(dir + "/out.txt");
    // On a machine with a Garmin receiver attached the job uses it instead.
    if (contains(out, "Garmin-Empfänger am USB-Anschluss gefunden")) GTEST_SKIP() << "receiver attached";
    EXPECT_EQ(WEXITSTATUS(raw), 0) << out;
    EXPECT_TRUE(contains(out, "eingebaute Simulator"));
    EXPECT_TRUE(fileExists(dir + "/tracks.mif"));
    EXPECT_TRUE(fileExists(dir + "/tracks.mid"));
    EXPECT_TRUE(contains(readFile(dir + "/tracks.mif"), "Pline"));
}

}  // namespace

#endif
