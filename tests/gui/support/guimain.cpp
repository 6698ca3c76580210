#include <QApplication>
#include <gtest/gtest.h>

// GUI tests drive real widgets; they need an application object but never a display.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The tests read the English texts whatever the machine's language, also in the programs
    // they start.
    qputenv("KESTRUM_LANGUAGE", "en");
    Q_INIT_RESOURCE(kestrum);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
