#include "app/qmltypes.h"

#include "common/messageboxcontext.h"

#include <QtQml>

void registerQmlTypes() {
    qmlRegisterType<MessageBoxContext>("MessageBoxContext", 1, 0, "MessageBoxContext");
}
