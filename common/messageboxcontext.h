#pragma once
// The one way models tell the user something or ask a yes/no question: a request map goes to the
// window, and every answer comes back as a callback.

#include <QObject>
#include <QVariantMap>

#include <functional>

class MessageBoxContext : public QObject {
    Q_OBJECT
public:
    enum Button { OK = 1, Cancel = 2, Yes = 4, No = 8 };
    Q_ENUM(Button)
    enum Icon { Alert = 1, Warning = 2, Question = 3, Error = 4, Suc = 5 };
    Q_ENUM(Icon)

    using CallBack = std::function<void()>;

    struct ButtonFun {
        Button button;
        QString name;
        CallBack callback;
    };

    explicit MessageBoxContext(QObject* parent = nullptr);

    static MessageBoxContext* global();

    Q_INVOKABLE void callBack(const QVariant& cb);
    void callBack(const CallBack& cb);

    void open(const QString& title, const QString& msg, Icon icon, const QList<ButtonFun>& buttons);
    void alert(const QString& title, const QString& msg, CallBack cb = {}, Icon icon = Alert,
               const QString& buttonName = okText());
    void question(const QString& title, const QString& msg, CallBack yes, CallBack no = {},
                  Icon icon = Question, const QString& yesName = yesText(), const QString& noName = noText());
    void error(const QString& title, const QString& msg, CallBack cb = {},
               const QString& buttonName = okText());

    static QString okText();
    static QString yesText();
    static QString noText();

signals:
    void msgbox(const QVariantMap& request);
};

Q_DECLARE_METATYPE(MessageBoxContext::CallBack)
