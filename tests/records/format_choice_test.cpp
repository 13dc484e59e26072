// Which record format a protocol list selects, download and upload side.

#include <gtest/gtest.h>

#include "records/record_formats.h"

namespace {

const char* kEtrex = "A100\r\nA201\r\nA301\r\nD108\r\nD202\r\nD210\r\nD301\r\nD310\r\n";
const char* kFallback = "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n";

TEST(ProtocolSubstring, CaseSensitiveAndNullSafe) {
    EXPECT_TRUE(hasProtocol(kEtrex, "D108"));
    EXPECT_TRUE(hasProtocol(kEtrex, "A301"));
    EXPECT_FALSE(hasProtocol(kEtrex, "d108"));
    EXPECT_FALSE(hasProtocol(kEtrex, "D109"));
    EXPECT_FALSE(hasProtocol(nullptr, "D108"));
    EXPECT_FALSE(hasProtocol("", "D108"));
    // A plain substring test: it also matches across the line break.
    EXPECT_TRUE(hasProtocol("\r\nD10\r\n8", "D10"));
}

TEST(DownloadFormats, WaypointOrder) {
    EXPECT_EQ(downloadWaypointFormat(nullptr), WaypointFormat::D100);
    EXPECT_EQ(downloadWaypointFormat("\r\nD105\r\nD106"), WaypointFormat::D105);
    EXPECT_EQ(downloadWaypointFormat("\r\nD111"), WaypointFormat::D100);
    EXPECT_EQ(downloadWaypointFormat(kEtrex), WaypointFormat::D108);
    EXPECT_EQ(downloadWaypointFormat(kFallback), WaypointFormat::D103);
    // D108 wins over D109 and D110, D109 over D110.
    EXPECT_EQ(downloadWaypointFormat("\r\nD110\r\nD109\r\nD108"), WaypointFormat::D108);
    EXPECT_EQ(downloadWaypointFormat("\r\nD110\r\nD109"), WaypointFormat::D109);
    EXPECT_EQ(downloadWaypointFormat("\r\nD110\r\nD101"), WaypointFormat::D110);
    // Within the D100 family the order is D101, D102, D103, D104, D107.
    EXPECT_EQ(downloadWaypointFormat("\r\nD107\r\nD104\r\nD103\r\nD102\r\nD101"), WaypointFormat::D101);
    EXPECT_EQ(downloadWaypointFormat("\r\nD107\r\nD104\r\nD103\r\nD102"), WaypointFormat::D102);
    EXPECT_EQ(downloadWaypointFormat("\r\nD107\r\nD104\r\nD103"), WaypointFormat::D103);
    EXPECT_EQ(downloadWaypointFormat("\r\nD107\r\nD104"), WaypointFormat::D104);
    EXPECT_EQ(downloadWaypointFormat("\r\nD107"), WaypointFormat::D107);
}

TEST(DownloadFormats, RouteHeaderOrder) {
    EXPECT_EQ(downloadRouteHeaderFormat(nullptr), RouteHeaderFormat::D200);
    EXPECT_EQ(downloadRouteHeaderFormat("\r\nD200"), RouteHeaderFormat::D200);
    EXPECT_EQ(downloadRouteHeaderFormat(kFallback), RouteHeaderFormat::D201);
    EXPECT_EQ(downloadRouteHeaderFormat("\r\nD201\r\nD202"), RouteHeaderFormat::D202);
}

TEST(DownloadFormats, TrackHeaderOrder) {
    EXPECT_EQ(downloadTrackHeaderFormat(nullptr), TrackHeaderFormat::None);
    EXPECT_EQ(downloadTrackHeaderFormat(kFallback), TrackHeaderFormat::None);
    EXPECT_EQ(downloadTrackHeaderFormat(kEtrex), TrackHeaderFormat::D310);
    EXPECT_EQ(downloadTrackHeaderFormat("\r\nD312"), TrackHeaderFormat::D312);
    EXPECT_EQ(downloadTrackHeaderFormat("\r\nD310\r\nD311\r\nD312"), TrackHeaderFormat::D311);
}

TEST(DownloadFormats, TrackPointOrder) {
    EXPECT_EQ(downloadTrackPointFormat(nullptr), TrackPointFormat::D300);
    EXPECT_EQ(downloadTrackPointFormat(kFallback), TrackPointFormat::D300);
    EXPECT_EQ(downloadTrackPointFormat("\r\nD304\r\nD303\r\nD302\r\nD301"), TrackPointFormat::D301);
    EXPECT_EQ(downloadTrackPointFormat("\r\nD304\r\nD303\r\nD302"), TrackPointFormat::D302);
    EXPECT_EQ(downloadTrackPointFormat("\r\nD304\r\nD303"), TrackPointFormat::D303);
    EXPECT_EQ(downloadTrackPointFormat("\r\nD304"), TrackPointFormat::D304);
}

TEST(UploadFormats, Waypoint) {
    EXPECT_EQ(uploadWaypointFormat(nullptr), WaypointFormat::D100);
    EXPECT_EQ(uploadWaypointFormat("\r\nD106"), WaypointFormat::D106);
    EXPECT_EQ(uploadWaypointFormat("\r\nD101\r\nD110"), WaypointFormat::D110);
    EXPECT_EQ(uploadWaypointFormat("\r\nD107\r\nD101"), WaypointFormat::D101);
    EXPECT_EQ(uploadWaypointFormat("\r\nD107\r\nD104"), WaypointFormat::D104);
    EXPECT_EQ(uploadWaypointFormat("\r\nD109\r\nD108"), WaypointFormat::D108);
}

TEST(UploadFormats, RouteHeader) {
    EXPECT_EQ(uploadRouteHeaderFormat("\r\nD200\r\nD202"), RouteHeaderFormat::D202);
    EXPECT_EQ(uploadRouteHeaderFormat("\r\nD200"), RouteHeaderFormat::D200);
    EXPECT_EQ(uploadRouteHeaderFormat("\r\nD200\r\nD201"), RouteHeaderFormat::D201);
    EXPECT_EQ(uploadRouteHeaderFormat("\r\nD201"), RouteHeaderFormat::D201);
    // No list, or none of the three: D201.
    EXPECT_EQ(uploadRouteHeaderFormat(nullptr), RouteHeaderFormat::D201);
    EXPECT_EQ(uploadRouteHeaderFormat("\r\nA100"), RouteHeaderFormat::D201);
}

TEST(UploadFormats, TrackHeaderAndPoint) {
    EXPECT_EQ(uploadTrackHeaderFormat("\r\nD310\r\nD311"), TrackHeaderFormat::D311);
    EXPECT_EQ(uploadTrackHeaderFormat("\r\nD312"), TrackHeaderFormat::D310);
    EXPECT_EQ(uploadTrackHeaderFormat(nullptr), TrackHeaderFormat::D310);
    EXPECT_EQ(uploadTrackPointFormat("\r\nD302\r\nD301"), TrackPointFormat::D301);
    EXPECT_EQ(uploadTrackPointFormat("\r\nD304"), TrackPointFormat::D304);
    EXPECT_EQ(uploadTrackPointFormat(nullptr), TrackPointFormat::D300);
}

}  // namespace
