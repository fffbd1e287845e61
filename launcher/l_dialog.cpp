/*
 * l_dialog.cpp -- the launcher's windows: the main dialog with its three
 * pages (games and local list, internet list, settings), the score entry
 * dialog and the intro window; the settings file beside the program; the
 * mode and level lists, the highscore columns and the message boxes.
 */
#include "l_local.h"

#include <stdio.h>
#include <stdlib.h>

#include <fstream>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

mainf_t mf;
std::string l_lastcaption, l_lasttext;
int l_messagecount;

static QString L_Q(const std::string &s)
{
    return QString::fromStdString(s).remove(QChar('\r'));
}

static QString L_Caption(const std::string &s);

void L_MessageBox(QWidget *owner, int icon, const std::string &caption, const std::string &text)
{
    l_lastcaption = caption;
    l_lasttext = text;
    l_messagecount++;
    const char *h = getenv("GACKATRON_HEADLESS");
    if (h && !strcmp(h, "1")) {
        fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QMessageBox::Icon i = icon == L_MB_ERROR ? QMessageBox::Critical
                        : icon == L_MB_INFO  ? QMessageBox::Information
                                             : QMessageBox::Warning;
    /* texts may come from the network or a file: never markup */
    QMessageBox box(i, L_Caption(caption), L_Q(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

/* A window caption: one line of printable characters, not too long. */
static QString L_Caption(const std::string &s)
{
    QString c = L_Q(s);
    for (QChar &ch : c)
        if (ch.category() == QChar::Other_Control)
            ch = QChar(' ');
    if (c.size() > L_MAXCAPTION)
        c = c.left(L_MAXCAPTION - 3) + "...";
    return c;
}

/* Busy cursor and a status text while the launcher waits for something.
 * Before the dialog exists (the start-up query) the text gets a small
 * window of its own, shown only when the wait is not over at once. */
static QLabel *l_busywin;
static int l_busydepth;

void L_BusyBegin(const std::string &status)
{
    if (l_busydepth++ == 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    QString text = L_Q(status);
    if (mf.labelStatus) {
        mf.labelStatus->setText(text);
        mf.labelStatus->show();
        return;
    }
    if (!l_busywin) {
        l_busywin = new QLabel(NULL, Qt::SplashScreen | Qt::FramelessWindowHint);
        l_busywin->setTextFormat(Qt::PlainText);
        l_busywin->setMargin(16);
        l_busywin->setFrameStyle(QFrame::Box);
    }
    l_busywin->setText(text);
    l_busywin->adjustSize();
    if (QScreen *scr = QGuiApplication::primaryScreen())
        l_busywin->move(scr->availableGeometry().center() - l_busywin->rect().center());
    QTimer::singleShot(300, l_busywin, [] { if (l_busydepth) l_busywin->show(); });
}

void L_BusyEnd(void)
{
    if (l_busydepth <= 0)
        return;
    if (--l_busydepth)
        return;
    QApplication::restoreOverrideCursor();
    if (mf.labelStatus)
        mf.labelStatus->clear();
    delete l_busywin;
    l_busywin = NULL;
}

/* ---- built-in pictures: drawn once, a key colour around the motif ---- */

static QImage L_Picture(int w, int h, int kind)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 255));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, kind == 0);  /* no blend into the key colour */
    if (kind == 0) {        /* page background: night sky */
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, QColor(10, 20, 70));
        g.setColorAt(1, QColor(0, 0, 10));
        p.fillRect(0, 0, w, h, g);
        p.setPen(QColor(230, 230, 255));
        for (int i = 0; i < 90; i++)
            p.drawPoint((i * 97) % w, (i * 61 + i * i) % h);
        p.setPen(QColor(255, 210, 60));
        p.setFont(QFont("DejaVu Sans", 20, QFont::Bold));
        p.drawText(QRect(0, 8, w, 40), Qt::AlignCenter, "GACKATRON");
    } else {                /* decorations */
        static const QColor c[] = {QColor(220, 180, 40), QColor(60, 140, 220),
                                   QColor(80, 180, 80), QColor(200, 70, 60)};
        p.setBrush(c[kind % 4]);
        p.setPen(Qt::black);
        p.drawEllipse(QRect(w / 8, h / 8, w * 3 / 4, h * 3 / 4));
    }
    return img;
}

