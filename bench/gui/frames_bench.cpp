// What frames cost the window, side by side in one run, offscreen, with a pseudo-terminal as the
// device sending 8-byte lines ("NNNNNN\r\n") at 1 MB/s, about 125,000 frames a second:
//  - the window's CPU (the process's, less the feeder thread's that plays the device) with no
//    framing, with framing on ("Lines"), and with framing and the frames view shown, and with
//    Modbus RTU answers framed, checked, decoded and paired into the shown view, in alternating
//    rounds (median of the rounds), and the ratio to no framing;
//  - the GUI thread's longest stall with the frames view shown;
//  - a million frames into the shown view as fast as the pty takes them: the resident memory they
//    add and how long the view takes to draw a page at a random place among them.
// Prints figures; asserts only that no frame was lost. `--smoke` runs every part briefly.
#include "../benchsupport.h"
#include "../rawpty.h"
#include "data/checksum.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesModel.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

// Both ends closed with the bench's round.
struct Pty
{
    Pair pair = MakePair();
    int master = pair.master;
    std::string path = pair.name;
    ~Pty()
    {
        close(pair.master);
        close(pair.slave);
    }
};

std::vector<uint8_t> Lines(size_t frames)
{
    std::vector<uint8_t> data;
    data.reserve(frames * 8);
    char line[16];
    for (size_t i = 0; i < frames; ++i) {
        std::snprintf(line, sizeof line, "%06zu\r\n", i % 1000000);
        data.insert(data.end(), line, line + 8);
    }
    return data;
}

bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(20);
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

enum class EMode { Off, Framing, View, Modbus, ModbusOff };
const char *const kModeNames[] = {"no framing", "framing", "framing + view", "Modbus RTU + view",
                                  "Modbus RTU, no framing"};
constexpr int kModes = 5;

