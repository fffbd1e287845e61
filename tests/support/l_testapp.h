/* The launcher tests' one QApplication, a dialog answerer, and the fresh-start fixture. */
#ifndef L_TESTAPP_H
#define L_TESTAPP_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <QtWidgets>     /* the launcher's forms, as the tests reach them */

#include <functional>

#include "gk_support.h"
#include "l_local.h"

static inline QApplication *L_TestApp(void)
{
    static int argc = 1;
    static char name[] = "launcher_test";
    static char *argv[] = {name, nullptr};
    static QApplication *app = new QApplication(argc, argv);
    return app;
}

/* Watches for modal dialogs while it lives: the first `expected` are accepted (or rejected) and counted in
 * seen, after look() has seen them open; any other is rejected and fails naming its title, so a wrong dialog
 * ends the action instead of blocking the test until CTest's time-out. */
struct L_DialogWatch {
    QTimer poll;
    int seen = 0;
    L_DialogWatch(int expected, bool accept, std::function<void()> look = nullptr)
    {
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [this, expected, accept, look] {
            QDialog *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            if (++seen > expected)
                ADD_FAILURE() << "unexpected dialog \"" << d->windowTitle().toStdString() << "\"";
            else if (look)
                look();
            if (accept && seen <= expected)
                d->accept();
            else
                d->reject();
        });
        poll.start();
    }
};

/* A scratch current folder, one language, fresh tables, two modes; Open() makes the windows.
 * The score server and demo folder a test sets are forgotten after it. */
struct L_Fresh : ::testing::Test {
    gk::TempDir d;
    void SetUp() override { Start(49); }
    void Start(int country)
    {
        L_TestApp();
        ASSERT_TRUE(d.Enter());
        ASSERT_TRUE(Lang_LoadFile(gk::DistDir() + "/data/textres_" + std::to_string(country) + ".ini", country));
        LanguageCountry = country;
        HS_Fill(&LocalTable, Lang(205), 0);
        HS_Fill(&InternetTable, Lang(205), 0);
        ModeList = {"640 480 16", "1024 768 32"};
        DoneMask = 0;
    }
    /* a warning of Qt's while the windows are made is a fault of ours (a gradient stop out of range...) */
    void Open()
    {
        static std::string warned;
        warned.clear();
        QtMessageHandler was = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext &, const QString &m) {
            warned += t == QtDebugMsg || t == QtInfoMsg ? "" : m.toStdString() + "\n";
        });
        L_CreateWindows();
        LoadSettings(d / "none.ini");
        qInstallMessageHandler(was);
        EXPECT_EQ(warned, "");
    }
    void TearDown() override
    {
        L_DestroyWindows();
        ScoreServerHost.clear();
        DemoDir.clear();
    }
};

#endif
