// wegmate-cli against its built-in simulator: options answer the questions,
// boxes are printed with their German texts, the exit status reports errors.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/transfer/transfer_helpers.h"
#include "cli/cli_progress.h"

#ifdef WEGMATE_CLI_PATH

namespace {

TEST(Cli, DownloadAndUploadAgainstTheSimulator) {
    const std::string mif = tempFile("cli.mif");
    ShellRun down = runCli("download tracks --port sim --format mif --objects points -o " + mif);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.out, "Wegmate-INFO: Übertragung erfolgreich beendet (00240 Punkte)."));
    EXPECT_TRUE(contains(down.err, "Track-Aufzeichnung abrufen? -> Nein (ohne --track)"));
    EXPECT_TRUE(fileExists(mif));

    ShellRun up = runCli("upload tracks --port sim-usb --format mif --separate-tracks " + mif);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.out, "Wegmate-INFO: Übertragung erfolgreich beendet (0240 Punkte)."));
    EXPECT_TRUE(contains(up.err, "-> Ja (--separate-tracks)"));
    // Standard error is no terminal here: no progress bar.
    EXPECT_FALSE(contains(down.err + up.err, "Punkte/s")) << down.err;
}

TEST(Cli, ProgressBarOnATerminal) {
    EXPECT_EQ(progressBar(60, 240, 50, 2.0), "  [#####...............]  25 %  25 Punkte/s  noch 0:07");
    EXPECT_EQ(progressBar(1, 240, 0, 0.0), "  [....................]   0 %  noch --:--");
    // A slow serial line: 20000 points at 2.5 points per second.
    EXPECT_EQ(progressBar(100, 20000, 100, 40.0), "  [....................]   0 %  2.5 Punkte/s  noch 2:12:40");
    EXPECT_EQ(progressBar(240, 240, 240, 1.0), "  [####################] 100 %  240 Punkte/s  noch 0:00");

    // On a terminal (script gives the tool a pseudo terminal) the bar runs
    // beside the status text.
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script not installed";
    const std::string mif = tempFile("tty.mif");
    const std::string log = tempFile("tty.log");
    const std::string command = "script -qec '" + std::string(WEGMATE_CLI_PATH) +
                                " download tracks --port sim --format mif --objects points -o " + mif + "' " + log +
                                " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string screen = readFile(log);
    EXPECT_TRUE(contains(screen, "Track-Punkten empfangen.  [####################] 100 %  ")) << screen;
    EXPECT_TRUE(contains(screen, " Punkte/s  noch 0:00")) << screen;
}

TEST(Cli, HelpAndVersion) {
    ShellRun help = runCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "wegmate-cli download")) << help.out;
    ShellRun version = runCli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(contains(version.out, "wegmate-cli 1.")) << version.out;
    EXPECT_EQ(runCli("").status, 1);
}

TEST(Cli, TrackOptionChoosesOneTrackAndTheIdOptionNamesIt) {
    const std::string ovl = tempFile("cli.ovl");
    ShellRun down = runCli("download tracks --port sim-usb --format ovl-ascii --objects points --track 2 -o " + ovl);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.out, "(00120 Punkte)"));
    EXPECT_TRUE(contains(down.err, "TRACK02"));
    // On serial each track log is offered at its header: --track takes the
    // one of that number.
    const std::string serialOvl = tempFile("cli-serial.ovl");
    ShellRun serial =
        runCli("download tracks --port sim --format ovl-ascii --objects points --track 2 -o " + serialOvl);
    EXPECT_EQ(serial.status, 0) << serial.err;
    EXPECT_TRUE(contains(serial.err, "Nr. 1 : 'TRACK01' -> Nein (ohne --track)")) << serial.err;
    EXPECT_TRUE(contains(serial.err, "Nr. 2 : 'TRACK02' -> Ja (--track)")) << serial.err;

    // Without --id the name dialog is cancelled, and stderr says so.
    ShellRun up = runCli("upload tracks --port sim-usb --format ovl-ascii " + ovl);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.err, "abgebrochen (ohne --id"));
    ShellRun named = runCli("upload tracks --port sim-usb --format ovl-ascii --id HEIMWEG " + ovl);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(contains(named.err, "'HEIMWEG' (--id)"));
    EXPECT_TRUE(contains(named.out, "(0120 Punkte)"));
}