// Write Single Register answers, 8 bytes each with their CRC, so that the Modbus round frames,
// checks and decodes as many frames of the same size as the lines of the others.
std::vector<uint8_t> ModbusAnswers(size_t frames)
{
    static const CChecksum crc(ST_ChecksumSpec{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    std::vector<uint8_t> data;
    data.reserve(frames * 8);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t frame[6] = {
            1, 6, 0, static_cast<uint8_t>(i % 100), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
        const uint32_t value = crc.Compute(frame, sizeof frame);
        data.insert(data.end(), frame, frame + sizeof frame);
        data.push_back(static_cast<uint8_t>(value & 0xFF));
        data.push_back(static_cast<uint8_t>(value >> 8));
    }
    return data;
}

// The decoder reads what the framing cut: a fixed length with the CRC checked, as a user's
// profile for a device that always answers alike would say.
ST_FramingProfile ModbusProfile()
{
    ST_FramingProfile profile;
    profile.Name = "Bench Modbus";
    profile.Mode = EFramingMode::Fixed;
    profile.FixedLength = 8;
    profile.Check = "CRC-16/MODBUS";
    profile.Decoder = "modbus-rtu";
    return profile;
}

struct CWindow
{
    TfrmMain w;
    size_t frames = 0;

    CWindow(const Pty &pty, EMode mode)
    {
        w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName = "Bench";
        link.PortName = pty.path;
        w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(link);
        if (mode == EMode::Off || mode == EMode::ModbusOff)
            return;
        CSessionFrames &sessionFrames = w.Session().Frames();
        sessionFrames.SetProfile(mode == EMode::Modbus ? ModbusProfile() : CFrameProfile::BuiltIn("Lines"),
                                 LineTimingOf(link));
        sessionFrames.SetObserver("bench", [this](const ST_Frame &) { ++frames; });
        if (mode == EMode::View || mode == EMode::Modbus) {
            // Checked, not toggled: the window before this one left its choice in the settings.
            if (auto *view = w.findChild<QAction *>(QStringLiteral("mnuViewFrames")))
                view->setChecked(true);
            else
                std::printf("(no frames view in this build)\n");
        }
    }
};

struct ST_Round
{
    double CpuPercent = 0;
    double GuiCpuPercent = 0; // the GUI thread's alone
    double StallMs = 0;
    bool All = false;
};

ST_Round Round(EMode mode, double seconds, bool stalls)
{
    Pty pty;
    CWindow win(pty, mode);
    const size_t count = static_cast<size_t>(125000 * seconds);
    const std::vector<uint8_t> data =
        mode == EMode::Modbus || mode == EMode::ModbusOff ? ModbusAnswers(count) : Lines(count);
    ST_Round round;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), longest = 0;
    // A zero timer measures stalls but spins the loop: only in the stall rounds, never the CPU ones.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    if (stalls)
        tick.start(0);
    const double cpuBefore = CpuSeconds();
    const double guiBefore = ThreadCpuSeconds();
    double feederCpu = 0;
    std::thread writer(FeedPty, pty.master, std::cref(data), 1000, std::chrono::microseconds{1000},
                       &feederCpu);
    const size_t expected = data.size() / 8;
    round.All = RunUntil(
        [&] {
            return win.w.Session().RecBytes() >= static_cast<int64_t>(data.size()) &&
                   (mode == EMode::Off || mode == EMode::ModbusOff || win.frames >= expected);
        },
        static_cast<int>(seconds * 1000) + 30000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double gui = ThreadCpuSeconds() - guiBefore;
    const double wall = clock.nsecsElapsed() / 1e9;
    writer.join();
    round.CpuPercent = 100.0 * (cpu - feederCpu) / wall;
    round.GuiCpuPercent = 100.0 * gui / wall;
    round.StallMs = longest / 1e6;
    return round;
}

int SideBySide(int rounds, double seconds)
{
    std::vector<double> cpu[kModes], gui[kModes];
    int failures = 0;
    for (int r = 0; r < rounds; ++r)
        for (EMode mode : {EMode::Off, EMode::Framing, EMode::View, EMode::ModbusOff, EMode::Modbus}) {
            const ST_Round round = Round(mode, seconds, false);
            cpu[static_cast<int>(mode)].push_back(round.CpuPercent);
            gui[static_cast<int>(mode)].push_back(round.GuiCpuPercent);
            failures += round.All ? 0 : 1;
            if (!round.All)
                std::printf("%s: FRAMES OR BYTES MISSING\n", kModeNames[static_cast<int>(mode)]);
        }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (int m = 0; m < kModes; ++m) {
        // The Modbus round against no framing of the same bytes.
        const int against = m >= static_cast<int>(EMode::Modbus) ? static_cast<int>(EMode::ModbusOff) : 0;
        const double off = median(cpu[against]), guiOff = median(gui[against]);
        const double value = median(cpu[m]), guiValue = median(gui[m]);
        // Each round against the round of no framing next to it, as the peer bench pairs its
        // programs: what drifts over the run falls on both.
        std::vector<double> ratios;
        for (int r = 0; r < rounds; ++r)
            ratios.push_back(cpu[against][r] > 0 ? cpu[m][r] / cpu[against][r] : 0);
        std::printf("cpu at 1 MB/s of 8-byte frames, %s: %.1f %% of a core (%.2f x no framing, %.2f x per "
                    "round; GUI thread %.1f %%, %.2f x; medians of %d)\n",
                    kModeNames[m], value, off > 0 ? value / off : 0, median(ratios), guiValue,
                    guiOff > 0 ? guiValue / guiOff : 0, rounds);
    }
    // On two cores the spinning GUI thread, the listener and the feeder share the machine: a round
    // may lose the core for a while whatever it does, so both modes are measured alike.
    for (EMode mode : {EMode::Off, EMode::View}) {
        std::vector<double> stalls;
        for (int r = 0; r < rounds; ++r) {
            const ST_Round stall = Round(mode, seconds, true);
            stalls.push_back(stall.StallMs);
            failures += stall.All ? 0 : 1;
        }
        std::printf("stall at 1 MB/s, %s: longest GUI thread stall %.1f ms median, %.1f ms worst of %d "
                    "(target <= 50 ms)\n",
                    kModeNames[static_cast<int>(mode)], median(stalls),
                    *std::max_element(stalls.begin(), stalls.end()), rounds);
    }
    return failures;
}

int Million(size_t frames)
{
    Pty pty;
    CWindow win(pty, EMode::View);
    const std::vector<uint8_t> data = Lines(frames);
    const long before = ResidentKb();
    QElapsedTimer clock;
    clock.start();
    std::thread writer(FeedPty, pty.master, std::cref(data), 4096, std::chrono::microseconds{}, nullptr);
    const bool all = RunUntil([&] { return win.frames >= frames; }, 600000);
    writer.join();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const long grown = ResidentKb() - before;
    // The resident figure reuses what the rounds before freed; the store's own is exact.
    const auto *model = win.w.findChild<TFramesModel *>();
    const double kept = model ? static_cast<double>(model->Store().MemoryBytes()) : 0;
    std::printf(
        "million: %zu frames in %.2f s (%.0f frames/s); resident memory grew %.1f MB, the view's store "
        "holds %.1f MiB of its %zu MiB (%.0f bytes per frame)\n",
        win.frames, seconds, win.frames / seconds, grown / 1024.0, kept / 1048576,
        model ? model->Store().ByteLimit() >> 20 : 0,
        kept / static_cast<double>(std::max<size_t>(1, frames)));
    // A page drawn at random places in the table, as a user dragging the scroll bar sees it.
    if (auto *view = win.w.findChild<QAbstractItemView *>(QStringLiteral("tblFrames"))) {
        // Shown, so the page is really laid out and painted (a hidden widget paints nothing).
        win.w.resize(1000, 800);
        win.w.show();
        RunUntil([&] { return view->isVisible() && view->model()->rowCount() > 0; }, 10000);
        std::mt19937 random(7);
        QScrollBar *bar = view->verticalScrollBar();
        const int draws = 100;
        QElapsedTimer draw;
        draw.start();
        for (int i = 0; i < draws; ++i) {
            bar->setValue(static_cast<int>(random() % static_cast<unsigned>(std::max(1, bar->maximum()))));
            const QPixmap page = view->viewport()->grab();
            if (page.isNull())
                std::printf("scroll: the page could not be drawn\n");
        }
        std::printf("scroll: a page drawn at a random place among them in %.2f ms on average\n",
                    draw.nsecsElapsed() / 1e6 / draws);
    }
    return all ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    UseBenchHome(home);
    QApplication app(argc, argv);
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // --stall SECONDS [MODE]: only the stall round (with the frames view unless MODE says else).
    if (argc > 2 && std::strcmp(argv[1], "--stall") == 0) {
        const ST_Round round = Round(argc > 3 ? static_cast<EMode>(std::atoi(argv[3]) % kModes) : EMode::View,
                                     std::atof(argv[2]), true);
        std::printf("stall: %.1f ms\n", round.StallMs);
        return round.All ? 0 : 1;
    }
    // --mode 0|1|2|3 [seconds]: one round of one mode, for a profiler.
    if (argc > 2 && std::strcmp(argv[1], "--mode") == 0) {
        const ST_Round round =
            Round(static_cast<EMode>(std::atoi(argv[2]) % kModes), argc > 3 ? std::atof(argv[3]) : 5, false);
        std::printf("%s: %.1f %% of a core (GUI thread %.1f %%)\n", kModeNames[std::atoi(argv[2]) % kModes],
                    round.CpuPercent, round.GuiCpuPercent);
        return round.All ? 0 : 1;
    }
    int failures = SideBySide(smoke ? 1 : 5, smoke ? 0.3 : 5);
    failures += Million(smoke ? 20000 : 1000000);
    return failures;
}
