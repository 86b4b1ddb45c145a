#pragma once
// A fresh, empty home folder for one test: HOME, XDG_DATA_HOME and TMPDIR point into it until the
// object is destroyed, so the directory functions never touch the real account.

#include <QByteArray>
#include <QTemporaryDir>

#include <string>

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    std::string path() const;

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    QByteArray oldXdg_;
    QByteArray oldTmp_;
    bool hadXdg_;
    bool hadTmp_;
};