TEST(Cli, ErrorsGiveExitStatusOne) {
    const std::string missing = tempFile("missing.mif");
    ShellRun up = runCli("upload waypoints --port sim-usb --format mif " + missing);
    EXPECT_EQ(up.status, 1);
    EXPECT_TRUE(contains(up.err, "FEHLER: Datei nicht gefunden"));

    const std::string out = tempFile("five.mif");
    ShellRun down = runCli("download tracks --port sim-usb --format mif --objects lines --track 5 -o " + out);
    EXPECT_EQ(down.status, 1);
    EXPECT_FALSE(fileExists(out));

    ShellRun initials = runCli("upload waypoints --port sim-usb --format mif --initials A- " + out);
    EXPECT_EQ(initials.status, 1);
    EXPECT_TRUE(contains(initials.err, "FEHLER: Als Eingabe werden hier genau zwei Zeichen"));

    ShellRun usage = runCli("download planets --port sim -o " + out);
    EXPECT_EQ(usage.status, 1);
}

TEST(Cli, WaypointsAsRoutesWithInitialsAndConversion) {
    const std::string ovl = tempFile("routes.ovl");
    ShellRun down = runCli("download routes --port sim-usb --format ovl-binary --objects lines -o " + ovl);
    EXPECT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(contains(down.err, "ROUTE(N) zugeordnet sind?"));
    EXPECT_TRUE(contains(down.err, "-> Ja (--as-routes)"));

    ShellRun up = runCli("upload waypoints --port sim-usb --format ovl-binary --as-routes --initials XY " + ovl);
    EXPECT_EQ(up.status, 0) << up.err;
    EXPECT_TRUE(contains(up.err, "XY (--initials)"));
    EXPECT_TRUE(contains(up.out, "(0010 Punkte)"));

    const std::string converted = tempFile("converted.ovl");
    ShellRun convert = runCli("convert " + ovl + " " + converted);
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_TRUE(contains(convert.out, "Neue OVL-Datei mit editierbaren"));
    EXPECT_TRUE(fileExists(converted));
}

TEST(Cli, ConvertsBetweenAnyTwoFileTypes) {
    const std::string mif = tempFile("conv.mif");
    ShellRun down = runCli("download tracks --port sim-usb --format mif --objects lines -o " + mif);
    ASSERT_EQ(down.status, 0) << down.err;

    // Two track logs of 120 points each become two trk of one segment.
    const std::string gpx = tempFile("conv");
    ShellRun toGpx = runCli("convert --from mif --to gpx --tracks " + mif + " " + gpx);
    EXPECT_EQ(toGpx.status, 0) << toGpx.err;
    EXPECT_TRUE(contains(toGpx.out, "Umwandlung erfolgreich beendet (00240 Punkte).")) << toGpx.out;
    const std::string text = readFile(gpx + ".gpx");
    size_t tracks = 0, points = 0;
    for (size_t at = text.find("<trk>"); at != std::string::npos; at = text.find("<trk>", at + 1)) tracks++;
    for (size_t at = text.find("<trkpt "); at != std::string::npos; at = text.find("<trkpt ", at + 1)) points++;
    EXPECT_EQ(tracks, 2u) << text.substr(0, 2000);
    EXPECT_EQ(points, 240u);

    // And back, as points of an ASCII overlay.
    const std::string ovl = tempFile("conv.ovl");
    ShellRun toOvl = runCli("convert --from gpx --to ovl-ascii --objects points --tracks " + gpx + ".gpx " + ovl);
    EXPECT_EQ(toOvl.status, 0) << toOvl.err;
    EXPECT_TRUE(contains(readFile(ovl), "Symbols=240"));

    // Routes straight from the receiver as GPX, the extension added.
    const std::string routes = tempFile("routes");
    ShellRun rte = runCli("download routes --port sim-usb --format gpx --objects lines -o " + routes);
    EXPECT_EQ(rte.status, 0) << rte.err;
    const std::string routeText = readFile(routes + ".gpx");
    EXPECT_TRUE(contains(routeText, "<rte>\n    <name>")) << routeText.substr(0, 1000);
    EXPECT_FALSE(contains(routeText, "<trk>"));

    ShellRun unknown = runCli("convert --from gpx --to kml " + gpx + ".gpx " + ovl);
    EXPECT_EQ(unknown.status, 1);
    ShellRun broken = runCli("convert --from gpx --to mif " + ovl + " " + mif);
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(contains(broken.err, "FEHLER: Keine gültige GPX-Datei!")) << broken.err;
}

