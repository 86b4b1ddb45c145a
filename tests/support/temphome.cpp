#include "tests/support/temphome.h"

#include <QDir>

#include <cstdlib>

TempHome::TempHome()
    : oldHome_(qgetenv("HOME")), oldXdg_(qgetenv("XDG_DATA_HOME")), oldTmp_(qgetenv("TMPDIR")),
      hadXdg_(qEnvironmentVariableIsSet("XDG_DATA_HOME")), hadTmp_(qEnvironmentVariableIsSet("TMPDIR")) {
    const QByteArray home = dir_.path().toUtf8();
    qputenv("HOME", home);
    qunsetenv("XDG_DATA_HOME");
    QDir(dir_.path()).mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", home + "/tmp");
}

TempHome::~TempHome() {
    qputenv("HOME", oldHome_);
    if (hadXdg_) {
        qputenv("XDG_DATA_HOME", oldXdg_);
    } else {
        qunsetenv("XDG_DATA_HOME");
    }
    if (hadTmp_) {
        qputenv("TMPDIR", oldTmp_);
    } else {
        qunsetenv("TMPDIR");
    }
}

std::string TempHome::path() const {
    return dir_.path().toStdString();
}
