#include <QApplication>

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(kestrum);
    QApplication app(argc, argv);
    app.setApplicationName("Kestrum");
    return 0;
}