// A conversion writes what it can, says what it left out (exit status 2) and
// keeps names and comments; when nothing remains it writes nothing.
TEST(Cli, ConvertLeavesOutWhatTheTargetCannotHoldAndSaysSo) {
    const std::string gpx = tempFile("short.gpx");
    writeFile(gpx,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"x\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"50.1\" lon=\"8.1\"><name>H\xC3\xA4ndelstra\xC3\x9F"
              "e  </name>"
              "<cmt>\xD0\x9F\xD1\x80\xD0\xB8: offen, 12-18 Uhr (Mo.)</cmt></wpt>\n"
              "<rte><rtept lat=\"50.2\" lon=\"8.2\"/><rtept lat=\"50.3\" lon=\"8.3\"/></rte>\n"
              "<rte><rtept lat=\"50.4\" lon=\"8.4\"/></rte>\n"
              "<trk><trkseg><trkpt lat=\"50.2\" lon=\"8.2\"/></trkseg></trk>\n</gpx>\n");
    const std::string mif = tempFile("short.mif");
    const std::string mid = mif.substr(0, mif.size() - 3) + "mid";
    // The track is no part of a waypoint conversion: it is counted.
    ShellRun points = runCli("convert --from gpx --to mif --objects points --initials AB " + gpx + " " + mif);
    EXPECT_EQ(points.status, 2) << points.err;
    EXPECT_TRUE(contains(points.err, "Wegmate-WARNUNG: 1 Punkt aus Tracks der GPX-Datei wird ausgelassen")) << points.err;
    EXPECT_TRUE(contains(readFile(mid),
                         "\"H\xE4ndelstra\xDF"
                         "e\",\"\",\"\",\"???: offen, 12-18 Uhr (Mo.)\""))
        << readFile(mid);

    // Lines: the waypoint and the one-point route are left out, and counted.
    ShellRun lines = runCli("convert --from gpx --to mif --objects lines --initials AB " + gpx + " " + mif);
    EXPECT_EQ(lines.status, 2) << lines.err;
    EXPECT_TRUE(contains(lines.err, "Wegmate-WARNUNG: 1 Wegpunkte ohne Routen- und Punktnummer")) << lines.err;
    EXPECT_TRUE(contains(lines.err, "Wegmate-WARNUNG: Kann kein Linienobjekt aus einer Route")) << lines.err;
    EXPECT_TRUE(contains(lines.out, "Umwandlung erfolgreich beendet (00002 Punkte).")) << lines.out;

    // Only short track segments: an error, and the old file stays; GPX keeps them.
    writeFile(mif, "alt");
    ShellRun none = runCli("convert --from gpx --to mif --tracks " + gpx + " " + mif);
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.err, "FEHLER: Es bleibt nichts zum Schreiben"));
    EXPECT_EQ(readFile(mif), "alt");
    const std::string again = tempFile("again.gpx");
    ShellRun gpxToGpx = runCli("convert --from gpx --to gpx --tracks " + gpx + " " + again);
    EXPECT_EQ(gpxToGpx.status, 2) << gpxToGpx.err;
    EXPECT_TRUE(contains(readFile(again), "<trkseg>\n      <trkpt lat=\"50.200000000\""));
}

// The output of another program run through the shell, or "" when it does
// not run.
std::string peerOutput(const std::string& command) {
    const ShellRun run = runShell(command, Stderr::Apart);
    return run.status == 0 ? run.out : std::string();
}

