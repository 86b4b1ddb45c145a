#include "app/startup.h"

#include "app/productinfo.h"
#include "app/qmltypes.h"
#include "app/runguard.h"
#include "app/terminationsignals.h"
#include "common/messageboxcontext.h"
#include "common/q2str.h"
#include "common/qt_osdirs.h"
#include "tts/ttssay.h"
#include "tts/ttsworker.h"
#include "voices/downloadutil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: parlona [--help | --version]\n"
    "       parlona --say \"text\" --voice UID[:SPK] [--speed S] --out file.wav\n"
    "       parlona --convert   (conversion worker: one request on standard input)\n"
    "\n"
    "Without arguments the interface starts; only one interface runs per user.\n"
    "--say speaks the text with an installed voice into a WAV file, through the same conversion\n"
    "workers as the interface.\n";

bool printInfoAndExit(int argc, char* argv[]) {
    if (argc < 2) {
        return false;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, stdout);
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", PROD_NAME, PROD_VER);
        return true;
    }
    return false;
}

// The results are not examined: a failed step leaves the modules Qt itself ships.
void runShellCommand(const QString& command) {
    const int rc = std::system(command.toUtf8().constData());
    Q_UNUSED(rc)
}

// Unpacks the bundle's private copy of the declarative modules, when the bundle ships one.
void installPrivateQmlModules(QQmlApplicationEngine& engine) {
    const QString exeDir = str2q(executableDir());
    const QString zip = exeDir + QStringLiteral("/../Resources/_qml_zip");
    if (!QFileInfo::exists(zip)) {
        return;
    }
    const QString target = str2q(appDataDir()) + QStringLiteral("/.qml");
    const QString plugins = target + QStringLiteral("/Plugins");
#ifdef __APPLE__
    runShellCommand(QStringLiteral("ditto -x -k \"%1\" \"%2\"").arg(zip, target));
#else
    runShellCommand(QStringLiteral("unzip -o -q \"%1\" -d \"%2\"").arg(zip, target));
#endif
    runShellCommand(QStringLiteral("rm -f \"%1\"").arg(plugins));
    runShellCommand(
        QStringLiteral("ln -s \"%1\" \"%2\"").arg(exeDir + QStringLiteral("/../Plugins"), plugins));
    engine.addImportPath(target + QStringLiteral("/Resources/qml"));
}

void publishGlobals(QQmlContext* ctx, QQmlApplicationEngine* engine) {
    ctx->setContextProperty(QStringLiteral("engine"), engine);
    ctx->setContextProperty(QStringLiteral("msgboxctx"), MessageBoxContext::global());
    ctx->setContextProperty(QStringLiteral("PROD_NAME"), QObject::tr(PROD_NAME));
    ctx->setContextProperty(QStringLiteral("PROD_VER"), QString::fromLatin1(PROD_VER));
    ctx->setContextProperty(QStringLiteral("PROD_VERID"), PROD_VERID);
    ctx->setContextProperty(QStringLiteral("PROD_UID"), QString::fromLatin1(PROD_UID));
    ctx->setContextProperty(QStringLiteral("FONTSIZE_TITLE1"), 20);
    ctx->setContextProperty(QStringLiteral("FONTSIZE_TITLE"), 17);
    ctx->setContextProperty(QStringLiteral("FONTSIZE_DEF"), 14);
    ctx->setContextProperty(QStringLiteral("FONTSIZE_SUB"), 13);
    ctx->setContextProperty(QStringLiteral("FONTSIZE_SUB2"), 11);
    ctx->setContextProperty(QStringLiteral("FONTSIZE_SUB3"), 9);
    ctx->setContextProperty(QStringLiteral("TEXTCOLOR_MAIN"), QStringLiteral("black"));
    ctx->setContextProperty(QStringLiteral("TEXTCOLOR_MAIN2"), QStringLiteral("#333333"));
    ctx->setContextProperty(QStringLiteral("FONTFAMILY_MAIN"), QStringLiteral("Arial"));
    ctx->setContextProperty(QStringLiteral("MAIN_COLOR"), QStringLiteral("#02BAFF"));
}

int runInterface(int argc, char* argv[]) {
    quitOnTerminationSignals();
    RunGuard guard(QString::fromLatin1(RUN_GUARD_KEY));
    if (!guard.tryToRun()) {
        return 0;
    }
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    initNetwork(); // before any thread can make a request; workers never need it
    QTranslator translator;
    if (translator.load(QStringLiteral(":/translators/text2speech_en_US.qm"))) {
        app.installTranslator(&translator);
    }
    MessageBoxContext::global();
    registerQmlTypes();
    QQmlApplicationEngine engine;
    installPrivateQmlModules(engine);
    const QUrl mainUrl(QStringLiteral("qrc:/qml/main.qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &app,
        [mainUrl](QObject* obj, const QUrl& url) {
            if (!obj && url == mainUrl) {
                QCoreApplication::exit(-1);
            }
        },
        Qt::QueuedConnection);
    publishGlobals(engine.rootContext(), &engine);
    engine.load(mainUrl);
    return app.exec();
}

} // namespace

int startParlona(int argc, char* argv[]) {
    if (argc >= 2 && std::strcmp(argv[1], "--convert") == 0) {
        QCoreApplication app(argc, argv);
        return tts_convert_process_server();
    }
    if (argc >= 2 && std::strcmp(argv[1], "--say") == 0) {
        return tts_say_main(argc, argv);
    }
    if (printInfoAndExit(argc, argv)) {
        return 0;
    }
    return runInterface(argc, argv);
}