void KeyColorToButtonFace(QImage *img, unsigned int buttonface)
{
    if (img->isNull())
        return;
    if (img->format() != QImage::Format_RGB32 && img->format() != QImage::Format_ARGB32)
        *img = img->convertToFormat(QImage::Format_RGB32);
    QRgb key = img->pixel(0, 0);
    for (int y = 0; y < img->height(); y++) {
        QRgb *row = (QRgb *)img->scanLine(y);
        for (int x = 0; x < img->width(); x++)
            if (row[x] == key)
                row[x] = buttonface | 0xff000000u;
    }
}

static void L_KeyLabel(QLabel *l)
{
    QImage img = l->pixmap().toImage();
    KeyColorToButtonFace(&img, QApplication::palette().color(QPalette::Button).rgb());
    l->setPixmap(QPixmap::fromImage(img));
}

/* The colour-depth pictures sit on the group box: their key colour
 * becomes see-through rather than a colour of its own. */
static void L_KeyTransparent(QLabel *l)
{
    QImage img = l->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    if (img.isNull())
        return;
    QRgb key = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y++) {
        QRgb *row = (QRgb *)img.scanLine(y);
        for (int x = 0; x < img.width(); x++)
            if (row[x] == key)
                row[x] = 0;
    }
    l->setPixmap(QPixmap::fromImage(img));
}

/* ---- building the controls ---- */

/* A label for a layout to place. */
static QLabel *L_Label(QWidget *parent, int tag, const char *text)
{
    QLabel *l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);    /* names, versions, language texts: never markup */
    l->setText(QString::fromUtf8(text));
    l->setProperty("tag", tag);
    return l;
}

static QLabel *L_Label(QWidget *parent, int x, int y, int w, int h, int tag, const char *text)
{
    QLabel *l = L_Label(parent, tag, text);
    l->setGeometry(x, y, w, h);
    return l;
}

static QLabel *L_Image(QWidget *parent, int x, int y, int w, int h, int kind)
{
    QLabel *l = new QLabel(parent);
    l->setGeometry(x, y, w, h);
    l->setPixmap(QPixmap::fromImage(L_Picture(w, h, kind)));
    return l;
}

/* A control with the tag of its language text, for a layout to place... */
template <class T> static T *L_Tagged(T *c, int tag)
{
    c->setProperty("tag", tag);
    return c;
}

/* ...or placed by hand. */
template <class T> static T *L_Tagged(T *c, int x, int y, int w, int h, int tag)
{
    c->setGeometry(x, y, w, h);
    return L_Tagged(c, tag);
}