// Values that their fields cannot hold are left empty in the output, with
// one warning that counts them and exit status 2; gpsbabel reads the GPX and
// ogrinfo the MIF pair that the conversion wrote.
TEST(Cli, ConvertLeavesValuesWithoutRoomEmptyAndCountsThem) {
    const std::string mif = tempFile("values.mif");
    writeFile(mif,
              "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\nCoordSys Earth Projection 1, 104\n"
              "Columns 6\n  NameOfPoint Char(50)\n  Altitude Char(10)\n  Time Char(19)\n  Symbol Char(5)\n"
              "  Display1 Char(3)\n  Display2 Char(3)\nData\n\nPoint 8.1 50.1\nPoint 8.2 50.2\nPoint 8.3 50.3\n");
    writeFile(mif.substr(0, mif.size() - 3) + "mid",
              "\"EINS\",\"25000\",\"2026-13-01 10:00:00\",\"8\",\"-1\",\"1\"\n"
              "\"ZWEI\",\"120\",\"2026-02-30 10:00:00\",\"999999\",\"3\",\"1\"\n"
              "\"DREI\",\"-12\",\"2026-02-28 10:00:00\",\"17\",\"2\",\"256\"\n");
    // EINS: altitude, time, display -1; ZWEI: time, symbol and with it both
    // display values; DREI: display 256.
    const std::string warning =
        "Wegmate-WARNUNG: 8 Angaben der eingelesenen Punkte (Höhe, Zeit, Symbol \noder Anzeige) sind ungültig "
        "und bleiben leer.\n";

    const std::string gpx = tempFile("values.gpx");
    ShellRun toGpx = runCli("convert --from mif --to gpx --objects points " + mif + " " + gpx);
    EXPECT_EQ(toGpx.status, 2) << toGpx.err;
    EXPECT_EQ(toGpx.err, warning);
    EXPECT_EQ(toGpx.out, "Wegmate-INFO: Umwandlung erfolgreich beendet (00003 Punkte).\n");
    const std::string text = readFile(gpx);
    EXPECT_FALSE(contains(text, "16959")) << text;
    EXPECT_FALSE(contains(text, "255")) << text;
    EXPECT_TRUE(contains(text, "symbol=\"8\" display1=\"0\" display2=\"1\"")) << text;
    const std::string babel = peerOutput("gpsbabel -i gpx -f '" + gpx + "' -o unicsv -F -");
    if (!babel.empty()) {
        EXPECT_EQ(babel,
                  "No,Latitude,Longitude,Name,Altitude,Symbol,Date,Time\r\n"
                  "1,50.100000,8.100000,\"EINS\",,\"Gas Station\",,\r\n"
                  "2,50.200000,8.200000,\"ZWEI\",120.0,\"Waypoint\",,\r\n"
                  "3,50.300000,8.300000,\"DREI\",-12.0,\"Buoy, White\",2026/02/28,10:00:00\r\n");
    }

    const std::string again = tempFile("again.mif");
    ShellRun toMif = runCli("convert --from mif --to mif --objects points " + mif + " " + again);
    EXPECT_EQ(toMif.status, 2) << toMif.err;
    EXPECT_EQ(toMif.err, warning);
    std::string ogr = peerOutput("ogrinfo -al -q '" + again + "'");
    if (ogr.empty() || babel.empty()) GTEST_SKIP() << "gpsbabel or ogrinfo not installed";
    // Altitude, time, symbol and display of every feature, in order.
    std::string fields;
    for (size_t at = 0; (at = ogr.find("\n  ", at)) != std::string::npos; at++) {
        const size_t end = ogr.find('\n', at + 1);
        const std::string line = ogr.substr(at + 3, end - at - 3);
        for (const char* name : {"Time (String) =", "Altitude (String) =", "Symbol (String) =", "Display1 (String) =",
                                 "Display2 (String) ="})
            if (line.rfind(name, 0) == 0) fields += "[" + line.substr(std::string(name).size()) + "]";
    }
    EXPECT_EQ(fields,
              "[ ][ ][ 8][ 0][ 1]"
              "[ ][ 120][ ][ ][ ]"
              "[ 2026-02-28 10:00:00][ -12][ 17][ 2][ 0]");
}

// An upload or a conversion that leaves points out has done its work, with a
// warning: exit status 2, not the error status 1.
TEST(Cli, PartialUploadAndConversionHaveTheirOwnExitStatus) {
    const std::string header =
        "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n"
        "CoordSys Earth Projection 1, 104\nColumns 1\n  NameOfPoint Char(50)\nData\n\n";
    const std::string mif = tempFile("partial.mif");
    writeFile(mif, header + "Point 8.1 50.1\nPoint 190.0 50.2\n");
    writeFile(mif.substr(0, mif.size() - 3) + "mid", "\"EINS\"\n\"ZWEI\"\n");
    ShellRun up = runCli("upload waypoints --port sim-usb --format mif " + mif);
    EXPECT_EQ(up.status, 2) << up.err << up.out;
    EXPECT_TRUE(contains(up.err, "Wegmate-WARNUNG: 1 der eingelesenen Punkte ohne")) << up.err;
    EXPECT_TRUE(contains(up.out, "(0001 Punkte)")) << up.out;

    const std::string gpx = tempFile("partial.gpx");
    ShellRun convert = runCli("convert --from mif --to gpx --objects points " + mif + " " + gpx);
    EXPECT_EQ(convert.status, 2) << convert.err << convert.out;
    EXPECT_TRUE(contains(convert.err, "Wegmate-WARNUNG: 1 der eingelesenen Punkte ohne")) << convert.err;
    EXPECT_TRUE(contains(convert.out, "(00001 Punkte)")) << convert.out;
    EXPECT_FALSE(contains(readFile(gpx), "lon=\"190")) << readFile(gpx);
}

