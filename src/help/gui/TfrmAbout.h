#pragma once
// The About box: product name, version, logo and the maker's web address.
#include <QDialog>
#include <string>

class QLabel;

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *kWebAddress = "https://www.vantrell.example/kestrum";

    explicit TfrmAbout(QWidget *owner);

    // "v " and the dotted version; "v 1.0" when the build carries none.
    static QString VersionText(const std::string &version);
};
