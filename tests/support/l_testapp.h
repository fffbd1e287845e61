/* The launcher tests' one QApplication, a dialog answerer, and the fresh-start fixture. */
#ifndef L_TESTAPP_H
#define L_TESTAPP_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

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

/* Accepts (or rejects) the modal dialog that will be open in a moment. */
static inline void L_AnswerNextDialog(bool accept, int *seen)
{
    QTimer::singleShot(50, [accept, seen] {
        QDialog *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d)
            return L_AnswerNextDialog(accept, seen);
        if (seen)
            (*seen)++;
        if (accept)
            d->accept();
        else
            d->reject();
    });
}

/* A scratch current folder, one language, fresh tables, two modes; Open() makes the windows. */
class L_Fresh : public ::testing::Test {
protected:
    gk::TempDir d;
    char old[4096];
    void SetUp() override { Start(49); }
    void Start(int country)
    {
        L_TestApp();
        ASSERT_TRUE(getcwd(old, sizeof(old)));
        ASSERT_EQ(chdir(d.path.c_str()), 0);
        ASSERT_TRUE(Lang_LoadFile(gk::DistDir() + "/data/textres_" + std::to_string(country) + ".ini", country));
        LanguageCountry = country;
        HS_Fill(&LocalTable, Lang(205), 0);
        HS_Fill(&InternetTable, Lang(205), 0);
        ModeList = {"640 480 16", "1024 768 32"};
        DoneMask = 0;
    }
    void Open()
    {
        L_CreateWindows();
        LoadSettings(d / "none.ini");
    }
    void TearDown() override
    {
        L_DestroyWindows();
        ASSERT_EQ(chdir(old), 0);
    }
};

#endif
