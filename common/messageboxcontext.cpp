#include "common/messageboxcontext.h"

#include <QCoreApplication>

MessageBoxContext::MessageBoxContext(QObject* parent) : QObject(parent) {
    qRegisterMetaType<MessageBoxContext::CallBack>("MessageBoxContext::CallBack");
}

MessageBoxContext* MessageBoxContext::global() {
    static MessageBoxContext* instance = new MessageBoxContext();
    return instance;
}

void MessageBoxContext::callBack(const QVariant& cb) {
    callBack(cb.value<CallBack>());
}

void MessageBoxContext::callBack(const CallBack& cb) {
    if (cb) {
        cb();
    }
}

void MessageBoxContext::open(const QString& title, const QString& msg, Icon icon,
                             const QList<ButtonFun>& buttons) {
    QVariantList kinds;
    QVariantList names;
    QVariantList cbs;
    for (const ButtonFun& b : buttons) {
        kinds.append(static_cast<int>(b.button));
        names.append(b.name);
        cbs.append(QVariant::fromValue(b.callback));
    }
    QVariantMap request;
    request.insert(QStringLiteral("title"), title);
    request.insert(QStringLiteral("msg"), msg);
    request.insert(QStringLiteral("icon"), static_cast<int>(icon));
    request.insert(QStringLiteral("buttons"), kinds);
    request.insert(QStringLiteral("buttonNames"), names);
    request.insert(QStringLiteral("cbs"), cbs);
    emit msgbox(request);
}

void MessageBoxContext::alert(const QString& title, const QString& msg, CallBack cb, Icon icon,
                              const QString& buttonName) {
    open(title, msg, icon, {ButtonFun{OK, buttonName, std::move(cb)}});
}

void MessageBoxContext::question(const QString& title, const QString& msg, CallBack yes, CallBack no,
                                 Icon icon, const QString& yesName, const QString& noName) {
    open(title, msg, icon, {ButtonFun{Yes, yesName, std::move(yes)}, ButtonFun{No, noName, std::move(no)}});
}

void MessageBoxContext::error(const QString& title, const QString& msg, CallBack cb,
                              const QString& buttonName) {
    alert(title, msg, std::move(cb), Error, buttonName);
}

QString MessageBoxContext::okText() {
    return QCoreApplication::translate("MessageBoxContext", "OK");
}

QString MessageBoxContext::yesText() {
    return QCoreApplication::translate("MessageBoxContext", "Yes");
}

QString MessageBoxContext::noText() {
    return QCoreApplication::translate("MessageBoxContext", "No");
}