// Options are parsed strictly; the trace never overwrites the user's files;
// what is no file name is refused.
TEST(Cli, OptionsAndOutputNamesAreChecked) {
    const std::string gpx = tempFile("user.gpx");
    writeFile(gpx, "<gpx/>");
    const std::string fresh = tempFile("fresh.gpx");
    for (const std::string& name : {gpx, fresh}) {
        ShellRun run =
            runCli("download tracks --port sim --format gpx --objects points -o " + name + " --trace " + name);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(contains(run.err, "ist eine Ein- oder Ausgabedatei")) << run.err;
    }
    EXPECT_FALSE(fileExists(fresh));
    EXPECT_EQ(readFile(gpx), "<gpx/>");
    // Also the MID file of a MIF output, and a link to the output to come.
    const std::string stem = tempFile("tr");
    const std::string link = tempFile("trace-link");
    ASSERT_EQ(symlink((stem + ".gpx").c_str(), link.c_str()), 0);
    for (const auto& [format, trace] : {std::pair{"mif", stem + ".mid"}, std::pair{"gpx", link}}) {
        ShellRun run =
            runCli(std::string("download tracks --port sim --format ") + format + " -o " + stem + " --trace " + trace);
        EXPECT_EQ(run.status, 1) << format;
        EXPECT_TRUE(contains(run.err, "ist eine Ein- oder Ausgabedatei")) << run.err;
    }
    EXPECT_FALSE(fileExists(stem + ".mid"));
    EXPECT_FALSE(fileExists(stem + ".gpx"));
    for (const char* track : {"4294967297", "1x", "2.9", "-1"}) {
        ShellRun run = runCli(std::string("download tracks --port sim --format gpx --track ") + track + " -o " + gpx);
        EXPECT_EQ(run.status, 1) << track;
        EXPECT_TRUE(contains(run.err, "--track braucht eine ganze Zahl ab 1")) << run.err;
    }
    EXPECT_EQ(runCli("convert --from gpx --to gpx " + gpx + " ''").status, 1);
    ShellRun full = runCli("convert --from gpx --to gpx " + gpx + " /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_FALSE(fileExists("/dev/full.gpx"));

    const std::string ovl = tempFile("id.ovl");
    ASSERT_EQ(runCli("download tracks --port sim-usb --format ovl-ascii --objects points --track 2 -o " + ovl).status,
              0);
    ShellRun named =
        runCli("upload tracks --port sim-usb --format ovl-ascii --id \"$(printf 'Heim\\tweg\\303\\244')\" " + ovl);
    EXPECT_EQ(named.status, 0) << named.err;
    // Taken as given; the upload spells it for the receiver.
    EXPECT_TRUE(contains(named.err, "'Heim\tweg\xC3\xA4' (--id)")) << named.err;
}

// What is no regular file is refused before a byte is read, and so are a
// file and a line beyond their bounds: every conversion ends by itself.
TEST(Cli, ConvertRefusesDevicesFifosAndEndlessInput) {
    TempDir dir("hostile");
    const std::string out = dir.file("out.gpx");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(runShell("mkfifo '" + fifo + "'").status, 0);
    const std::string notRegular = "FEHLER: Die Eingabedatei ist keine gewöhnliche Datei";
    for (const std::string& input : {std::string("/dev/zero"), fifo}) {
        for (const char* format : {"ovl-ascii", "gpx", "mif", "ovl-binary"}) {
            ShellRun run = runShell(std::string("timeout 60 ") + WEGMATE_CLI_PATH + " convert --from " + format +
                                        " --to gpx " + input + " " + out,
                                    Stderr::Apart);
            EXPECT_EQ(run.status, 1) << input << " " << format;
            EXPECT_TRUE(contains(run.err, notRegular)) << run.err;
        }
    }
    const std::string big = dir.file("big.gpx");
    ASSERT_EQ(runShell("truncate -s 257M '" + big + "'").status, 0);
    ShellRun tooLarge = runCli("convert --from gpx --to gpx " + big + " " + out);
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_TRUE(contains(tooLarge.err, "FEHLER: Die Eingabedatei ist größer als 256 MB")) << tooLarge.err;

    const std::string endless = dir.file("endless.ovl");
    writeFile(endless, "[Symbol 1]\r\nTyp=6\r\n" + std::string(3 << 20, 'x'));
    ShellRun longLine = runCli("convert --from ovl-ascii --to gpx " + endless + " " + out);
    EXPECT_EQ(longLine.status, 1);
    EXPECT_TRUE(contains(longLine.err, "Zeile von mehr als 1 MB \nund wird nicht gelesen (Zeile 3).")) << longLine.err;
    EXPECT_FALSE(fileExists(out));
}

TEST(Cli, MainJobScriptFallsBackToTheSimulator) {
    const std::string dir = tempFile("job");
    const std::string build = std::string(WEGMATE_CLI_PATH).substr(0, std::string(WEGMATE_CLI_PATH).rfind("/cli/"));
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
