// The first window of a fresh app folder: its empty log says how to begin and opens the demo board.
#include "demo/demodevices.h"
#include "log/gui/TTrafficLog.h"
#include "portbase/demoports.h"
#include "serial/portlist.h"

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"

#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

struct CDemoPortsInstalled
{
    CDemoPortsInstalled() { demo::InstallDemoPorts(); }
    ~CDemoPortsInstalled() { RegisterDemoPorts(nullptr); }
};

bool LogHas(const TTrafficLog &log, const std::string &text)
{
    for (int i = 0; i < log.LineCount(); ++i)
        if (log.LineText(i).find(text) != std::string::npos)
            return true;
    return false;
}

QWidget *Offer(const QWidget &window)
{
    return window.findChild<QWidget *>(QStringLiteral("pnlFirstStart"));
}

} // namespace

TEST(FirstStart, TheOfferOpensTheDemoBoardOnceTheUserConfirms)
{
    GuiTestEnv env;
    CDemoPortsInstalled demos;
    std::unique_ptr<QMainWindow> window = NewMainWindow();
    window->show();
    ASSERT_NE(Offer(*window), nullptr);
    EXPECT_TRUE(Offer(*window)->isVisible());

    auto *log = Find<TTrafficLog>(*window, "edData");
    EXPECT_EQ(log->LineCount(), 0);

    QString chosen;
    ModalCatcher catcher([&chosen](QDialog *dialog) {
        if (dialog->objectName() != QLatin1String("frmOpenPort"))
            return dialog->reject();
        const QList<QListWidgetItem *> selected =
            Find<QListWidget>(dialog, "lstDemoDevices")->selectedItems();
        if (selected.isEmpty())
            return dialog->reject(); // Open would have nothing to open: the dialog would stay
        chosen = selected.first()->data(Qt::UserRole).toString();
        QTest::mouseClick(Find<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    });
    QTest::mouseClick(Find<QPushButton>(*window, "btnOpenDemoBoard"), Qt::LeftButton);
    EXPECT_EQ(chosen, "demo://board");
    EXPECT_TRUE(WaitUntil(
        [&] { return LogHas(*log, "Hit any key to stop autoboot") || LogHas(*log, "Linux version"); },
        20000));
    EXPECT_TRUE(WaitUntil([&] { return Offer(*window) == nullptr; }));
}

// A user who has links is told nothing; anything logged ends the offer even before a port opens.
TEST(FirstStart, NoOfferWithALinkAndNoneOnceSomethingIsLogged)
{
    {
        GuiTestEnv env;
        std::ofstream(env.File("Default.cps")) << "\"bench\",\"ttyS0\", 9600, 8, 0, 0, 0, 1024, 1024\r\n";
        std::unique_ptr<QMainWindow> window = NewMainWindow();
        EXPECT_EQ(Offer(*window), nullptr);
    }
    GuiTestEnv env;
    std::unique_ptr<QMainWindow> window = NewMainWindow();
    ASSERT_NE(Offer(*window), nullptr);
    Find<TTrafficLog>(*window, "edData")->LogNote("a note");
    EXPECT_TRUE(WaitUntil([&] { return Offer(*window) == nullptr; }));
}
