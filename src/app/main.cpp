#include "app/MainWindow.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstring>
#include <exception>
#include <memory>

namespace {

// "--screenshot <file>" renders the window as it first appears and ends; the README's picture
// is made this way, without a display.
int SaveScreenshot(TfrmMain &window, const char *path)
{
    window.show();
    return window.grab().save(QString::fromLocal8Bit(path)) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(kestrum);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrum"));
    std::unique_ptr<TfrmMain> window;
    try {
        window = std::make_unique<TfrmMain>();
        frmMain = window.get();
        // Owned by the main window, so it goes (and writes its file) after the main window's settings.
        frmRecDataList = new TfrmRecDataList(window.get());
        window->SetRecDataList(frmRecDataList);
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, app.applicationName(), QString::fromLocal8Bit(e.what()));
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return SaveScreenshot(*window, argv[2]);
    window->show();
    const int code = app.exec();
    window.reset();
    frmMain = nullptr;
    frmRecDataList = nullptr;
    return code;
}
