#include "frame/framechoices.h"
#include "frame/frameprofilefile.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;

namespace {

ST_FramingProfile Sensor()
{
    ST_FramingProfile p;
    p.Name = "Sensor";
    p.Mode = EFramingMode::Fixed;
    p.FixedLength = 4;
    return p;
}

} // namespace

TEST(FramingChoices, LinksKeepTheirProfilesThroughTheFileAndAnOlderReader)
{
    ST_FramingChoices choices;
    choices.Profiles = {Sensor()};
    choices.Profiles[0].Unknown = {{"future.key", "x"}};
    choices.Links = {{"Bench", "sensor"}, {"Plant bus", "modbus rtu"}, {"Spare", "Sensor"}};

    TempDir dir;
    const std::string path = FramingFilePath(dir.path);
    WriteFramingChoices(path, choices);
    ST_FramingChoices back = ReadFramingChoices(path);
    EXPECT_EQ(back.Profiles, choices.Profiles);
    ASSERT_EQ(back.Links.size(), 3u);
    EXPECT_EQ(back.ForLink("Bench")->FixedLength, 4u);
    // A built-in a link uses is no profile of the user's, and comes back as the built-in.
    EXPECT_EQ(*back.ForLink("Plant bus"), CFrameProfile::BuiltIn("Modbus RTU"));

    // A reader that knows profiles only keeps the links as keys it does not know, and writes
    // them back.
    WriteFrameProfilesFile(path, ReadFrameProfilesFile(path));
    EXPECT_EQ(ReadFramingChoices(path), back);

    // A renamed link has no profile; the old name keeps its line for a link made again under it.
    EXPECT_FALSE(ProfileForLink(dir.path, "Bench 2").has_value());
    EXPECT_TRUE(ProfileForLink(dir.path, "Bench").has_value());
    // A profile that is gone frames nothing, and its links leave the file with it.
    back.Profiles.clear();
    EXPECT_FALSE(back.ForLink("Spare").has_value());
    WriteFramingChoices(path, back);
    EXPECT_EQ(ReadFramingChoices(path).Links.size(), 1u);
    // A link name the file cannot hold is refused before anything is written.
    back.Links["two\nlines"] = "Lines";
    EXPECT_THROW(WriteFramingChoices(path, back), std::invalid_argument);
    EXPECT_EQ(ReadFramingChoices(path).Links.size(), 1u);
}

TEST(FramingChoices, ASaveKeepsWhatAnotherWindowSavedMeanwhile)
{
    ST_FramingChoices base;
    base.Profiles = {Sensor()};
    base.Profiles[0].Name = "Old";
    base.Links = {{"Bench", "Old"}, {"Plant", "Lines"}};
    ST_FramingChoices mine = base;
    mine.Profiles.push_back(Sensor());
    mine.Links["Spare"] = "Sensor";
    mine.Links.erase("Plant");
    ST_FramingChoices theirs = base;
    theirs.Profiles[0].FixedLength = 9;
    theirs.Profiles.push_back(Sensor());
    theirs.Profiles.back().Name = "Theirs";
    theirs.Links["Meter"] = "Theirs";

    const ST_FramingChoices merged = MergeFramingChoices(base, mine, theirs);
    ASSERT_EQ(merged.Profiles.size(), 3u);
    EXPECT_EQ(merged.Find("Old")->FixedLength, 9u) << "their change to a profile left alone here";
    EXPECT_NE(merged.Find("Theirs"), nullptr);
    EXPECT_NE(merged.Find("Sensor"), nullptr);
    using Links = std::map<std::string, std::string>;
    EXPECT_EQ(merged.Links, (Links{{"Bench", "Old"}, {"Meter", "Theirs"}, {"Spare", "Sensor"}}));
    // A profile removed here goes, whoever saved last.
    mine.Profiles.erase(mine.Profiles.begin());
    EXPECT_EQ(MergeFramingChoices(base, mine, theirs).Find("Old"), nullptr);
}

TEST(FramingChoices, AutomaticFloorIsTheAdaptersLatencyTimer)
{
    TempDir sys;
    std::filesystem::create_directories(sys.path + "/class/tty/ttyUSB0/device");
    std::ofstream(sys.path + "/class/tty/ttyUSB0/device/latency_timer") << "16\n";
    const ST_FramingProfile automatic = CFrameProfile::BuiltIn("Modbus RTU");
    ASSERT_EQ(automatic.Silence.Floor, 0ms);
    EXPECT_EQ(ResolveFloor(automatic, "/dev/ttyUSB0", sys.path).Silence.Floor, 16ms);
    EXPECT_EQ(ResolveFloor(automatic, "/dev/ttyS0", sys.path).Silence.Floor, 0ms);
    // The user's floor is a setting, on a device and on a network port alike.
    ST_FramingProfile set = automatic;
    set.Silence.Floor = 3ms;
    EXPECT_EQ(ResolveFloor(set, "/dev/ttyUSB0", sys.path).Silence.Floor, 3ms);
    std::filesystem::create_directories(sys.path + "/class/tty/host:7000/device");
    std::ofstream(sys.path + "/class/tty/host:7000/device/latency_timer") << "16\n";
    EXPECT_EQ(ResolveFloor(automatic, "rfc2217://host:7000", sys.path).Silence.Floor, 0ms);
}

TEST(FramingChoices, ABuiltInHandedOnAsAValueStillJudgesItsTextChecks)
{
    // As a reader that knows no links hands on the built-in's section of the file.
    ST_FramingProfile section = CFrameProfile::BuiltIn("NMEA 0183");
    section.Unknown = {{"builtin", "yes"}, {"link.1", "GPS"}};
    CFrameProfile nmea(section, {4800, 8, false, 1});
    const std::string bad = "$GPGGA,1*00\r\n";
    std::vector<ST_Frame> out;
    nmea.Feed(EFrameDirection::Received, reinterpret_cast<const uint8_t *>(bad.data()), bad.size(),
              FrameTime(0), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Check, EFrameCheck::Bad);
}
