#pragma once
// Tests never need a display or a sound card: default to Qt's offscreen platform and SDL's silent
// driver unless the caller chose otherwise. Child processes started by tests inherit the choice.

#include <QByteArray>
#include <QtGlobal>

inline void setHeadlessTestEnvironment() {
    const char* defaults[][2] = {
        {"QT_QPA_PLATFORM", "offscreen"}, {"QT_QUICK_BACKEND", "software"}, {"SDL_AUDIODRIVER", "dummy"}};
    for (const auto& d : defaults) {
        if (qEnvironmentVariableIsEmpty(d[0])) {
            qputenv(d[0], QByteArray(d[1]));
        }
    }
}
