/*
 * l_testapp.h -- the one QApplication of a launcher test executable and a
 * helper that answers the next modal dialog from a timer.
 */
#ifndef L_TESTAPP_H
#define L_TESTAPP_H

#include <QApplication>
#include <QDialog>
#include <QTimer>

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
        QWidget *w = QApplication::activeModalWidget();
        QDialog *d = qobject_cast<QDialog *>(w);
        if (!d) {
            L_AnswerNextDialog(accept, seen);
            return;
        }
        if (seen)
            (*seen)++;
        if (accept)
            d->accept();
        else
            d->reject();
    });
}

#endif