static void L_CreatePageLocal(QWidget *pg)
{
    mf.imageLocal = L_Image(pg, 0, 0, 457, 521, 0);
    QLabel *l4 = L_Label(pg, 20, 52, 300, 22, 102, "DIE BESTENLISTE");
    l4->setStyleSheet("color: #ffd23c; font-weight: bold;");
    mf.labelLHighscore = L_Label(pg, 20, 76, 300, 20, 0, "");
    mf.labelLHighscore->setStyleSheet("color: white;");
    mf.lhn[0] = L_Label(pg, 40, 100, 200, 20, 0, "");
    mf.lhp[0] = L_Label(pg, 250, 100, 120, 20, 0, "");
    mf.lhp[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mf.lhn[0]->setStyleSheet("color: white;");
    mf.lhp[0]->setStyleSheet("color: white;");
    mf.labelVersion = L_Label(pg, 380, 498, 70, 18, 0, "");
    mf.labelVersion->setStyleSheet("color: grey;");
    L_Label(pg, 20, 320, 200, 20, 103, "Level auswählen:")->setStyleSheet("color: white;");
    mf.comboMaps = new QComboBox(pg);
    mf.comboMaps->setGeometry(20, 342, 300, 26);
    mf.Button1 = L_Tagged(new QPushButton(QString::fromUtf8(" Spielen"), pg), 20, 382, 160, 40, 104);
    QObject::connect(mf.comboMaps, &QComboBox::activated, [] { comboMapsChange(mf.comboMaps); });
    QObject::connect(mf.Button1, &QPushButton::clicked, [] { Button1Click(); });
}

static void L_CreatePageInet(QWidget *pg)
{
    mf.imageInternet = L_Image(pg, 0, 0, 457, 145, 0);
    mf.imageGleiter = L_Image(pg, 370, 150, 80, 60, 1);    /* clear of the first row of points */
    L_Label(pg, 20, 150, 300, 22, 111, "DIE BESTEN IM NETZ")->setStyleSheet("font-weight: bold;");
    mf.labelIHighscore = L_Label(pg, 20, 174, 300, 20, 0, "");
    mf.ihn[0] = L_Label(pg, 40, 198, 200, 20, 0, "");
    mf.ihp[0] = L_Label(pg, 250, 198, 120, 20, 0, "");
    mf.ihp[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mf.labelVersion2 = L_Label(pg, 380, 498, 70, 18, 0, "");
    mf.labelVersion2->setStyleSheet("color: grey;");
    L_Label(pg, 20, 408, 200, 20, 103, "Level auswählen:");
    mf.comboIMaps = new QComboBox(pg);
    mf.comboIMaps->setGeometry(20, 430, 300, 26);
    mf.buttonInternet = L_Tagged(new QPushButton(QString::fromUtf8(" Liste abgleichen"), pg),
                                 20, 466, 180, 36, 112);
    mf.labelStatus = L_Label(pg, 20, 506, 350, 18, 0, "");
    QObject::connect(mf.comboIMaps, &QComboBox::activated, [] { comboMapsChange(mf.comboIMaps); });
    QObject::connect(mf.buttonInternet, &QPushButton::clicked, [] { buttonInternetClick(); });
}

/* The settings page and the entry dialog are laid out, not placed: their
 * captions come from the language files and differ a lot in length. */
static QLabel *L_FixedImage(QWidget *parent, int w, int h, int kind)
{
    QLabel *l = L_Image(parent, 0, 0, w, h, kind);
    l->setFixedSize(w, h);
    return l;
}

/* Music and effects volume, in percent of the game's own mix. */
static QSlider *L_VolumeSlider(QWidget *parent)
{
    QSlider *s = new QSlider(Qt::Horizontal, parent);
    s->setRange(0, 100);
    s->setSingleStep(10);
    s->setPageStep(10);
    return s;
}

static QGroupBox *L_CreateVolumes(QWidget *pg)
{
    QGroupBox *g = L_Tagged(new QGroupBox(QString::fromUtf8(" Lautstärke "), pg), 135);
    QGridLayout *l = new QGridLayout(g);
    mf.trackMusic = L_VolumeSlider(g);
    mf.trackEffects = L_VolumeSlider(g);
    l->addWidget(L_Label(g, 136, "Musik"), 0, 0);
    l->addWidget(mf.trackMusic, 0, 1);
    l->addWidget(L_Label(g, 137, "Effekte"), 0, 2);
    l->addWidget(mf.trackEffects, 0, 3);
    return g;
}

static void L_CreatePageSettings(QWidget *pg)
{
    QVBoxLayout *page = new QVBoxLayout(pg);
    page->setContentsMargins(8, 4, 8, 2);
    page->setSpacing(2);   /* four groups on a page of fixed height */

    QGroupBox *g1 = L_Tagged(new QGroupBox(QString::fromUtf8(" Grafikeinstellungen "), pg), 121);
    QGridLayout *l1 = new QGridLayout(g1);
    l1->addWidget(L_Label(g1, 122, "Auflösung :"), 0, 0);
    mf.resBox = new QComboBox(g1);
    l1->addWidget(mf.resBox, 0, 1);
    mf.img16 = L_FixedImage(g1, 90, 36, 2);
    mf.img32 = L_FixedImage(g1, 90, 36, 3);
    l1->addWidget(mf.img16, 0, 2);          /* the two share one place */
    l1->addWidget(mf.img32, 0, 2);
    QLabel *l5 = L_Label(g1, 123,
                         "Hinweis: Höhere Auflösungen und höhere Farbtiefe verbessern die Bildqualität. "
                         "Auf weniger leistungsstarken Grafikkarten führt eine höhere Farbtiefe allerdings "
                         "möglicherweise zu einer spürbar geringeren Darstellungsgeschwindigkeit.");
    l5->setWordWrap(true);
    l1->addWidget(l5, 1, 0, 1, 3);
    QGridLayout *modes = new QGridLayout;
    mf.imageWindowed = L_FixedImage(g1, 56, 40, 1);
    mf.imageFullscreen = L_FixedImage(g1, 56, 40, 2);
    mf.radioWindowed = L_Tagged(new QRadioButton(QString::fromUtf8("Spiel im Fenster starten"), g1), 124);
    mf.radioFullscreen = L_Tagged(new QRadioButton(QString::fromUtf8("In den Vollbildmodus wechseln"), g1), 125);
    modes->addWidget(mf.imageWindowed, 0, 0, Qt::AlignHCenter);
    modes->addWidget(mf.imageFullscreen, 0, 1, Qt::AlignHCenter);
    modes->addWidget(mf.radioWindowed, 1, 0);
    modes->addWidget(mf.radioFullscreen, 1, 1);
    l1->addLayout(modes, 2, 0, 1, 3);
    l1->setColumnStretch(1, 1);
    mf.radioWindowed->setChecked(true);
    QObject::connect(mf.resBox, &QComboBox::activated, [] { resBoxChange(); });
    page->addWidget(g1);

    QGroupBox *g2 = L_Tagged(new QGroupBox(QString::fromUtf8(" Mauseinstellungen "), pg), 126);
    QGridLayout *l2 = new QGridLayout(g2);
    mf.checkMouse = L_Tagged(new QCheckBox(QString::fromUtf8("Mausbewegungen in der Senkrechten umkehren."), g2), 127);
    l2->addWidget(mf.checkMouse, 0, 0, 1, 3);
    mf.trackMouse = new QSlider(Qt::Horizontal, g2);
    mf.trackMouse->setRange(0, 10);
    mf.trackMouse->setTickInterval(1);
    mf.trackMouse->setPageStep(1);          /* a click on the track moves one step */
    mf.trackMouse->setTickPosition(QSlider::TicksBelow);
    mf.trackMouse->setValue(5);
    l2->addWidget(mf.trackMouse, 1, 0, 1, 2);
    l2->addWidget(L_Label(g2, 128, "Niedrige Empfindlichkeit"), 2, 0);
    QLabel *l3 = L_Label(g2, 129, "Hohe Empfindlichkeit");
    l3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l2->addWidget(l3, 2, 1);
    mf.imageMouse = L_FixedImage(g2, 64, 64, 3);
    l2->addWidget(mf.imageMouse, 1, 2, 2, 1);
    page->addWidget(g2);
    page->addWidget(L_CreateVolumes(pg));

    QGroupBox *g3 = L_Tagged(new QGroupBox(QString::fromUtf8(" Internetverbindung "), pg), 130);
    QGridLayout *l3g = new QGridLayout(g3);
    mf.checkProxy = L_Tagged(new QCheckBox(QString::fromUtf8("Die Verbindung erfolgt über einen weiteren Computer (Proxy)."), g3), 131);
    l3g->addWidget(mf.checkProxy, 0, 0, 1, 4);
    mf.labelProxy = L_Label(g3, 132, "Proxy :");
    mf.editProxy = new QLineEdit(g3);
    mf.labelPort = L_Label(g3, 133, "Port :");
    mf.editPort = new QLineEdit("8080", g3);
    mf.editPort->setMaximumWidth(80);
    l3g->addWidget(mf.labelProxy, 1, 0);
    l3g->addWidget(mf.editProxy, 1, 1);
    l3g->addWidget(mf.labelPort, 2, 0);
    l3g->addWidget(mf.editPort, 2, 1, Qt::AlignLeft);
    l3g->setColumnStretch(2, 1);
    mf.imageWorld = L_FixedImage(g3, 64, 64, 2);
    l3g->addWidget(mf.imageWorld, 1, 3, 2, 1);
    page->addWidget(g3);
    page->addStretch(1);
    QObject::connect(mf.checkProxy, &QCheckBox::toggled, [] { checkProxyClick(); });
    checkProxyClick();
}

static void L_CreatePointf(void)
{
    QDialog *d = mf.pointf = new QDialog(NULL, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    d->setWindowTitle(QString::fromUtf8("Eintrag in die Bestenliste"));
    QHBoxLayout *top = new QHBoxLayout(d);
    top->setSizeConstraint(QLayout::SetFixedSize);     /* fixed, but as large as its texts */
    mf.imageBest = L_Image(d, 0, 0, 80, 60, 1);
    mf.imageBest->setFixedSize(80, 60);
    top->addWidget(mf.imageBest, 0, Qt::AlignTop);
    QVBoxLayout *col = new QVBoxLayout;
    top->addLayout(col);
    mf.labelPoints = L_Label(d, 141, "Herzlichen Glückwunsch !");
    QFont big = mf.labelPoints->font();
    big.setPointSize(big.pointSize() + 6);
    mf.labelPoints->setFont(big);
    col->addWidget(mf.labelPoints);
    mf.labelExtra = L_Label(d, 142, "Sie haben sich nun das Extralevel freigespielt.");
    mf.labelExtra->setStyleSheet("font-weight: bold;");
    mf.labelExtra->hide();
    col->addWidget(mf.labelExtra);
    mf.labelText = L_Label(d, 143,
                           "Sie haben einen Punktestand von #1 Punkten erspielt. Das entspricht dem #2. "
                           "Platz in der Bestenliste. Um sich in die Liste einzutragen, geben Sie bitte "
                           "einfach Ihren Namen ein.");
    mf.labelText->setWordWrap(true);
    mf.labelText->setMinimumWidth(400);
    col->addWidget(mf.labelText);
    QHBoxLayout *name = new QHBoxLayout;
    name->addWidget(L_Label(d, 144, "Ihr Name bzw Kürzel:"));
    mf.editName = new QLineEdit(L_Q(Lang(205)), d);   /* the language's default name */
    mf.editName->setMaxLength(HS_TYPEDNAME);
    mf.editName->setMinimumWidth(150);
    name->addWidget(mf.editName, 1);
    col->addLayout(name);
    QHBoxLayout *buttons = new QHBoxLayout;
    QPushButton *b1 = L_Tagged(new QPushButton(QString::fromUtf8("Namen eintragen"), d), 145);
    QPushButton *b2 = L_Tagged(new QPushButton(QString::fromUtf8("Abbrechen"), d), 146);
    buttons->addStretch(1);
    buttons->addWidget(b1);
    buttons->addWidget(b2);
    col->addLayout(buttons);
    b1->setDefault(true);
    QObject::connect(b1, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(b2, &QPushButton::clicked, d, &QDialog::reject);
}

/* The pictures rendered from the game's own scenes at build time
 * (data/picture_*.bmp); a drawn stand-in stays where one is missing. */
static void L_LoadPictures(void)
{
    QLabel *labels[] = {mf.imageGleiter, mf.imageMouse, mf.imageWorld, mf.imageWindowed,
                        mf.imageFullscreen, mf.img16, mf.img32};
    const char *names[] = {"glider", "mouse", "world", "windowed", "fullscreen", "depth16", "depth32"};
    for (int i = 0; i < (int)(sizeof(labels) / sizeof(labels[0])); i++) {
        QImage img(QString("data/picture_%1.bmp").arg(names[i]));
        if (!img.isNull())
            labels[i]->setPixmap(QPixmap::fromImage(img.scaled(labels[i]->size())));
    }
}

void L_CreateWindows(void)
{
    QWidget *w = mf.mainf = new QWidget(NULL, Qt::Window | Qt::MSWindowsFixedSizeDialogHint |
                                                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    w->setFixedSize(463, 559);
    w->setWindowTitle(QString::fromUtf8("Gackatron - Starter"));
    mf.PageControl1 = new QTabWidget(w);
    mf.PageControl1->setGeometry(0, 0, 463, 559);
    mf.PageControl1->setDocumentMode(true);
    mf.PageControl1->setUsesScrollButtons(false);
    mf.PageControl1->setElideMode(Qt::ElideRight);
    QFont tabfont = mf.PageControl1->tabBar()->font();
    tabfont.setPointSizeF(tabfont.pointSizeF() * 0.85);
    mf.PageControl1->tabBar()->setFont(tabfont);
    mf.TabSheet1 = new QWidget;
    mf.tabInet = new QWidget;
    mf.TabSheet2 = new QWidget;
    mf.TabSheet1->setProperty("tag", 101);
    mf.tabInet->setProperty("tag", 110);
    mf.TabSheet2->setProperty("tag", 120);
    mf.PageControl1->addTab(mf.TabSheet1, QString::fromUtf8("Spiele starten und lokale Bestenliste"));
    mf.PageControl1->addTab(mf.tabInet, QString::fromUtf8("Internet Bestenliste"));
    mf.PageControl1->addTab(mf.TabSheet2, QString::fromUtf8("Einstellungen"));
    L_CreatePageLocal(mf.TabSheet1);
    L_CreatePageInet(mf.tabInet);
    L_CreatePageSettings(mf.TabSheet2);
    L_CreatePointf();
    mf.vidf = NULL;     /* made by the intro when there is one to play */

    ApplyLanguage(mf.mainf);
    mf.mainf->setWindowTitle(L_Caption(Lang(100)));
    ApplyLanguage(mf.pointf);
    mf.pointf->setWindowTitle(L_Caption(Lang(140)));

    QImage bg("data/bgimage_" + QString::number(LanguageCountry) + ".bmp");
    if (!bg.isNull())
        mf.imageLocal->setPixmap(QPixmap::fromImage(bg.scaled(457, 521)));
    L_LoadPictures();
    QLabel *keyed[] = {mf.imageLocal, mf.imageGleiter, mf.imageMouse, mf.imageWorld,
                       mf.imageWindowed, mf.imageFullscreen};
    for (QLabel *l : keyed)
        L_KeyLabel(l);
    L_KeyTransparent(mf.img16);
    L_KeyTransparent(mf.img32);
    mf.imageInternet->setPixmap(mf.imageLocal->pixmap().copy(0, 0, 457, 145));
    mf.imageBest->setPixmap(mf.imageGleiter->pixmap());

    mf.labelVersion->setText(QString::fromStdString(EngineVersion));
    mf.labelVersion2->setText(QString::fromStdString(EngineVersion));
    CreateScoreLabels(mf.lhn[0], mf.TabSheet1, 20, mf.lhn);
    CreateScoreLabels(mf.lhp[0], mf.TabSheet1, 20, mf.lhp);
    CreateScoreLabels(mf.ihn[0], mf.tabInet, 20, mf.ihn);
    CreateScoreLabels(mf.ihp[0], mf.tabInet, 20, mf.ihp);
    L_SetModes();
    FillLevelList();
    if (QScreen *scr = QGuiApplication::primaryScreen())
        w->move(scr->availableGeometry().center() - QPoint(463 / 2, 559 / 2));
}

void L_DestroyWindows(void)
{
    delete mf.mainf;
    delete mf.pointf;
    delete mf.vidf;
    mf = mainf_t{};
}

void CreateScoreLabels(QLabel *tmpl, QWidget *page, int spacing, QLabel **column)
{
    column[0] = tmpl;
    for (int i = 1; i < HS_ENTRIES; i++) {
        QLabel *l = new QLabel(page);
        l->setTextFormat(tmpl->textFormat());
        l->setText("ss " + QString::number(i));
        l->setGeometry(tmpl->x(), tmpl->y() + spacing * i, tmpl->width(), tmpl->height());
        l->setFont(tmpl->font());
        l->setAlignment(tmpl->alignment());
        l->setStyleSheet(tmpl->styleSheet());
        l->show();
        column[i] = l;
    }
}

/* "640 480 16" -> "640x480, 16" and the language's suffix */
void L_SetModes(void)
{
    mf.resBox->clear();
    for (const std::string &m : ModeList) {
        std::string s = m;
        size_t p = s.find(' ');
        if (p != std::string::npos)
            s.replace(p, 1, "x");
        p = s.find(' ');
        if (p != std::string::npos)
            s.replace(p, 1, ", ");
        mf.resBox->addItem(L_Q(s + Lang(134)));
    }
}

void resBoxChange(void)
{
    int i = mf.resBox->currentIndex();
    if (i < 0 || i >= (int)ModeList.size())
        return;
    const std::string &m = ModeList[i];
    bool is16 = m.size() >= 2 && m.compare(m.size() - 2, 2, "16") == 0;
    mf.img16->setVisible(is16);
    mf.img32->setVisible(!is16);
}

/* The level's name: its description file, else the name in its level file. */
std::string L_LevelItem(int i, int country)
{
    std::string pre = std::to_string(i + 1) + ". ";
    std::ifstream d("./data/script" + std::to_string(i) + "_" + std::to_string(country) + ".descr",
                    std::ios::binary);
    if (d) {
        std::string line;
        std::getline(d, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return pre + line;
    }
    std::ifstream f("./data/script" + std::to_string(i) + ".bin", std::ios::binary);
    if (f) {
        char name[129];
        f.seekg(132);
        if (f.read(name, sizeof(name)))
            return pre + std::string(name, strnlen(name, sizeof(name)));
    }
    return "Level " + std::to_string(i + 1);
}

void FillLevelList(void)
{
    int idx = mf.comboMaps->currentIndex();
    mf.comboMaps->clear();
    mf.comboIMaps->clear();
    int count = (DoneMask & 31) == 31 ? 6 : 5;
    for (int i = 0; i < count; i++) {
        QString item = QString::fromStdString(L_LevelItem(i, LanguageCountry));
        mf.comboMaps->addItem(item);
        mf.comboIMaps->addItem(item);
    }
    mf.comboMaps->setCurrentIndex(idx >= 0 && idx < count ? idx : count - 1);
}

/* An empty place (the server sends no name for one) shows the default name in both lists. */
static void L_ShowRow(const HighscoreTable *t, int m, QLabel **names, QLabel **points)
{
    for (int i = 0; i < HS_ENTRIES; i++) {
        const std::string &name = t->e[m][i].name;
        names[i]->setText(name.empty() && t->e[m][i].points == 0 ? L_Q(Lang(205)) : QString::fromStdString(name));
        points[i]->setText(QString::number(t->e[m][i].points));
    }
}

void comboMapsChange(QComboBox *sender)
{
    SortTables();
    int m = sender->currentIndex();
    if (m < 0 || m >= HS_ROWS)
        return;
    QString head = L_Q(Lang(204) + " " + std::to_string(m + 1) + " ");
    mf.labelLHighscore->setText(head);
    mf.labelIHighscore->setText(head);
    L_ShowRow(&LocalTable, m, mf.lhn, mf.lhp);
    L_ShowRow(&InternetTable, m, mf.ihn, mf.ihp);
    mf.comboMaps->setCurrentIndex(m);
    mf.comboIMaps->setCurrentIndex(m);
}

void checkProxyClick(void)
{
    bool on = mf.checkProxy->isChecked();
    mf.labelProxy->setEnabled(on);
    mf.editProxy->setEnabled(on);
    mf.labelPort->setEnabled(on);
    mf.editPort->setEnabled(on);
}

std::string L_SettingsPath(void)
{
    QFileInfo fi(QCoreApplication::applicationFilePath());
    return (fi.absolutePath() + "/" + fi.completeBaseName() + ".ini").toStdString();
}

static int L_IndexOr0(int v, int count)
{
    return v >= 0 && v < count ? v : 0;
}

/* A text value as the user wrote it.  The ini reader takes an unquoted
 * value with a comma for a list ("Doe, Jane" would come back empty); then
 * the line itself is read. */
static QString L_IniText(QSettings &s, const std::string &path, const char *section,
                         const char *key, const QString &def)
{
    QVariant v = s.value(QString(section) + "/" + key, def);
    if (v.typeId() != QMetaType::QStringList)
        return v.toString();
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return def;
    bool in = false;
    while (!f.atEnd()) {
        QString line = QString::fromUtf8(f.readLine(65536)).trimmed();
        if (line.startsWith('['))
            in = line.compare("[" + QString(section) + "]", Qt::CaseInsensitive) == 0;
        else if (in && line.section('=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.section('=', 1).trimmed();
    }
    return def;
}

void LoadSettings(const std::string &path)
{
    QSettings s(QString::fromStdString(path), QSettings::IniFormat);
    mf.resBox->setCurrentIndex(L_IndexOr0(s.value("display/mode", 0).toInt(), mf.resBox->count()));
    resBoxChange();
    bool fs = s.value("display/fullscreen", 0).toBool();
    mf.radioFullscreen->setChecked(fs);
    mf.radioWindowed->setChecked(!fs);
    mf.trackMouse->setValue(s.value("mouse/speed", 5).toInt());
    mf.checkMouse->setChecked(s.value("mouse/invert", 0).toBool());
    mf.trackMusic->setValue(s.value("sound/music", L_MUSIC_DEFAULT).toInt());
    mf.trackEffects->setValue(s.value("sound/effects", L_EFFECTS_DEFAULT).toInt());
    DoneMask = s.value("game/done", 0).toInt();
    FillLevelList();
    UnpackTable(s.value("game/local", "").toString().toStdString(), &LocalTable);
    UnpackTable(s.value("game/inet", "").toString().toStdString(), &InternetTable);
    mf.comboMaps->setCurrentIndex(L_IndexOr0(s.value("game/lastmap", 0).toInt(), mf.comboMaps->count()));
    comboMapsChange(mf.comboMaps);
    mf.comboIMaps->setCurrentIndex(mf.comboMaps->currentIndex());
    comboMapsChange(mf.comboIMaps);
    mf.checkProxy->setChecked(s.value("proxy/enabled", 0).toBool());
    checkProxyClick();
    mf.editProxy->setText(s.value("proxy/host", "").toString());
    mf.editPort->setText(s.value("proxy/port", "8080").toString());
    mf.editName->setText(L_IniText(s, path, "user", "lastname", L_Q(Lang(205))));
}

void SaveSettings(const std::string &path)
{
    QSettings s(QString::fromStdString(path), QSettings::IniFormat);
    s.setValue("display/mode", mf.resBox->currentIndex());
    s.setValue("display/fullscreen", mf.radioFullscreen->isChecked() ? 1 : 0);
    s.setValue("mouse/speed", mf.trackMouse->value());
    s.setValue("mouse/invert", mf.checkMouse->isChecked() ? 1 : 0);
    s.setValue("sound/music", mf.trackMusic->value());
    s.setValue("sound/effects", mf.trackEffects->value());
    s.setValue("game/done", DoneMask);
    s.setValue("game/local", QString::fromStdString(PackTable(&LocalTable)));
    s.setValue("game/inet", QString::fromStdString(PackTable(&InternetTable)));
    s.setValue("game/lastmap", mf.comboMaps->currentIndex());
    s.setValue("proxy/enabled", mf.checkProxy->isChecked() ? 1 : 0);
    s.setValue("proxy/host", mf.editProxy->text());
    s.setValue("proxy/port", mf.editPort->text());
    s.setValue("user/lastname", mf.editName->text());
    L_SyncSettings(&s);
}
